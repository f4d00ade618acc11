// The exports against the private server: the CSV files byte for byte, the
// report read back with poppler and qpdf, the write errors.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "data/csv_export.h"
#include "data/export.h"
#include "data/pdf_report.h"
#include "db/connection.h"
#include "db/data_table.h"
#include "platform/format.h"
#include "tests/support/test_db.h"

namespace tovanix::data {
namespace {

namespace fs = std::filesystem;
using test::execOrFail;

constexpr int kLine = 3;
constexpr int kAddress = 7;
constexpr int kTable = 3007;

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Ran {
    int status = -1;
    std::string out;
};
// A tool of poppler or qpdf on a file of the test's own folder.
Ran run(const std::string& command) {
    Ran r;
    FILE* p = ::popen((command + " 2>&1").c_str(), "r");
    if (p == nullptr) return r;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int status = ::pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

class ExportTest : public test::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (IsSkipped() || HasFailure()) return;
        createDatabase();
        dir_ = fs::temp_directory_path() / ("tovanix-export-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    static void addDevice(int probeType, const char* name = "库房") {
        execOrFail(db::sqlf("insert into tovandevicetable (DeviceEraseSign,deviceid,LineID,DeviceName,DeviceNumber,"
                            "DeviceProbeType,CHL1Enable,CHL1Lower,CHL1Upper,CHL2Enable,CHL2Lower,CHL2Upper,RecordInter) "
                            "values(0,%d,%d,'%s',%d,%d,1,2.5,8.0,1,30.7,-5.5,1)",
                            kTable, kLine, name, kAddress, probeType));
        db::Connection c;
        ASSERT_TRUE(c.open());
        ASSERT_TRUE(db::createDataTable(c, kTable));
    }
    static void reading(const std::string& time, const char* ch1, const char* ch2, const char* sign = "0") {
        execOrFail(db::sqlf("insert into TovanDataTable_%d values('%s',%s,%s,0,0,'%s',0,'','')", kTable, time.c_str(),
                            ch1, ch2, sign));
    }
    // n readings a minute apart from 2024-03-05 00:00:00, in one statement.
    static void readings(int n, const char* ch2 = "45.5") {
        std::string sql = db::sqlf("insert into TovanDataTable_%d values", kTable);
        for (int i = 0; i < n; ++i) {
            sql += db::sqlf("%s('2024-03-05 %02d:%02d:00',%0.1f,%s,0,0,'%s',0,'','')", i ? "," : "", i / 60, i % 60,
                            20.0 + i % 10, ch2, i == 0 ? "A" : "0");
        }
        execOrFail(sql);
    }
    ExportOutcome exportTo(ExportFormat format, const fs::path& path, const std::string& from = "2000-01-01 00:00:00",
                           const std::string& to = "2030-01-01 00:00:00") {
        ExportRequest r;
        r.format = format;
        r.lineid = kLine;
        r.address = kAddress;
        r.from = from;
        r.to = to;
        r.path = path.string();
        r.headerTime = to;
        QueryControl control;
        return runExport(r, control);
    }
    fs::path dir_;
};

// The GBK bytes of 库房 and of the first alarm text.
const std::string kStoreRoom = "\xbf\xe2\xb7\xbf";
const std::string kCh1High = "\xcd\xa8\xb5\xc0\xd2\xbb\xc9\xcf\xcf\xde\xb3\xac\xb1\xea  ";

struct CsvCase {
    const char* name;
    int probeType;
    std::vector<std::array<const char*, 4>> rows;  // time, ch1, ch2, sign
    ExportFormat format;
    std::string expected;
};

TEST_F(ExportTest, CsvFilesByteForByte) {
    const std::string trailer = "\r\nModel," + kStoreRoom + " \r\nSerial No.,7 \r\n";
    const std::vector<CsvCase> cases = {
        {"one reading, humidity missing",
         4,
         {{"2013-01-05 08:05:03", "23.4", "1000", "0"}},
         ExportFormat::Csv,
         "Date,Time,T.(C),H.(%),Note\r\n2013-1-5,8:5:3,23.40,N/A,0  \r\n" + trailer +
             "Log Duration., \r\n\r\nAlarm Max,,8,-5 \r\nAlarm Min,,2,30 \r\nAvr,,23.40,N/A \r\nMax,,23.40,N/A \r\n"
             "Min,,23.40,N/A \r\n"},
        {"probe type 1: the second channel is 0",
         1,
         {{"2024-03-05 10:00:00", "21.5", "40", "0"}, {"2024-03-06 12:03:04", "1000", "41", "A"},
          {"2024-03-05 11:00:00", "19.25", "42", "2"}},
         ExportFormat::Csv,
         "Date,Time,T.(C),---,Note\r\n2024-3-6,12:3:4,N/A,0,A  \r\n2024-3-5,11:0:0,19.25,0,2  \r\n"
         "2024-3-5,10:0:0,21.50,0,0  \r\n" +
             trailer +
             "Log Duration.,1 day(s) 2 hour(s) 3 minute(s) 4 second(s) \r\n\r\nAlarm Max,,8,0 \r\nAlarm Min,,2,0 \r\n"
             "Avr,,20.38,0.00 \r\nMax,,21.50,0.00 \r\nMin,,19.25,0.00 \r\n"},
        {"two temperatures",
         2,
         {{"2024-03-05 10:00:10", "1", "-2", "0"}, {"2024-03-05 10:00:00", "3", "-4", "0"}},
         ExportFormat::Csv,
         "Date,Time,T.(C),T.(C),Note\r\n2024-3-5,10:0:10,1.00,-2.00,0  \r\n2024-3-5,10:0:0,3.00,-4.00,0  \r\n" +
             trailer +
             "Log Duration.,0 day(s) 0 hour(s) 0 minute(s) 10 second(s) \r\n\r\nAlarm Max,,8,-5 \r\n"
             "Alarm Min,,2,30 \r\nAvr,,2.00,-3.00 \r\nMax,,3.00,-2.00 \r\nMin,,1.00,-4.00 \r\n"},
        {"alarm view: alarm rows with their texts",
         1,
         {{"2024-03-05 10:00:00", "21.5", "1000", "2"}, {"2024-03-05 10:01:00", "21.5", "40", "0"},
          {"2024-03-05 10:02:00", "21.5", "40", "A"}, {"2024-03-05 10:03:00", "21.5", "40", ""},
          {"2024-03-05 10:04:00", "9", "40", "2"}},
         ExportFormat::Alarms,
         "Date,Time,T.(C),H.(%),Note\r\n2024-3-5,10:4:0,9.00,40.00," + kCh1High + "  \r\n2024-3-5,10:0:0,21.50,N/A," +
             kCh1High + "  \r\n" + trailer},
    };
    for (const CsvCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::DbTest::dropDatabase();
        createDatabase();
        addDevice(c.probeType);
        for (const auto& r : c.rows) reading(r[0], r[1], r[2], r[3]);
        const fs::path file = dir_ / "out.csv";
        const ExportOutcome out = exportTo(c.format, file);
        ASSERT_EQ(out.status, ExportStatus::Written) << exportFailureText(out, file.string());
        EXPECT_EQ(readAll(file), c.expected);
    }
}

TEST_F(ExportTest, ChannelWithoutValidReadingsHasNoFigures) {
    addDevice(4);
    reading("2024-03-05 10:00:00", "20", "1000");
    reading("2024-03-05 10:01:00", "22", "1000");
    const fs::path file = dir_ / "out.csv";
    ASSERT_EQ(exportTo(ExportFormat::Csv, file).status, ExportStatus::Written);
    const std::string csv = readAll(file);
    EXPECT_NE(csv.find("Avr,,21.00,N/A \r\nMax,,22.00,N/A \r\nMin,,20.00,N/A \r\n"), std::string::npos) << csv;
}

TEST_F(ExportTest, MissingDeviceRowWritesHeaderAndTrailerWithTheAddress) {
    db::Connection c;
    ASSERT_TRUE(c.open());
    ASSERT_TRUE(db::createDataTable(c, kTable));
    reading("2024-03-05 10:00:00", "20", "40");
    const fs::path file = dir_ / "out.csv";
    ASSERT_EQ(exportTo(ExportFormat::Csv, file).status, ExportStatus::Written);
    EXPECT_EQ(readAll(file),
              "Date,Time,T.(C),H.(%),Note\r\n\r\nModel, \r\nSerial No.,7 \r\nLog Duration., \r\n\r\n"
              "Alarm Max,,0,0 \r\nAlarm Min,,0,0 \r\nAvr,,N/A,N/A \r\nMax,,N/A,N/A \r\nMin,,N/A,N/A \r\n");
}

TEST_F(ExportTest, RequiredDeviceAndRowsAreRefusedWithoutAFile) {
    const fs::path file = dir_ / "out.csv";
    ExportRequest r;
    r.lineid = kLine;
    r.address = kAddress;
    r.from = "2024-01-01 00:00:00";
    r.to = "2024-12-31 00:00:00";
    r.path = file.string();
    r.requireDevice = r.requireRows = true;
    QueryControl control;
    EXPECT_EQ(runExport(r, control).status, ExportStatus::UnknownDevice);
    addDevice(4);
    EXPECT_EQ(runExport(r, control).status, ExportStatus::EmptySpan);
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(ExportTest, WriteErrorsLeaveNoFile) {
    addDevice(4);
    reading("2024-03-05 10:00:00", "20", "40");
    const fs::path missingFolder = dir_ / "none" / "out.csv";
    ExportOutcome out = exportTo(ExportFormat::Csv, missingFolder);
    EXPECT_EQ(out.status, ExportStatus::WriteFailed);
    EXPECT_NE(exportFailureText(out, missingFolder.string()).find("写入失败"), std::string::npos);
    if (::geteuid() != 0) {  // root writes anywhere
        const fs::path locked = dir_ / "locked";
        fs::create_directories(locked);
        fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_EQ(exportTo(ExportFormat::Csv, locked / "out.csv").status, ExportStatus::WriteFailed);
        EXPECT_TRUE(fs::is_empty(locked));
    }
    // A device is written to, never replaced by a file.
    out = exportTo(ExportFormat::Csv, "/dev/null");
    EXPECT_EQ(out.status, ExportStatus::WriteFailed);
    EXPECT_NE(out.detail.find("not a regular file"), std::string::npos) << out.detail;
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(ExportTest, DefaultNamesAndTheOpenQuestion) {
    EXPECT_EQ(defaultExportName("库房", false, 2024, 3, 5, 8, 7), "库房_202403050807");
    EXPECT_EQ(defaultExportName("库房", true, 2024, 12, 25, 23, 59), "库房_Alarm_202412252359");
    EXPECT_EQ(openQuestion("/tmp/x/库房_202403050807.csv"), "库房_202403050807.csv创建成功，是否现在打开？");
    EXPECT_EQ(openQuestion("/tmp/a%s.pdf"), "a%s.pdf创建成功，是否现在打开？");
}

TEST_F(ExportTest, PageCount) {
    const std::pair<std::size_t, int> cases[] = {{0, 1}, {1, 2}, {114, 2}, {115, 3}, {228, 3}, {43200, 380}};
    for (const auto& [n, pages] : cases) EXPECT_EQ(reportPageCount(n), pages) << n;
}

class ReportTest : public ExportTest {
protected:
    void SetUp() override {
        ExportTest::SetUp();
        if (IsSkipped() || HasFailure()) return;
        if (run("pdfinfo -v").status != 0 || run("qpdf --version").status != 0) GTEST_SKIP() << "poppler-utils or qpdf missing";
        if (!findReportFont().path) GTEST_SKIP() << "no Chinese TrueType font: " << kFontSearch;
    }
    std::string pdf(const fs::path& file) { return "'" + file.string() + "'"; }
};

TEST_F(ReportTest, PagesSizeFontsAndChecks) {
    struct Case {
        int readings;
        const char* pages;
    };
    for (const Case& c : {Case{114, "Pages:           2"}, Case{115, "Pages:           3"}}) {
        SCOPED_TRACE(c.readings);
        test::DbTest::dropDatabase();
        createDatabase();
        addDevice(4, "库房A");
        readings(c.readings);
        const fs::path file = dir_ / "report.pdf";
        const ExportOutcome out = exportTo(ExportFormat::Pdf, file, "2024-03-05 00:00:00", "2024-03-05 23:59:59");
        ASSERT_EQ(out.status, ExportStatus::Written) << exportFailureText(out, file.string());
        const Ran info = run("pdfinfo " + pdf(file));
        EXPECT_NE(info.out.find(c.pages), std::string::npos) << info.out;
        EXPECT_NE(info.out.find("Page size:       641 x 850 pts"), std::string::npos) << info.out;
        EXPECT_EQ(run("qpdf --check " + pdf(file)).status, 0);
        // Every font but the standard Helvetica travels with the file.
        const Ran fonts = run("pdffonts " + pdf(file));
        std::istringstream lines(fonts.out);
        std::string line;
        int chinese = 0;
        bool table = false;
        while (std::getline(lines, line)) {
            if (line.starts_with("-----")) {
                table = true;  // the fonts follow the headings
                continue;
            }
            if (!table || line.find("Helvetica") != std::string::npos) continue;
            ++chinese;
            EXPECT_NE(line.find("CID TrueType"), std::string::npos) << line;
            EXPECT_NE(line.find(" yes yes "), std::string::npos) << "not embedded: " << line;
        }
        EXPECT_EQ(chinese, 1) << fonts.out;
    }
}

TEST_F(ReportTest, TextsOfTheSummaryAndADataPage) {
    addDevice(4, "库房A");
    readings(58, "1000");
    const fs::path file = dir_ / "report.pdf";
    ASSERT_EQ(exportTo(ExportFormat::Pdf, file, "2024-03-05 00:00:00", "2024-03-05 23:59:59").status,
              ExportStatus::Written);
    const std::string first = run("pdftotext -f 1 -l 1 -layout " + pdf(file) + " -").out;
    for (const char* text : {"库房A", "2024-03-05 23:59:59", "基本信息", "记录统计", "记录曲线", "名称", "设备地址",
                             "未检测", "0天0小时57分钟0秒", "8.0 ℃", "-5.5 %", "2024-03-05 00:00:00",
                             "2024-03-05 00:57:00", "温度最大值", "29.0℃", "20.0℃", "数据总数", "58 条", "1/2"}) {
        EXPECT_NE(first.find(text), std::string::npos) << text << "\n" << first;
    }
    // "1 分": the Latin blank before the Chinese character may be merged.
    EXPECT_TRUE(first.find("1 分") != std::string::npos || first.find("1分") != std::string::npos) << first;
    const std::string data = run("pdftotext -f 2 -l 2 -layout " + pdf(file) + " -").out;
    for (const char* text : {"记录数据", "序号", "日期", "时间", "温度[℃]", "湿度[%]", "备注", "2024-03-05",
                             "00:57:00", "N/A", "58", "2/2"}) {
        EXPECT_NE(data.find(text), std::string::npos) << text << "\n" << data;
    }
    // The oldest reading, the 58th and the only "A", is alone in the right block.
    EXPECT_NE(data.find("00:00:00"), std::string::npos);
}

TEST_F(ReportTest, ProbeTypeOneShowsDashes) {
    addDevice(1);
    readings(3);
    const fs::path file = dir_ / "report.pdf";
    ASSERT_EQ(exportTo(ExportFormat::Pdf, file).status, ExportStatus::Written);
    const std::string first = run("pdftotext -f 1 -l 1 -layout " + pdf(file) + " -").out;
    EXPECT_NE(first.find("湿度最大值"), std::string::npos);
    EXPECT_NE(first.find("--"), std::string::npos) << first;
    const std::string data = run("pdftotext -f 2 -l 2 -layout " + pdf(file) + " -").out;
    EXPECT_EQ(data.find("湿度[%]"), std::string::npos) << data;
    EXPECT_EQ(data.find("45.5"), std::string::npos) << data;
}

TEST_F(ReportTest, DamagedLogoIsLeftOutAndTheReportWritten) {
    addDevice(4);
    readings(3);
    const fs::path logo = dir_ / "logo.png";
    // The PNG signature and then no valid chunk.
    std::ofstream(logo, std::ios::binary) << std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDRbroken", 22);
    const fs::path file = dir_ / "report.pdf";
    ExportRequest r;
    r.format = ExportFormat::Pdf;
    r.lineid = kLine;
    r.address = kAddress;
    r.from = "2000-01-01 00:00:00";
    r.to = "2030-01-01 00:00:00";
    r.path = file.string();
    r.headerTime = r.to;
    r.logoPath = logo.string();
    QueryControl control;
    const ExportOutcome out = runExport(r, control);
    ASSERT_EQ(out.status, ExportStatus::Written) << exportFailureText(out, file.string());
    EXPECT_EQ(run("qpdf --check " + pdf(file)).status, 0);
    EXPECT_NE(run("pdfinfo " + pdf(file)).out.find("Pages:           2"), std::string::npos);
    const std::string first = run("pdftotext -f 1 -l 1 -layout " + pdf(file) + " -").out;
    EXPECT_NE(first.find("基本信息"), std::string::npos) << first;
}

TEST_F(ReportTest, CurvePictureThatCannotBeMadeFailsTheExport) {
    addDevice(4);
    readings(3);
    const fs::path file = dir_ / "report.pdf";
    ExportRequest r;
    r.format = ExportFormat::Pdf;
    r.lineid = kLine;
    r.address = kAddress;
    r.from = "2000-01-01 00:00:00";
    r.to = "2030-01-01 00:00:00";
    r.path = file.string();
    int asked = 0;
    r.curve = [&asked](const DeviceReportInfo&, const std::vector<ExportRow>& rows, const char* format, bool forReport) {
        ++asked;
        EXPECT_EQ(rows.size(), 3u);
        EXPECT_STREQ(format, "PNG");
        EXPECT_TRUE(forReport);
        return std::string();
    };
    QueryControl control;
    const ExportOutcome out = runExport(r, control);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(out.status, ExportStatus::PictureFailed);
    EXPECT_EQ(exportFailureText(out, r.path), "无法生成曲线图片，未输出文件");
    EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(ReportTest, CancelStopsTheReportWithoutAFile) {
    // Cancelled while the curve is drawn: nothing is built or written.
    addDevice(4);
    readings(3);
    const fs::path file = dir_ / "report.pdf";
    ExportRequest r;
    r.format = ExportFormat::Pdf;
    r.lineid = kLine;
    r.address = kAddress;
    r.from = "2000-01-01 00:00:00";
    r.to = "2030-01-01 00:00:00";
    r.path = file.string();
    QueryControl control;
    r.curve = [&control](const DeviceReportInfo&, const std::vector<ExportRow>&, const char*, bool) {
        control.cancel = true;
        return std::string("not drawn");
    };
    EXPECT_EQ(runExport(r, control).status, ExportStatus::Cancelled);
    EXPECT_TRUE(fs::is_empty(dir_));

    // Cancelled among the data pages of a long span: the build stops there.
    std::vector<ExportRow> rows(kRowsPerPage * 400);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        std::snprintf(rows[i].time.data(), rows[i].time.size(), "2024-03-05 %02zu:%02zu:00", i / 60 % 24, i % 60);
        rows[i].ch1 = 20;
        rows[i].ch2 = 40;
    }
    PdfReportInput in;
    in.info.deviceName = "库房";
    in.info.probeType = 4;
    in.rows = &rows;
    in.headerTime = "2024-03-05 23:59:59";
    in.fontPath = *findReportFont().path;
    std::atomic<int> permille{0};
    std::atomic<bool> cancel{false};
    constexpr int kFrom = 400;
    // Set once the third page is under way.
    std::thread canceller([&] {
        while (permille.load() <= kFrom) std::this_thread::yield();
        cancel = true;
    });
    const PdfResult result = buildPdfReport(in, &permille, kFrom, &cancel);
    const int reached = permille.load();
    permille = kPermille;  // ends the canceller should the build have failed first
    canceller.join();
    EXPECT_TRUE(result.cancelled) << result.error;
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.bytes.empty());
    // Stopped among the pages, not after all 400 of them.
    EXPECT_LT(reached, kFrom + (kPermille - kFrom) / 2);
}

}  // namespace
}  // namespace tovanix::data

// "tovanix export" as a cron job runs it: no display, the account of the
// station folder; each failure its exit status and message, and no file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "app/credentials.h"
#include "db/connection.h"
#include "db/data_table.h"
#include "tests/support/process.h"
#include "tests/support/test_db.h"

namespace tovanix {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class ExportCommand : public test::DbTest {
protected:
    void SetUp() override {
        test::DbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        createDatabase();
        home_ = fs::temp_directory_path() / ("tovanix-export-cli-" + std::to_string(::getpid()));
        fs::remove_all(home_);
        fs::create_directories(home_ / "runtime");
        env_ = {{"TOVANIX_HOME", home_.string()},
                {"XDG_RUNTIME_DIR", (home_ / "runtime").string()},
                {"TOVANIX_DB_SOCKET", test::testServer().socket}};
        ASSERT_TRUE(credentials::writeFile((home_ / "data.drk").string(), test::testServer().account));
        test::execOrFail(
            "insert into tovandevicetable (DeviceEraseSign,deviceid,LineID,DeviceName,DeviceNumber,DeviceProbeType,"
            "CHL1Enable,CHL1Lower,CHL1Upper,RecordInter) values(0,1007,1,'冷库',7,4,1,2,8,1)");
        db::Connection c;
        ASSERT_TRUE(c.open());
        ASSERT_TRUE(db::createDataTable(c, 1007));
        test::execOrFail(
            "insert into TovanDataTable_1007 values('2024-03-05 08:00:00',5.5,60,0,0,'0',0,'',''),"
            "('2024-03-05 08:01:00',9.5,61,0,0,'2',0,'',''),('2024-03-05 08:02:00',6.5,1000,0,0,'A',0,'','')");
    }
    void TearDown() override { fs::remove_all(home_); }

    struct Result {
        int status;
        std::string output;
    };
    // Runs the export with neither a display nor a platform named.
    Result run(const std::string& format, const fs::path& output, const std::string& from = "2024-03-05 00:00:00",
               const std::string& address = "7", const std::map<std::string, std::string>& extra = {}) {
        auto env = env_;
        for (const auto& [k, v] : extra) env[k] = v;
        test::ChildProcess p;
        const bool started = p.start(test::binDir() + "/tovanix",
                                     {"export", "--line", "1", "--address", address, "--from", from, "--to",
                                      "2024-03-05 23:59:59", "--format", format, "--output", output.string()},
                                     env, {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
        if (!started) return {-1, "not started"};
        const int status = p.wait(120s);
        return {status, p.output()};
    }
    fs::path home_;
    std::map<std::string, std::string> env_;
};

TEST_F(ExportCommand, WritesEachFormatWithoutADisplay) {
    struct Case {
        const char* format;
        const char* file;
        std::string starts;
    };
    const Case cases[] = {
        {"csv", "out.csv", "Date,Time,T.(C),H.(%),Note\r\n2024-3-5,8:2:0,6.50,N/A,A  \r\n"},
        {"alarms", "alarms.csv", "Date,Time,T.(C),H.(%),Note\r\n2024-3-5,8:1:0,9.50,61.00,"},
        {"pdf", "report.pdf", "%PDF-"},
        {"bmp", "curve.bmp", "BM"},
        {"bmp", "curve.png", "\x89PNG"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const fs::path file = home_ / c.file;
        const Result r = run(c.format, file);
#ifdef TOVANIX_TEST_NO_CURVES
        if (std::string(c.format) == "pdf" || std::string(c.format) == "bmp") {
            EXPECT_EQ(r.status, 2) << r.output;
            EXPECT_NE(r.output.find("cannot draw the curve"), std::string::npos) << r.output;
            EXPECT_FALSE(fs::exists(file));
            continue;
        }
#endif
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(readAll(file).substr(0, c.starts.size()), c.starts);
    }
#ifdef TOVANIX_TEST_NO_CURVES
    GTEST_SKIP() << "built without the window: no report to look into";
#endif
    // The report carries the logo and the curve.
    std::string images;
    {
        FILE* p = ::popen(("pdfimages -list '" + (home_ / "report.pdf").string() + "' 2>&1").c_str(), "r");
        ASSERT_NE(p, nullptr);
        char buf[1024];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) images.append(buf, n);
        ::pclose(p);
    }
    EXPECT_NE(images.find("\n   1     0 image     200    72"), std::string::npos) << images;
    EXPECT_NE(images.find("\n   1     1 image     800   420"), std::string::npos) << images;
}

TEST_F(ExportCommand, FailuresHaveTheirStatusMessageAndNoFile) {
    fs::create_directories(home_ / "fonts");
    std::ofstream(home_ / "fonts" / "empty.conf") << "<?xml version=\"1.0\"?><fontconfig></fontconfig>\n";
    struct Case {
        const char* name;
        std::string format;
        fs::path output;
        std::string from;
        std::string address;
        std::map<std::string, std::string> env;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"unknown device", "csv", home_ / "a.csv", "2024-03-05 00:00:00", "9", {}, 3, "no device with address 9"},
        {"empty span", "csv", home_ / "b.csv", "2024-03-06 00:00:00", "7", {}, 2, "is after --to"},
        {"no readings", "pdf", home_ / "c.pdf", "2024-03-05 09:00:00", "7", {}, 4, "no readings"},
        {"bad time", "csv", home_ / "d.csv", "2024-3-5 8:00", "7", {}, 2, "bad time"},
        {"bad address", "csv", home_ / "e.csv", "2024-03-05 00:00:00", "seven", {}, 2, "whole numbers"},
        {"bad format", "xls", home_ / "f.xls", "2024-03-05 00:00:00", "7", {}, 2, "unknown format"},
        {"unwritable path", "csv", home_ / "none" / "g.csv", "2024-03-05 00:00:00", "7", {}, 5, "nothing written"},
        {"no Chinese font", "pdf", home_ / "h.pdf", "2024-03-05 00:00:00", "7",
         {{"FONTCONFIG_FILE", (home_ / "fonts" / "empty.conf").string()}}, 5, "fontconfig: lang=zh-cn"},
        {"no account", "csv", home_ / "i.csv", "2024-03-05 00:00:00", "7",
         {{"TOVANIX_HOME", (home_ / "nobody").string()}}, 1, "no database account"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
#ifdef TOVANIX_TEST_NO_CURVES
        if (c.format == "pdf") continue;
#endif
        const Result r = run(c.format, c.output, c.from, c.address, c.env);
        EXPECT_EQ(r.status, c.status) << r.output;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
        EXPECT_FALSE(fs::exists(c.output));
    }
    // Nothing else was left beside the files either (no temporary ones).
    for (const auto& e : fs::directory_iterator(home_)) {
        const std::string name = e.path().filename().string();
        EXPECT_TRUE(name == "data.drk" || name == "runtime" || name == "fonts" || name == "nobody") << name;
    }
}

TEST_F(ExportCommand, HelpListsTheExport) {
    test::ChildProcess p;
    ASSERT_TRUE(p.start(test::binDir() + "/tovanix", {"--help"}, {}, {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}));
    EXPECT_EQ(p.wait(20s), 0);
    EXPECT_NE(p.output().find("tovanix export --line ID --address N"), std::string::npos) << p.output();
    test::ChildProcess missing;
    ASSERT_TRUE(missing.start(test::binDir() + "/tovanix", {"export", "--line"}, {}, {"DISPLAY"}));
    EXPECT_EQ(missing.wait(20s), 2);
    EXPECT_NE(missing.output().find("--line needs a value"), std::string::npos) << missing.output();
}

}  // namespace
}  // namespace tovanix

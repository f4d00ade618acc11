// Figures of the exports: the curve-view CSV of a year of minute readings
// (525,600 rows) and the PDF report of a month (43,200 readings, 380 pages)
// with its curve; time, file size and the peak of resident memory while
// each runs (--keep: the files stay for a look). Needs the test server (TOVANIX_TEST_DB_CNF); skipped without.
#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "data/csv_export.h"
#include "data/curve_picture.h"
#include "data/export.h"
#include "data/pdf_report.h"
#include "db/connection.h"
#include "platform/paths.h"
#include "tests/gui/gui_support.h"

using namespace tovanix;

namespace {

constexpr int kLine = 1;
constexpr int kAddress = 1;
constexpr int kTable = 1001;
constexpr long kYearMinutes = 525600;
constexpr long kMonthMinutes = 43200;
constexpr const char* kStart = "2024-01-01 00:00:00";

long statusKib(const char* field) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
    }
    return -1;
}

// Resets the peak of resident memory to the present (Linux 4.0 and later).
void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

bool fill(long rows) {
    return test::resetDatabase() && test::seedLine(kLine, "一号线", 0) &&
           test::seedDevice(kLine, kAddress, "冷库", 0, kTable) &&
           test::sql(db::sqlf("create table if not exists TovanDataTable_%d(RecordDataTime datetime not null primary "
                              "key,CHL1 float,CHL2 float,CHL3 float,CHL4 float,AlarmSign VARCHAR(8),checksign int(1),"
                              "user_name char(16),checkevent char(120))",
                              kTable)) &&
           test::sql(db::sqlf("insert into TovanDataTable_%d select '%s' + interval seq minute, 20 + (seq %% 100) / "
                              "10, 50 + (seq %% 200) / 10, 0, 0, '0', 0, '', '' from seq_0_to_%ld",
                              kTable, kStart, rows - 1));
}

void measure(const char* what, data::ExportFormat format, long rows, const std::string& to, const std::string& path) {
    data::ExportRequest r;
    r.format = format;
    r.lineid = kLine;
    r.address = kAddress;
    r.from = kStart;
    r.to = to;
    r.path = path;
    r.headerTime = to;
    r.curve = data::curvePictureMaker(QSize(data::kCurveImageWidth, data::kCurveImageHeight));
    r.logoPath = platform::programFolder() + "/../bin/" + data::kLogoFile;
    data::QueryControl control;
    const long before = statusKib("VmRSS:");
    resetPeak();
    QElapsedTimer t;
    t.start();
    const data::ExportOutcome out = data::runExport(r, control);
    const qint64 ms = t.elapsed();
    const long peak = statusKib("VmHWM:");
    if (out.status != data::ExportStatus::Written) {
        std::printf("export: %s: not written (%s)\n", what, data::exportFailureText(out, path).c_str());
        return;
    }
    std::printf("export: %s (%ld rows): %lld ms, %.2f MB, peak resident memory %ld MiB (+%ld MiB)\n", what, rows,
                static_cast<long long>(ms), static_cast<double>(std::filesystem::file_size(path)) / 1e6, peak / 1024,
                (peak - before) / 1024);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QString why;
    if (!test::connectTestServer(&why)) {
        std::printf("export: skipped (%s)\n", qPrintable(why));
        return 0;
    }
    const std::string dir = std::filesystem::temp_directory_path() / ("tovanix-export-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    if (fill(kYearMinutes)) {
        measure("CSV of a year of minute readings", data::ExportFormat::Csv, kYearMinutes, "2024-12-31 23:59:59",
                dir + "/year.csv");
        // Where the time goes: the statement, then the text.
        data::QueryControl control;
        QElapsedTimer t;
        t.start();
        const data::ExportSource source =
            data::readExportSource(kLine, kAddress, kStart, "2024-12-31 23:59:59", false, control);
        const qint64 read = t.restart();
        const std::string csv = data::curveCsv(source.info, true, source.rows);
        std::printf("export: of which reading the rows %lld ms, making the text %lld ms\n",
                    static_cast<long long>(read), static_cast<long long>(t.elapsed()));
    } else {
        std::printf("export: year: skipped (seeding failed)\n");
    }
    if (fill(kMonthMinutes)) {
        measure("PDF of a month of minute readings", data::ExportFormat::Pdf, kMonthMinutes, "2024-01-30 23:59:59",
                dir + "/month.pdf");
    } else {
        std::printf("export: month: skipped (seeding failed)\n");
    }
    // --keep leaves the files for a look at them.
    if (argc > 1 && std::strcmp(argv[1], "--keep") == 0) {
        std::printf("export: files kept in %s\n", dir.c_str());
    } else {
        std::filesystem::remove_all(dir);
    }
    return 0;
}

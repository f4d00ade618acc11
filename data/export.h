// One export from start to end, without a window: read the device and the
// span, make the file's bytes (CSV, report or picture) and write them so
// that the file is there complete or not at all. The data page runs it on a
// worker thread; `tovanix export` runs it for scheduled reports.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "data/export_store.h"

namespace tovanix::data {

enum class ExportFormat { Csv, Alarms, Pdf, Bitmap };

// The curve of the rows (newest first) as an encoded picture ("PNG", "BMP"),
// at the report's size when forReport; empty when it cannot be made. Called
// on the thread that runs the export.
using CurvePicture = std::function<std::string(const DeviceReportInfo& info, const std::vector<ExportRow>& rows,
                                               const char* format, bool forReport)>;

struct ExportRequest {
    ExportFormat format = ExportFormat::Csv;
    int lineid = 0;
    int address = 0;
    std::string from;  // "YYYY-MM-DD HH:MM:SS", both ends included
    std::string to;
    std::string path;  // the file to write
    std::string deviceName;  // as the window shows it; empty: the device row's
    std::string headerTime;  // the report's header date
    std::string pictureFormat = "BMP";  // of a bitmap export ("PNG" when the name asks for it)
    CurvePicture curve;
    std::string logoPath;  // the report's logo (PNG); missing or unreadable: no logo
    // Refuse a device without its row and a span without rows instead of
    // writing a file with the header and trailer only.
    bool requireDevice = false;
    bool requireRows = false;
};

enum class ExportStatus {
    Written,
    ConnectFailed,  // no server or a refused account
    ReadFailed,     // a statement failed
    UnknownDevice,
    EmptySpan,
    Cancelled,
    NoFont,         // no Chinese TrueType font for the report
    ReportFailed,   // libharu failed
    PictureFailed,  // the curve could not be drawn or encoded
    WriteFailed,
};

struct ExportOutcome {
    ExportStatus status = ExportStatus::ConnectFailed;
    std::string detail;  // the system's or library's reason, the font search
    std::size_t rows = 0;
};

ExportOutcome runExport(const ExportRequest& request, QueryControl& control);

// The message the operator sees for an outcome that is no success.
std::string exportFailureText(const ExportOutcome& outcome, const std::string& path);

// The picture format a file name asks for: "PNG" for *.png, else "BMP".
std::string pictureFormatOf(const std::string& path);

}  // namespace tovanix::data

// The PDF report of a device over a span: a summary page (basic
// information, statistics, the curve) and pages listing every reading in two
// blocks of 57. Written with libharu; Chinese text in a TrueType font found
// through fontconfig and embedded, so the report shows the same on a machine
// without Chinese fonts; Latin text in the standard Helvetica.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "data/export_store.h"

namespace tovanix::data {

inline constexpr float kPageWidth = 641;
inline constexpr float kPageHeight = 850;
inline constexpr int kBlockRows = 57;
inline constexpr int kRowsPerPage = 2 * kBlockRows;
// The curve image's pixel size: drawn 541 wide and 0.7 × its height high.
inline constexpr int kCurveImageWidth = 800;
inline constexpr int kCurveImageHeight = 420;
// The logo shipped beside the program, drawn at half its pixel size.
inline constexpr const char* kLogoFile = "TovanixLogo.png";

// What fontconfig is asked for, named in the message when nothing matches.
inline constexpr const char* kFontSearch =
    "fontconfig: lang=zh-cn, TrueType outlines (.ttf), families FangSong, AR PL KaitiM GB, AR PL SungtiL GB";
inline constexpr const char* kNoFont = "无法通过fontconfig找到中文TrueType字体，不能输出中文格式PDF";

struct FontSearch {
    std::optional<std::string> path;  // the font file, when one was found
    std::string searched;             // what was asked for
};
// The Chinese TrueType font of the report.
FontSearch findReportFont();

struct PdfReportInput {
    DeviceReportInfo info;             // of the device row; deviceName as shown
    const std::vector<ExportRow>* rows = nullptr;  // newest first
    Statistics statistics;
    std::string headerTime;            // "YYYY-MM-DD HH:MM:SS" under the device name
    std::string curvePng;              // the curve picture, PNG bytes; empty: no picture
    std::string logoPng;               // the logo, PNG bytes; empty or damaged: no logo
    std::string fontPath;              // the Chinese TrueType font
};

struct PdfResult {
    bool ok = false;
    bool cancelled = false;  // stopped on the cancel flag: no bytes, no error
    std::string bytes;  // the document when ok
    std::string error;  // what libharu reported otherwise
};

// Page count for n readings: the summary page and one page per 114.
int reportPageCount(std::size_t readings);

// Builds the document in memory. `permille`, when given, follows the pages
// from `progressFrom` to kPermille; `cancel`, when given, is checked between
// blocks of readings. A logo that cannot be read is left out.
PdfResult buildPdfReport(const PdfReportInput& input, std::atomic<int>* permille = nullptr, int progressFrom = 0,
                         const std::atomic<bool>* cancel = nullptr);

// "%d天%d小时%d分钟%d秒" from the oldest to the newest row ("" without rows).
std::string reportDuration(const std::vector<ExportRow>& rows);

}  // namespace tovanix::data

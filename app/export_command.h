// "tovanix export": one device's readings of a span written to a file
// without a window, for scheduled reports. Reads the account as --headless
// does. Exit status 0 only when the file was written complete.
#pragma once

#include "app/arguments.h"
#include "data/export.h"

namespace tovanix {

inline constexpr int kExportWritten = 0;
inline constexpr int kExportNoDatabase = 1;
inline constexpr int kExportBadArguments = 2;
inline constexpr int kExportUnknownDevice = 3;
inline constexpr int kExportEmptySpan = 4;
inline constexpr int kExportNotWritten = 5;

// Whether the format draws the curve (and needs a QGuiApplication for it).
bool exportDrawsCurve(const arguments::ExportOptions& options);

// `curve` draws the curve for pdf and bmp; without it (a build without the
// window) those formats are refused.
int runExportCommand(const arguments::ExportOptions& options, const data::CurvePicture& curve);

}  // namespace tovanix

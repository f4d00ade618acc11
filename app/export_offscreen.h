// "tovanix export" in the build with the window: the curve of pdf and bmp is
// drawn on Qt's offscreen platform, so no display is needed.
#pragma once

#include "app/arguments.h"

namespace tovanix::app {

int runExportOffscreen(const arguments::ExportOptions& options, char* programName);

}  // namespace tovanix::app

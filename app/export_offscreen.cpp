#include "app/export_offscreen.h"

#include <QApplication>

#include <cstdlib>

#include "app/export_command.h"
#include "data/curve_picture.h"
#include "data/pdf_report.h"

namespace tovanix::app {

int runExportOffscreen(const arguments::ExportOptions& options, char* programName) {
    if (!exportDrawsCurve(options)) return runExportCommand(options, {});
    // The chart is a widget and its text needs fonts: an application on the
    // offscreen platform gives both without a display, whatever the
    // environment names.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char* argv[] = {programName, nullptr};
    QApplication app(argc, argv);
    return runExportCommand(options, data::curvePictureMaker(QSize(data::kCurveImageWidth, data::kCurveImageHeight)));
}

}  // namespace tovanix::app

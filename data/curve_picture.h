// The curve of an export drawn without the data page: the same chart, its
// titles by probe type, the readings oldest at the left. For `tovanix
// export`; the page hands over the picture of its own chart instead.
#pragma once

#include <QImage>
#include <QSize>

#include <string>
#include <vector>

#include "data/export.h"

namespace tovanix::data {

// Needs a QApplication; call it on the thread that owns it.
QImage curveImage(const DeviceReportInfo& info, const std::vector<ExportRow>& rows, const QSize& size);
// The picture in a file format ("PNG", "BMP"); empty on failure.
std::string encodePicture(const QImage& image, const char* format);
// An export's curve drawn by curveImage at `size` for a bitmap, at the
// report's size for the PDF.
CurvePicture curvePictureMaker(const QSize& bitmapSize);

}  // namespace tovanix::data

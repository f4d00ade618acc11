#include "data/curve_picture.h"

#include <QBuffer>
#include <QCoreApplication>

#include "data/history_text.h"
#include "data/pdf_report.h"
#include "widgets/curve_chart.h"

namespace tovanix::data {

QImage curveImage(const DeviceReportInfo& info, const std::vector<ExportRow>& rows, const QSize& size) {
    widgets::CurveChart chart;
    chart.setAttribute(Qt::WA_DontShowOnScreen);
    chart.resize(size);
    chart.setAxisTitles(QString::fromUtf8(kAxisBottom), QString::fromUtf8(kAxisLeft));
    chart.setSeriesTitle(0, QString::fromUtf8(kSeriesTemperature));
    chart.setSeriesTitle(1, QString::fromUtf8(secondSeriesTitle(info.probeType)));
    std::vector<QPointF> points[widgets::CurveChart::kSeriesCount];
    const bool second = drawsSecondChannel(info.probeType);
    const std::size_t n = rows.size();
    for (std::size_t i = n; i-- > 0;) {
        const double x = static_cast<double>(n - 1 - i);
        if (rows[i].ch1 != kNoReading) points[0].emplace_back(x, rows[i].ch1);
        if (second && rows[i].ch2 != kNoReading) points[1].emplace_back(x, rows[i].ch2);
    }
    for (int s = 0; s < widgets::CurveChart::kSeriesCount; ++s) chart.setPoints(s, std::move(points[s]));
    chart.show();
    chart.resetZoom();
    // The layout of the chart settles in posted events.
    QCoreApplication::sendPostedEvents();
    return chart.image(size);
}

std::string encodePicture(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (image.isNull() || !image.save(&buffer, format)) return {};
    return bytes.toStdString();
}

CurvePicture curvePictureMaker(const QSize& bitmapSize) {
    return [bitmapSize](const DeviceReportInfo& info, const std::vector<ExportRow>& rows, const char* format,
                        bool forReport) {
        const QSize size = forReport ? QSize(kCurveImageWidth, kCurveImageHeight) : bitmapSize;
        return encodePicture(curveImage(info, rows, size), format);
    };
}

}  // namespace tovanix::data

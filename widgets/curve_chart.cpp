#include "widgets/curve_chart.h"

#include <QChart>
#include <QChartView>
#include <QGraphicsLineItem>
#include <QGraphicsSimpleTextItem>
#include <QLegend>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QValueAxis>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>

namespace tovanix::widgets {

namespace {

constexpr double kValueMargin = 0.02 / 0.96;  // the curve spans 2 % to 98 % of the plot's height
constexpr double kWheelZoom = 0.8;            // one wheel step shows 80 % of the span
constexpr double kWheelStep = 120.0;          // angle delta of one wheel notch
constexpr double kMinimumSpan = 2.0;          // never zoom below two readings
constexpr int kReadoutInset = 4;
const QColor kCursorColour(192, 192, 192);

// Per pixel column of [minX, maxX]: the first, lowest, highest and last
// point, in x order.
QList<QPointF> decimate(const std::vector<QPointF>& points, double minX, double maxX, int columns) {
    QList<QPointF> out;
    auto first = std::lower_bound(points.begin(), points.end(), minX,
                                  [](const QPointF& p, double x) { return p.x() < x; });
    auto last = std::upper_bound(points.begin(), points.end(), maxX,
                                 [](double x, const QPointF& p) { return x < p.x(); });
    // One point beyond each edge, so the line runs out of the plot.
    if (first != points.begin()) --first;
    if (last != points.end()) ++last;
    const auto n = last - first;
    if (columns <= 0 || n <= 4 * static_cast<long>(columns)) {
        out.reserve(static_cast<qsizetype>(n));
        for (auto it = first; it != last; ++it) out.append(*it);
        return out;
    }
    const double width = (maxX - minX) / columns;
    out.reserve(4 * static_cast<qsizetype>(columns) + 4);
    auto it = first;
    while (it != last) {
        const long column = static_cast<long>(std::floor((it->x() - minX) / width));
        auto lo = it, hi = it, end = it;
        while (end != last && static_cast<long>(std::floor((end->x() - minX) / width)) == column) {
            if (end->y() < lo->y()) lo = end;
            if (end->y() > hi->y()) hi = end;
            ++end;
        }
        auto back = end - 1;
        // In x order, without repeating a point.
        std::vector<std::vector<QPointF>::const_iterator> picks{it, lo, hi, back};
        std::sort(picks.begin(), picks.end());
        picks.erase(std::unique(picks.begin(), picks.end()), picks.end());
        for (auto p : picks) out.append(*p);
        it = end;
    }
    return out;
}

}  // namespace

class CurveView : public QChartView {
public:
    CurveView(QChart* chart, CurveChart& owner) : QChartView(chart), owner_(owner) {
        setMouseTracking(true);
        setRubberBand(QChartView::HorizontalRubberBand);
        setRenderHint(QPainter::Antialiasing, false);
    }

protected:
    void mouseMoveEvent(QMouseEvent* e) override {
        emit owner_.mouseMoved(mapTo(&owner_, e->position().toPoint()).x());
        QChartView::mouseMoveEvent(e);
    }
    void mousePressEvent(QMouseEvent* e) override {
        emit owner_.pressed(mapTo(&owner_, e->position().toPoint()).x());
        QChartView::mousePressEvent(e);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        // A right click zooms all the way out (the chart's own steps back
        // only part of the way).
        if (e->button() == Qt::RightButton) {
            owner_.resetZoom();
            e->accept();
            return;
        }
        QChartView::mouseReleaseEvent(e);
    }
    void wheelEvent(QWheelEvent* e) override {
        const double steps = e->angleDelta().y() / kWheelStep;
        if (steps == 0) return;
        const double factor = std::pow(kWheelZoom, steps);
        const double at = owner_.xAtPosition(mapTo(&owner_, e->position().toPoint()).x());
        const double lo = at - (at - owner_.axisX_->min()) * factor;
        const double hi = at + (owner_.axisX_->max() - at) * factor;
        owner_.zoomTo(lo, hi);
        e->accept();
    }
    void resizeEvent(QResizeEvent* e) override {
        QChartView::resizeEvent(e);
        owner_.redraw();
    }

private:
    CurveChart& owner_;
};

CurveChart::CurveChart(QWidget* parent) : QWidget(parent) {
    chart_ = new QChart;
    chart_->setBackgroundBrush(Qt::white);
    chart_->legend()->setAlignment(Qt::AlignTop);
    axisX_ = new QValueAxis(chart_);
    axisY_ = new QValueAxis(chart_);
    axisY_->setGridLineVisible(false);
    axisX_->setLabelFormat(QStringLiteral("%d"));
    chart_->addAxis(axisX_, Qt::AlignBottom);
    chart_->addAxis(axisY_, Qt::AlignLeft);
    const QColor colours[kSeriesCount] = {Qt::red, Qt::green};
    for (int i = 0; i < kSeriesCount; ++i) {
        series_[i] = new QLineSeries(chart_);
        series_[i]->setPen(QPen(colours[i], 1));
        series_[i]->setPointsVisible(false);
        chart_->addSeries(series_[i]);
        series_[i]->attachAxis(axisX_);
        series_[i]->attachAxis(axisY_);
    }
    view_ = new CurveView(chart_, *this);
    view_->setAccessibleName(QStringLiteral("记录曲线"));
    readout_ = new QGraphicsSimpleTextItem(chart_);
    readout_->setZValue(1);
    cursor_ = new QGraphicsLineItem(chart_);
    cursor_->setPen(QPen(kCursorColour, 1));
    cursor_->setZValue(1);
    cursor_->hide();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    // A rubber band or a zoom by the chart itself: draw the new span.
    connect(axisX_, &QValueAxis::rangeChanged, this, [this] {
        if (!redrawing_) redraw();
    });
    connect(chart_, &QChart::plotAreaChanged, this, [this](const QRectF& area) {
        readout_->setPos(area.topLeft() + QPointF(kReadoutInset, kReadoutInset));
    });
    resetZoom();
}

CurveChart::~CurveChart() = default;

void CurveChart::setAxisTitles(const QString& bottom, const QString& left) {
    axisX_->setTitleText(bottom);
    axisY_->setTitleText(left);
}

void CurveChart::setSeriesTitle(int series, const QString& title) {
    series_[series]->setName(title);
}

QString CurveChart::seriesTitle(int series) const {
    return series_[series]->name();
}

void CurveChart::setPoints(int series, std::vector<QPointF> points) {
    points_[series] = std::move(points);
}

void CurveChart::clear() {
    for (int i = 0; i < kSeriesCount; ++i) {
        points_[i].clear();
        series_[i]->clear();
    }
    cursor_->hide();
    resetZoom();
}

int CurveChart::pointCount(int series) const {
    return static_cast<int>(points_[series].size());
}

int CurveChart::drawnCount(int series) const {
    return static_cast<int>(series_[series]->count());
}

QList<QPointF> CurveChart::drawnPoints(int series) const {
    return series_[series]->points();
}

void CurveChart::setReadout(const QString& text) {
    readout_->setText(text);
}

QString CurveChart::readout() const {
    return readout_->text();
}

double CurveChart::xAtPosition(int x) const {
    const QPointF scene = view_->mapToScene(view_->mapFrom(this, QPoint(x, 0)));
    return chart_->mapToValue(chart_->mapFromScene(scene), series_[0]).x();
}

int CurveChart::positionOfX(double x) const {
    const QPointF item = chart_->mapToPosition(QPointF(x, axisY_->min()), series_[0]);
    const QPoint inView = view_->mapFromScene(chart_->mapToScene(item));
    return view_->mapTo(this, inView).x();
}

std::optional<QPointF> CurveChart::nearestPoint(int series, double x) const {
    const auto& points = points_[series];
    if (points.empty()) return std::nullopt;
    auto it = std::lower_bound(points.begin(), points.end(), x, [](const QPointF& p, double v) { return p.x() < v; });
    if (it == points.end()) return points.back();
    if (it != points.begin() && x - (it - 1)->x() <= it->x() - x) --it;
    return *it;
}

void CurveChart::moveCursor(double x) {
    const QRectF area = chart_->plotArea();
    const double px = chart_->mapToPosition(QPointF(x, axisY_->min()), series_[0]).x();
    cursor_->setLine(px, area.top(), px, area.bottom());
    cursor_->setVisible(px >= area.left() && px <= area.right());
}

void CurveChart::resetZoom() {
    double lo = 0, hi = 1;
    bool any = false;
    for (const auto& p : points_) {
        if (p.empty()) continue;
        lo = any ? std::min(lo, p.front().x()) : p.front().x();
        hi = any ? std::max(hi, p.back().x()) : p.back().x();
        any = true;
    }
    if (hi - lo < kMinimumSpan) hi = lo + kMinimumSpan;
    zoomTo(lo, hi);
    fitValueAxis();
}

void CurveChart::zoomTo(double minX, double maxX) {
    if (maxX - minX < kMinimumSpan) {
        const double mid = (minX + maxX) / 2;
        minX = mid - kMinimumSpan / 2;
        maxX = mid + kMinimumSpan / 2;
    }
    redrawing_ = true;
    axisX_->setRange(minX, maxX);
    redrawing_ = false;
    redraw();
}

void CurveChart::fitValueAxis() {
    double lo = std::numeric_limits<double>::max(), hi = std::numeric_limits<double>::lowest();
    for (const auto& p : points_) {
        for (const QPointF& pt : p) {
            lo = std::min(lo, pt.y());
            hi = std::max(hi, pt.y());
        }
    }
    if (lo > hi) {
        lo = 0;
        hi = 1;
    }
    const double margin = std::max((hi - lo) * kValueMargin, 1.0);
    axisY_->setRange(lo - margin, hi + margin);
}

void CurveChart::redraw() {
    const int columns = static_cast<int>(chart_->plotArea().width());
    for (int i = 0; i < kSeriesCount; ++i) {
        series_[i]->replace(decimate(points_[i], axisX_->min(), axisX_->max(), columns));
    }
}

QImage CurveChart::image(const QSize& size) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    view_->render(&p, QRectF(QPointF(0, 0), QSizeF(size)));
    return img;
}

}  // namespace tovanix::widgets

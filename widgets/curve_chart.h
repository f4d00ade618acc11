// The curve of the data page: two line series with titles, axis titles, a
// readout text and a cursor line that follows the mouse. The series keep
// every point; what is drawn is decimated to the plot's pixel columns (the
// first, lowest, highest and last point of each column), so a year draws as
// fast as a day and looks the same. Zooming in (wheel, rubber band) draws
// the visible span anew in full detail; a right click zooms out.
#pragma once

#include <QList>
#include <QPointF>
#include <QWidget>

#include <optional>
#include <vector>

class QChart;
class QGraphicsLineItem;
class QGraphicsSimpleTextItem;
class QLineSeries;
class QValueAxis;

namespace tovanix::widgets {

class CurveView;

class CurveChart : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSeriesCount = 2;

    explicit CurveChart(QWidget* parent = nullptr);
    ~CurveChart() override;

    void setAxisTitles(const QString& bottom, const QString& left);
    void setSeriesTitle(int series, const QString& title);
    QString seriesTitle(int series) const;
    // The points of a series, x ascending.
    void setPoints(int series, std::vector<QPointF> points);
    void clear();
    int pointCount(int series) const;
    // What is drawn at the moment (after decimation).
    int drawnCount(int series) const;
    QList<QPointF> drawnPoints(int series) const;

    void setReadout(const QString& text);
    QString readout() const;

    // The x value at a position in this widget's coordinates.
    double xAtPosition(int x) const;
    // The widget x at which an x value is drawn.
    int positionOfX(double x) const;
    // The point of the series nearest to x (by x value), or nothing when
    // the series is empty.
    std::optional<QPointF> nearestPoint(int series, double x) const;
    // Moves the cursor line to the x value.
    void moveCursor(double x);

    // The whole span again after zooming.
    void resetZoom();
    void zoomTo(double minX, double maxX);
    // The chart as a picture of the given size (exports).
    QImage image(const QSize& size);

signals:
    // The mouse moved over the chart / a button was pressed on it, at this
    // x of the widget.
    void mouseMoved(int x);
    void pressed(int x);

private:
    friend class CurveView;
    void redraw();
    void fitValueAxis();

    QChart* chart_;
    CurveView* view_;
    QValueAxis* axisX_;
    QValueAxis* axisY_;
    QLineSeries* series_[kSeriesCount];
    std::vector<QPointF> points_[kSeriesCount];
    QGraphicsSimpleTextItem* readout_;
    QGraphicsLineItem* cursor_;
    bool redrawing_ = false;
};

}  // namespace tovanix::widgets

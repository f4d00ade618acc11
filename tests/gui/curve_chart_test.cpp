// The curve chart: decimation keeps every extreme, zooming in draws every
// point of the visible span, screen x and x value convert both ways.
#include <QTest>

#include <algorithm>
#include <cmath>

#include "widgets/curve_chart.h"

using tovanix::widgets::CurveChart;

namespace {

constexpr int kPoints = 100000;
constexpr int kSpikeAt = 54321;
constexpr double kSpike = 99.0;
constexpr double kDip = -42.0;
constexpr int kDipAt = 777;

std::vector<QPointF> wave() {
    std::vector<QPointF> points;
    points.reserve(kPoints);
    for (int i = 0; i < kPoints; ++i) points.emplace_back(i, 20.0 + std::sin(i / 500.0));
    points[kSpikeAt].setY(kSpike);
    points[kDipAt].setY(kDip);
    return points;
}

}  // namespace

class CurveChartTest : public QObject {
    Q_OBJECT
private slots:
    void decimatesToThePlotAndKeepsTheExtremes() {
        CurveChart chart;
        chart.resize(800, 400);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        chart.setPoints(0, wave());
        chart.resetZoom();
        QCOMPARE(chart.pointCount(0), kPoints);
        // At most four points per pixel column (and the two beyond the edges).
        QVERIFY(chart.drawnCount(0) > 0);
        QVERIFY(chart.drawnCount(0) <= 4 * chart.width() + 2);
        QVERIFY(chart.drawnCount(0) < kPoints / 10);

        // Zoomed in, every point of the span is drawn.
        chart.zoomTo(1000, 1100);
        QCOMPARE(chart.drawnCount(0), 101 + 2);
        chart.resetZoom();
        QVERIFY(chart.drawnCount(0) <= 4 * chart.width() + 2);
    }

    void extremesSurviveDecimation() {
        CurveChart chart;
        chart.resize(600, 300);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        chart.setPoints(0, wave());
        chart.resetZoom();
        // The spike and the dip are among the drawn points, at their places.
        const QList<QPointF> drawn = chart.drawnPoints(0);
        QVERIFY(drawn.size() < kPoints / 10);
        QVERIFY(drawn.contains(QPointF(kSpikeAt, kSpike)));
        QVERIFY(drawn.contains(QPointF(kDipAt, kDip)));
        QVERIFY(std::is_sorted(drawn.begin(), drawn.end(),
                               [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); }));
        const QImage img = chart.image(QSize(600, 300));
        QCOMPARE(img.size(), QSize(600, 300));
    }

    void screenPositionAndValueAgree() {
        CurveChart chart;
        chart.resize(800, 400);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        chart.setPoints(0, {{0, 1}, {1, 2}, {3, 4}, {4, 5}});
        chart.resetZoom();
        for (double x : {0.0, 1.0, 3.0, 4.0}) {
            QCOMPARE(std::lround(chart.xAtPosition(chart.positionOfX(x))), std::lround(x));
        }
        // x = 2 has no point: the nearest by x value, not by index.
        QCOMPARE(chart.nearestPoint(0, 3.0)->y(), 4.0);
        QCOMPARE(chart.nearestPoint(0, 0.4)->x(), 0.0);
        QVERIFY(!chart.nearestPoint(1, 3.0).has_value());
        chart.setReadout(QStringLiteral("时间"));
        QCOMPARE(chart.readout(), QStringLiteral("时间"));
        chart.clear();
        QCOMPARE(chart.pointCount(0), 0);
        QCOMPARE(chart.drawnCount(0), 0);
    }
};

QTEST_MAIN(CurveChartTest)
#include "curve_chart_test.moc"

// The status view on a station table filled in memory.
#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include "app/status_view.h"
#include "devices/engine.h"
#include "widgets/bitmap_button.h"
#include "widgets/tile_painter.h"

using namespace tovanix;
using app::CCurrentStatus;
using app::ViewMode;

namespace {

devices::DeviceEntry device(int lineid, int address, int roomid, const std::string& name) {
    devices::DeviceEntry d;
    d.address = static_cast<std::uint16_t>(address);
    d.lineid = lineid;
    d.groupId = roomid;
    d.name = name;
    d.deviceid = address;
    return d;
}

// Line 3 with group 302 (addresses 7 and 8) and addresses 1, 2 directly
// under it; line 5 with addresses 1 to 4.
void fillTable(devices::Engine& e) {
    devices::LineEntry l3;
    l3.lineid = 3;
    l3.name = "三号线";
    l3.groups.push_back({"二组", 3, 302});
    l3.devices = {device(3, 1, 0, "a"), device(3, 7, 302, "g7"), device(3, 2, 0, "b"), device(3, 8, 302, "g8")};
    devices::LineEntry l5;
    l5.lineid = 5;
    l5.name = "五号线";
    for (int a = 1; a <= 4; ++a) l5.devices.push_back(device(5, a, 0, "d" + std::to_string(a)));
    e.table().addLine(l3);
    e.table().addLine(l5);
}

int sequenceOf(devices::Engine& e, int lineid, int address) {
    return e.table().device(lineid, address)->sequence;
}

}  // namespace

class StatusViewTest : public QObject {
    Q_OBJECT
private slots:
    void geometryOfAThousandPixels() {
        devices::Engine e;
        fillTable(e);
        CCurrentStatus view(e);
        view.resize(1000 + view.scrollBar()->sizeHint().width(), 700);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.clientWidth(), 1000);
        QCOMPARE(view.columns(), 4);
        view.fill(ViewMode::All);
        QCOMPARE(view.tileRect(5), QRect(252, 160, 250, 150));
        QCOMPARE(view.tile(5)->geometry(), QRect(252, 160, 250, 150));
        QCOMPARE(view.tileRect(0), QRect(0, 0, 250, 150));
        QCOMPARE(view.tileRect(4).topLeft(), QPoint(0, 160));
    }
    void narrowViewKeepsOneColumn() {
        devices::Engine e;
        CCurrentStatus view(e);
        view.resize(100, 300);
        QCOMPARE(view.columns(), 1);
        QCOMPARE(view.tileRect(2).topLeft(), QPoint(0, 320));
    }
    void fillAllNumbersInTableOrder() {
        devices::Engine e;
        fillTable(e);
        CCurrentStatus view(e);
        view.resize(1100, 700);
        view.fill(ViewMode::All);
        QCOMPARE(view.tileCount(), 8);
        QCOMPARE(sequenceOf(e, 3, 1), 1);
        QCOMPARE(sequenceOf(e, 3, 7), 2);
        QCOMPARE(sequenceOf(e, 5, 4), 8);
        for (int pos = 0; pos < 8; ++pos) {
            QVERIFY(view.tile(pos) != nullptr);
            QCOMPARE(view.tile(pos)->property("controlId").toInt(), 7000 + pos);
        }
        QCOMPARE(view.tile(1)->text(), QStringLiteral("3007"));
        QCOMPARE(view.tile(7)->text(), QStringLiteral("5004"));
        QCOMPARE(view.tile(0)->picture().size(), QSize(250, 150));
    }
    void fillGroupShowsOnlyItsDevices() {
        devices::Engine e;
        fillTable(e);
        CCurrentStatus view(e);
        view.resize(1100, 700);
        view.show();
        view.fill(ViewMode::All);
        widgets::BitmapButton* first = view.tile(0);
        view.fill(ViewMode::Group, 302000);
        QCOMPARE(view.tileCount(), 2);
        QCOMPARE(view.mode(), ViewMode::Group);
        QCOMPARE(view.tile(0)->text(), QStringLiteral("3007"));
        QCOMPARE(view.tile(1)->text(), QStringLiteral("3008"));
        // Tiles are reused, never made anew; those beyond the scope hide.
        QCOMPARE(view.tile(0), first);
        QVERIFY(view.tile(0)->isVisible());
        QVERIFY(!view.tile(2)->isVisible());
        QCOMPARE(sequenceOf(e, 3, 7), 1);
        QCOMPARE(sequenceOf(e, 3, 1), 0);
        QCOMPARE(sequenceOf(e, 5, 1), 0);
        // A device outside the scope no longer reacts to readings.
        const int before = view.drawCount(0);
        e.lastRead.store(5);
        view.refreshLastRead();
        QCOMPARE(view.drawCount(0), before);
        view.fill(ViewMode::Line, 500000);
        QCOMPARE(view.tileCount(), 4);
        QCOMPARE(view.tile(0)->text(), QStringLiteral("5001"));
    }
    void onlyTheReadTileIsRedrawn() {
        devices::Engine e;
        fillTable(e);
        CCurrentStatus view(e);
        view.resize(1100, 700);
        view.show();
        view.fill(ViewMode::All);
        std::vector<int> before;
        for (int pos = 0; pos < 8; ++pos) before.push_back(view.drawCount(pos));
        const QImage old = view.tile(2)->picture();
        e.table().with([](std::vector<devices::LineEntry>& lines) {
            auto& d = lines[0].devices[2];  // sequence 3
            d.ch1 = 21.5f;
            d.ch2 = 48.0f;
            d.status = devices::kStatusNormal;
            d.powerKind = devices::kPowerExternal;
        });
        e.lastRead.store(3);
        // The view's own 200 ms timer picks it up.
        QTRY_COMPARE(view.drawCount(2), before[2] + 1);
        QCOMPARE(e.lastRead.load(), 0);
        for (int pos = 0; pos < 8; ++pos) {
            if (pos != 2) QCOMPARE(view.drawCount(pos), before[static_cast<std::size_t>(pos)]);
        }
        QVERIFY(view.tile(2)->picture() != old);
    }
    void tileTextsFollowTheReading() {
        widgets::TilePainter painter;
        app::TileArgs a;
        a.name = "冷库";
        a.status = 1;
        a.ch1 = 1000.0f;
        a.ch2 = 1000.0f;
        const QImage none = app::drawTileImage(painter, a);
        a.ch1 = 12.3f;
        const QImage some = app::drawTileImage(painter, a);
        QVERIFY(none != some);
        // A probe of temperature only ignores channel 2.
        a.probeType = 1;
        a.ch2 = 10.0f;
        const QImage t1 = app::drawTileImage(painter, a);
        a.ch2 = 90.0f;
        QCOMPARE(app::drawTileImage(painter, a), t1);
        // A status beyond the known ones draws on the picture still held.
        a.status = 9;
        QCOMPARE(app::drawTileImage(painter, a).size(), QSize(250, 150));
    }
    void clickingATileReportsItsCode() {
        devices::Engine e;
        fillTable(e);
        CCurrentStatus view(e);
        view.resize(1100, 700);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.fill(ViewMode::All);
        QSignalSpy clicks(&view, &CCurrentStatus::tileClicked);
        QTest::mouseClick(view.tile(1), Qt::LeftButton);
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(clicks.at(0).at(0).toInt(), 3007);
    }
    void scrolling() {
        devices::Engine e;
        devices::LineEntry l;
        l.lineid = 1;
        for (int a = 1; a <= 40; ++a) l.devices.push_back(device(1, a, 0, "d"));
        e.table().addLine(l);
        CCurrentStatus view(e);
        view.resize(1000 + view.scrollBar()->sizeHint().width(), 600);
        view.show();
        view.setUpScrolling();
        view.fill(ViewMode::All);
        // Ten rows of four: the last row's bottom is 9 * 160 + 150 px down,
        // 990 px below the viewport's 600.
        QCOMPARE(view.scrollMaximum(), 99);
        QCOMPARE(view.tile(4)->y(), 160);
        view.scrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(view.scrollPosition(), 1);
        QCOMPARE(view.tile(4)->y(), 150);
        view.scrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(view.scrollPosition(), 6);
        QCOMPARE(view.tile(4)->y(), 100);
        view.scrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
        QCOMPARE(view.scrollPosition(), 99);
        view.scrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(view.scrollPosition(), 99);  // stops at the end
        QCOMPARE(view.tile(4)->y(), 160 - 990);
        QCOMPARE(view.tile(39)->geometry().bottom(), view.viewport()->height() - 1);
        // A redraw lands where the scrolled grid has it.
        e.lastRead.store(5);
        view.refreshLastRead();
        QCOMPARE(view.tile(4)->y(), 160 - 990);
        view.scrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
        QCOMPARE(view.tile(4)->y(), 160);
    }
    // The range reaches the last row of tiles and no further, whatever the
    // number of loggers: tiles that fit do not scroll.
    void scrollRangeFollowsTheTiles() {
        struct Case {
            const char* name;
            int tiles;
            int clientWidth;
            int height;
            int expectedMaximum;
        };
        const Case cases[] = {
            {"eleven tiles fit", 11, 1000, 600, 0},
            {"no tiles", 0, 1000, 600, 0},
            {"last row exactly fits", 12, 1000, 2 * 160 + 150, 0},
            {"one pixel short", 12, 1000, 2 * 160 + 150 - 1, 1},
            {"eleven tiles, short window", 11, 1000, 400, 7},
            {"one column", 3, 300, 300, 17},
        };
        for (const Case& c : cases) {
            devices::Engine e;
            devices::LineEntry l;
            l.lineid = 1;
            for (int a = 1; a <= c.tiles; ++a) l.devices.push_back(device(1, a, 0, "d"));
            e.table().addLine(l);
            CCurrentStatus view(e);
            view.resize(c.clientWidth + view.scrollBar()->sizeHint().width(), c.height);
            view.show();
            QVERIFY(QTest::qWaitForWindowExposed(&view));
            view.setUpScrolling();
            view.fill(ViewMode::All);
            QVERIFY2(view.scrollMaximum() == c.expectedMaximum,
                     qPrintable(QStringLiteral("%1: %2").arg(QString::fromUtf8(c.name)).arg(view.scrollMaximum())));
            // The wheel and the end of the bar stop with the last row whole.
            QWheelEvent down(QPointF(10, 10), view.mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, -120 * 50),
                             Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(&view, &down);
            QVERIFY2(view.scrollPosition() == c.expectedMaximum, c.name);
            if (c.tiles > 0) {
                const QRect last = view.tile(c.tiles - 1)->geometry();
                QVERIFY2(last.bottom() < view.viewport()->height(), c.name);
                if (c.expectedMaximum == 0) {
                    QVERIFY2(view.tile(0)->y() == 0, c.name);
                } else {
                    // No more than one scroll unit of emptiness below it.
                    QVERIFY2(view.viewport()->height() - 1 - last.bottom() < app::kScrollUnitPx, c.name);
                }
            }
            // The steps stay those of the bar.
            QCOMPARE(view.scrollBar()->singleStep(), app::kScrollLineUnits);
            QCOMPARE(view.scrollBar()->pageStep(), app::kScrollPageUnits);
        }
    }
    // A fill of a smaller scope and a taller window shorten the range and
    // bring the tiles back into view.
    void scrollRangeFollowsScopeAndSize() {
        devices::Engine e;
        devices::LineEntry l;
        l.lineid = 1;
        l.groups.push_back({"一组", 1, 101});
        for (int a = 1; a <= 40; ++a) l.devices.push_back(device(1, a, a <= 3 ? 101 : 0, "d"));
        e.table().addLine(l);
        CCurrentStatus view(e);
        view.resize(1000 + view.scrollBar()->sizeHint().width(), 600);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.setUpScrolling();
        view.fill(ViewMode::All);
        QCOMPARE(view.scrollMaximum(), 99);
        view.scrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
        QCOMPARE(view.scrollPosition(), 99);
        view.fill(ViewMode::Group, 101000);
        QCOMPARE(view.tileCount(), 3);
        QCOMPARE(view.scrollMaximum(), 0);
        QCOMPARE(view.scrollPosition(), 0);
        QCOMPARE(view.tile(0)->y(), 0);
        view.fill(ViewMode::All);
        QCOMPARE(view.scrollMaximum(), 99);
        view.scrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
        // Taller: less to scroll, and the position follows.
        view.resize(view.width(), 1000);
        QCOMPARE(view.scrollMaximum(), 59);
        QCOMPARE(view.scrollPosition(), 59);
        QCOMPARE(view.tile(39)->geometry().bottom(), view.viewport()->height() - 1);
        // Wide enough for eight columns: five rows fit in 1000 px.
        view.resize(2000 + view.scrollBar()->sizeHint().width(), 1000);
        QCOMPARE(view.columns(), 8);
        QCOMPARE(view.scrollMaximum(), 0);
        QCOMPARE(view.tile(0)->y(), 0);
    }
    void devicesBeyondTheLastTileAreNotShown() {
        devices::Engine e;
        for (int line = 1; line <= 2; ++line) {
            devices::LineEntry l;
            l.lineid = line;
            for (int a = 1; a <= 500; ++a) l.devices.push_back(device(line, a, 0, "d"));
            e.table().addLine(l);
        }
        CCurrentStatus view(e);
        view.resize(1000, 600);
        view.fill(ViewMode::All);
        QCOMPARE(view.tileCount(), 999);
        QCOMPARE(sequenceOf(e, 2, 499), 999);
        QCOMPARE(sequenceOf(e, 2, 500), 0);
    }
};

QTEST_MAIN(StatusViewTest)
#include "status_view_test.moc"

// The status view on a station table filled in memory.
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

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
        QCOMPARE(view.scrollMaximum(), (40 / 4) * 17);
        view.fill(ViewMode::All);
        QCOMPARE(view.tile(4)->y(), 160);
        view.scrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(view.scrollPosition(), 1);
        QCOMPARE(view.tile(4)->y(), 150);
        view.scrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(view.scrollPosition(), 6);
        QCOMPARE(view.tile(4)->y(), 100);
        view.scrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
        QCOMPARE(view.scrollPosition(), 170);
        view.scrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(view.scrollPosition(), 170);  // stops at the end
        QCOMPARE(view.tile(4)->y(), 160 - 1700);
        // A redraw lands where the scrolled grid has it.
        e.lastRead.store(5);
        view.refreshLastRead();
        QCOMPARE(view.tile(4)->y(), 160 - 1700);
        view.scrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
        QCOMPARE(view.tile(4)->y(), 160);
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

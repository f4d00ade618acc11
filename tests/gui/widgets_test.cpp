// Pieces of the window that need no database: tile texts and pictures, the
// device tree's node styles, the state display, node data, the skin.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRawFont>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>

#include "app/commands.h"
#include "app/node_data.h"
#include "app/state_display.h"
#include "app/tile_content.h"
#include "widgets/artwork.h"
#include "widgets/bitmap_button.h"
#include "widgets/request_timer.h"
#include "widgets/skin.h"
#include "widgets/tile_painter.h"
#include "widgets/tree_ctrl_ex.h"

using namespace tovanix;

namespace {

// WCAG counts text from 18 points as large and asks 3:1 of it; at that size
// the strokes reach their full colour despite the anti-aliasing.
constexpr int kLargeTextPoints = 24;
constexpr double kLargeTextContrast = 3.0;

// Relative luminance of an sRGB colour, as WCAG defines it.
double luminance(QRgb rgb) {
    const auto channel = [](int v) {
        const double c = v / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(rgb)) + 0.7152 * channel(qGreen(rgb)) + 0.0722 * channel(qBlue(rgb));
}

double contrast(QRgb a, QRgb b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The colour most pixels of the picture have.
QRgb background(const QImage& img) {
    std::map<QRgb, int> counts;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) ++counts[img.pixel(x, y)];
    }
    return std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
}

// Pixels that stand out from the picture's background enough to be read.
int inkPixels(const QImage& img) {
    const QRgb bg = background(img);
    int ink = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            if (contrast(img.pixel(x, y), bg) >= kLargeTextContrast) ++ink;
        }
    }
    return ink;
}

// The same text in the same font, black on white: what a readable row holds.
int referenceInk(const QString& text, const QFont& font, QSize size) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(img.rect(), Qt::AlignCenter, text);
    p.end();
    return inkPixels(img);
}

}  // namespace

class WidgetsTest : public QObject {
    Q_OBJECT
private slots:
    // A request followed on the timer ends once, in each of its ways.
    void requestTimerEndsOnce() {
        using Step = widgets::RequestTimer::Step;
        struct Case {
            const char* name;
            bool taken;
            int finishAfterMs;  // -1: the handler never answers
            int timeoutMs;
            Step expected;
            int expectedCode;
        };
        const Case cases[] = {
            {"handled", true, 30, 2000, Step::Finished, 3},
            {"never handled", true, -1, 100, Step::TimedOut, 1},
            {"no thread", false, -1, 2000, Step::NotPosted, 0},
        };
        for (const Case& c : cases) {
            std::atomic<int> code{0};
            widgets::RequestTimer timer;
            platform::ResultFollower::Request r;
            r.code = &code;
            r.timeout = std::chrono::milliseconds(c.timeoutMs);
            r.post = [&] {
                if (c.taken && c.finishAfterMs >= 0) QTimer::singleShot(c.finishAfterMs, [&] { code.store(3); });
                return c.taken;
            };
            int calls = 0;
            Step got = Step::Idle;
            int gotCode = -1;
            timer.follow(r, 10, [&](Step s, int v) {
                ++calls;
                got = s;
                gotCode = v;
            });
            QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 5000);
            QTest::qWait(50);  // nothing more arrives
            QCOMPARE(calls, 1);
            QVERIFY2(got == c.expected, c.name);
            QCOMPARE(gotCode, c.expectedCode);
            QVERIFY(!timer.busy());
        }
    }
    void requestTimerCancelledCallsNothing() {
        std::atomic<int> code{0};
        widgets::RequestTimer timer;
        platform::ResultFollower::Request r;
        r.code = &code;
        r.post = [] { return true; };
        bool called = false;
        timer.follow(r, 10, [&](widgets::RequestTimer::Step, int) { called = true; });
        QVERIFY(timer.busy());
        timer.cancel();
        code.store(2);
        QTest::qWait(50);
        QVERIFY(!called);
        QVERIFY(!timer.busy());
    }
    void channelTexts() {
        QCOMPARE(app::channelText(1000.0f), std::string("N/A"));
        QCOMPARE(app::channelText(23.44f), std::string("23.4"));
        QCOMPARE(app::channelText(-5.0f), std::string("-5.0"));
        QCOMPARE(app::secondChannelText(55.0f, app::kProbeTemperature), std::string("--.-"));
        QCOMPARE(app::secondChannelText(1000.0f, app::kProbeTemperatureHumidity), std::string("N/A"));
        QCOMPARE(app::secondChannelText(55.0f, app::kProbeTemperatureHumidity), std::string("55.0"));
    }
    void quantityLabels() {
        QCOMPARE(app::quantityLabels(1).first, std::string("温度(℃)"));
        QCOMPARE(app::quantityLabels(1).second, std::string("        "));
        QCOMPARE(app::quantityLabels(2).second, std::string("温度(℃)"));
        QCOMPARE(app::quantityLabels(4).second, std::string("湿度(%)"));
        QCOMPARE(app::quantityLabels(3).first, std::string());
        QCOMPARE(app::quantityLabels(3).second, std::string());
    }
    void nodeData() {
        QVERIFY(app::nodeKind(0) == app::NodeKind::Root);
        QVERIFY(app::nodeKind(300000) == app::NodeKind::Line);
        QVERIFY(app::nodeKind(302000) == app::NodeKind::Group);
        QVERIFY(app::nodeKind(302007) == app::NodeKind::Device);
        QVERIFY(app::nodeKind(300007) == app::NodeKind::Device);
        QCOMPARE(app::deviceNode(3, 302, 7), 302007u);
        QCOMPARE(app::deviceNode(3, 0, 7), 300007u);
        QCOMPARE(app::nodeOfTileCode(12007), 1200007u);
    }
    void stateDisplayDots() {
        app::StateDisplay d;
        QCOMPARE(*d.tick(0), std::string("当前状态:空闲"));
        QCOMPARE(*d.tick(101), std::string("当前状态:检测设备中. "));
        for (int i = 0; i < 5; ++i) d.tick(101);
        QCOMPARE(d.dots(), std::string("......"));
        // The tick after the sixth dot empties the string.
        QCOMPARE(*d.tick(103), std::string("当前状态:获取设备设置参数"));
        QCOMPARE(*d.tick(102), std::string("当前状态:获取设备电量. "));
        QCOMPARE(*d.tick(104), std::string("当前状态:读取新设备测量值.. "));
        QCOMPARE(*d.tick(105), std::string("当前状态:获取历史记录中... "));
        QVERIFY(!d.tick(999).has_value());
        QCOMPARE(app::withGapNotice("当前状态:空闲", ""), std::string("当前状态:空闲"));
        QCOMPARE(app::withGapNotice("当前状态:空闲", "冷库1 2026-12-07 10:01至2026-12-07 10:03的记录已不在记录仪中"),
                 std::string("当前状态:空闲  冷库1 2026-12-07 10:01至2026-12-07 10:03的记录已不在记录仪中"));
    }
    void commandTable() {
        auto root = app::commandsOf(app::MenuId::Root);
        QCOMPARE(root.size(), std::size_t{1});
        QCOMPARE(root[0]->id, 32779);
        QCOMPARE(std::string(root[0]->text), std::string("增加线路"));
        std::vector<int> line;
        for (auto* c : app::commandsOf(app::MenuId::Line)) line.push_back(c->id);
        QCOMPARE(line, (std::vector<int>{32787, 32784, 32800, 32809}));
        std::vector<int> group;
        for (auto* c : app::commandsOf(app::MenuId::Group)) group.push_back(c->id);
        QCOMPARE(group, (std::vector<int>{32798, 32786}));
        std::vector<int> device;
        for (auto* c : app::commandsOf(app::MenuId::Device)) device.push_back(c->id);
        QCOMPARE(device, (std::vector<int>{32802, 32781}));
        QVERIFY(app::findCommand(32802)->right == users::Right::DeviceManagement);
        QCOMPARE(std::string(app::findCommand(32802)->refusal), std::string("无设备设置权限"));
    }
    void artworkSizes() {
        for (auto p :
             {widgets::Panel::Normal, widgets::Panel::Alarm, widgets::Panel::AlarmOver, widgets::Panel::Stopped}) {
            QCOMPARE(widgets::statusPanel(p).size(), QSize(250, 150));
        }
        QCOMPARE(widgets::powerSymbol(widgets::PowerSymbol::Mains).size(), QSize(30, 30));
        // Each state has its own picture.
        QVERIFY(widgets::statusPanel(widgets::Panel::Normal) != widgets::statusPanel(widgets::Panel::AlarmOver));
        QVERIFY(widgets::statusPanel(widgets::Panel::Alarm) != widgets::statusPanel(widgets::Panel::Stopped));
        QVERIFY(!widgets::programIcon().isNull());
    }
    void tilePainterDrawsTexts() {
        widgets::TilePainter p;
        const QImage base = widgets::statusPanel(widgets::Panel::Normal);
        p.load(base);
        p.drawText(QRect(10, 40, 110, 66), QStringLiteral("23.4"), QStringLiteral("Times New Roman"), 25,
                   QColor(58, 95, 205), Qt::AlignCenter);
        QVERIFY(p.picture() != base);
        QCOMPARE(p.picture().size(), QSize(250, 150));
        // Outside the rectangle nothing changed.
        QCOMPARE(p.picture().pixel(200, 140), base.convertToFormat(QImage::Format_RGB32).pixel(200, 140));
    }
    void bitmapButtonReportsClicks() {
        widgets::BitmapButton b;
        b.setPicture(widgets::statusPanel(widgets::Panel::Stopped));
        b.setText(QStringLiteral("3007"));
        b.resize(b.sizeHint());
        QCOMPARE(b.sizeHint(), QSize(250, 150));
        QSignalSpy clicks(&b, &QAbstractButton::clicked);
        QTest::mouseClick(&b, Qt::LeftButton);
        QCOMPARE(clicks.count(), 1);
    }
    void treeNodeColours() {
        QWidget holder;
        auto* other = new QLineEdit(&holder);
        auto* tree = new widgets::CTreeCtrlEx(&holder);
        auto* a = new QTreeWidgetItem(tree, QStringList(QStringLiteral("a")));
        auto* b = new QTreeWidgetItem(tree, QStringList(QStringLiteral("b")));
        holder.show();
        QVERIFY(QTest::qWaitForWindowExposed(&holder));
        QVERIFY(!tree->hasNodeStyle(a));
        tree->setNodeColour(a, widgets::rgb(255, 0, 0));
        QVERIFY(tree->hasNodeStyle(a));
        QVERIFY(tree->nodeStyle(a).font.face.isEmpty());
        QCOMPARE(tree->textColourFor(a), QColor(255, 0, 0));
        QCOMPARE(tree->textColourFor(b), tree->palette().color(QPalette::Text));
        // Selected and unfocused: still red. Selected and focused: the
        // normal highlight.
        tree->setCurrentItem(a);
        other->setFocus();
        QTRY_VERIFY(!tree->hasFocus());
        QVERIFY(tree->paintsOwnStyle(a));
        QCOMPARE(tree->textColourFor(a), QColor(255, 0, 0));
        tree->setFocus();
        QTRY_VERIFY(tree->hasFocus());
        QVERIFY(!tree->paintsOwnStyle(a));
        QCOMPARE(tree->textColourFor(a), tree->palette().color(QPalette::HighlightedText));
        // Black, as when a logger is started again.
        tree->setNodeColour(a, 0);
        other->setFocus();
        QTRY_VERIFY(!tree->hasFocus());
        QCOMPARE(tree->textColourFor(a), QColor(0, 0, 0));
        tree->setNodeColour(b, widgets::kSystemTextColour);
        QCOMPARE(tree->textColourFor(b), tree->palette().color(QPalette::Text));
        widgets::NodeFont f;
        f.face = QStringLiteral("DejaVu Serif");
        f.pointSize = 14;
        tree->setNodeFont(b, f);
        QCOMPARE(tree->fontFor(b).pointSize(), 14);
        tree->setNodeBold(b, true);
        QCOMPARE(tree->fontFor(b).weight(), QFont::Bold);
        // The widget paints without trouble.
        QVERIFY(!tree->grab().isNull());
    }
    void treeLabelEditIsAnnounced() {
        widgets::CTreeCtrlEx tree;
        auto* a = new QTreeWidgetItem(&tree, QStringList(QStringLiteral("old")));
        a->setFlags(a->flags() | Qt::ItemIsEditable);
        tree.setItemData(a, 300000);
        tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tree));
        QSignalSpy begin(&tree, &widgets::CTreeCtrlEx::beginLabelEdit);
        QSignalSpy end(&tree, &widgets::CTreeCtrlEx::endLabelEdit);
        tree.setCurrentItem(a);
        tree.editItem(a);
        QTRY_COMPARE(begin.count(), 1);
        auto* editor = tree.findChild<QLineEdit*>();
        QVERIFY(editor != nullptr);
        QCOMPARE(editor->maxLength(), widgets::kMaxLabelLength);
        editor->setText(QStringLiteral("new"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(end.count(), 1);
        QCOMPARE(end.at(0).at(1).toString(), QStringLiteral("new"));
        // The owner decides: the tree itself keeps the old text.
        QCOMPARE(a->text(0), QStringLiteral("old"));
        QCOMPARE(widgets::CTreeCtrlEx::itemData(a), 300000u);
    }
    void skinAttaches() {
        QCOMPARE(widgets::SkinH_Attach(), 1);
        QVERIFY(!qApp->styleSheet().isEmpty());
    }
    void interfaceFamilyChoice() {
        struct Case {
            const char* name;
            QStringList chinese;
            QString expected;
        };
        const QString general = QStringLiteral("DejaVu Sans");
        const Case cases[] = {
            {"Noto first", {"AR PL KaitiM GB", "WenQuanYi Zen Hei", "Noto Sans CJK SC"}, "Noto Sans CJK SC"},
            {"another sans face", {"AR PL SungtiL GB", "WenQuanYi Zen Hei"}, "WenQuanYi Zen Hei"},
            // The calligraphic and Song faces are no interface font.
            {"only the thin faces", {"AR PL KaitiM GB", "AR PL SungtiL GB"}, general},
            {"none", {}, general},
        };
        for (const Case& c : cases) {
            QVERIFY2(widgets::chooseInterfaceFamily(c.chinese, general) == c.expected, c.name);
        }
    }
    // The skin draws the whole interface in a sans-serif face that holds the
    // Chinese glyphs itself (scripts/deps installs fonts-noto-cjk).
    void interfaceFontCoversChinese() {
        const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
        QVERIFY2(std::any_of(std::begin(widgets::kInterfaceFamilies), std::end(widgets::kInterfaceFamilies),
                             [&](const char* f) { return chinese.contains(QString::fromUtf8(f)); }),
                 "no Chinese interface font installed: run scripts/deps");
        const auto restore = qScopeGuard([font = QApplication::font(), sheet = qApp->styleSheet()] {
            QApplication::setFont(font);
            qApp->setStyleSheet(sheet);
        });
        const int points = QApplication::font().pointSize();
        QCOMPARE(widgets::SkinH_Attach(), 1);
        const QString family = widgets::interfaceFontFamily();
        QVERIFY(chinese.contains(family));
        QCOMPARE(QFontInfo(QApplication::font()).family(), family);
        QCOMPARE(QApplication::font().pointSize(), points);
        // Widgets made afterwards wear it, and it has every glyph itself.
        QLabel label(QStringLiteral("当前用户:root[系统管理员]"));
        QCOMPARE(QFontInfo(label.font()).family(), family);
        const QRawFont raw = QRawFont::fromFont(label.font(), QFontDatabase::SimplifiedChinese);
        for (const QChar ch : label.text()) QVERIFY2(raw.supportsCharacter(ch), qPrintable(QString(ch)));
    }
    // Every row of a combo box's popup, the current one too, reads under the
    // skin: the login's list of user names once showed its current row blank.
    void comboPopupRowsReadUnderTheSkin() {
        struct Case {
            const char* name;
            bool editable;
            int current;
        };
        const Case cases[] = {
            {"first row current", false, 0},
            {"middle row current", false, 1},
            {"editable", true, 2},
        };
        const QStringList items{QStringLiteral("root"), QStringLiteral("张三"), QStringLiteral("operator")};
        const auto restore = qScopeGuard([before = qApp->styleSheet()] { qApp->setStyleSheet(before); });
        QCOMPARE(widgets::SkinH_Attach(), 1);
        for (const Case& c : cases) {
            QDialog dialog;
            auto* combo = new QComboBox(&dialog);
            combo->setEditable(c.editable);
            QFont large = combo->font();
            large.setPointSize(kLargeTextPoints);
            combo->setFont(large);
            combo->addItems(items);
            combo->setCurrentIndex(c.current);
            (new QVBoxLayout(&dialog))->addWidget(combo);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            combo->showPopup();
            QAbstractItemView* view = combo->view();
            QTRY_VERIFY(view->isVisible());
            QVERIFY(QTest::qWaitForWindowExposed(view->window()));
            const QImage shot = view->viewport()->grab().toImage();
            for (int row = 0; row < items.size(); ++row) {
                const QRect r = view->visualRect(view->model()->index(row, 0)) & shot.rect();
                QVERIFY2(!r.isEmpty(), c.name);
                const int ink = inkPixels(shot.copy(r));
                const int expected = referenceInk(items[row], large, r.size());
                QVERIFY2(expected > 0, c.name);
                // Half the strokes of black on white, whatever the colours.
                QVERIFY2(ink * 2 >= expected, qPrintable(QStringLiteral("%1, row %2: %3 readable pixels of %4")
                                                             .arg(QString::fromUtf8(c.name))
                                                             .arg(row)
                                                             .arg(ink)
                                                             .arg(expected)));
            }
            combo->hidePopup();
        }
    }
};

QTEST_MAIN(WidgetsTest)
#include "widgets_test.moc"

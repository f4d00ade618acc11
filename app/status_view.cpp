#include "app/status_view.h"

#include <QResizeEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include "app/node_data.h"
#include "devices/engine.h"
#include "widgets/artwork.h"
#include "widgets/bitmap_button.h"
#include "widgets/skin.h"

namespace tovanix::app {

namespace {

using widgets::kTileHeight;
using widgets::kTileWidth;

// Regions inside a tile.
const QRect kNameRect(8, 4, 160, 22);
const QPoint kPowerSymbolAt(kTileWidth - widgets::kStatusSymbolSize - 4 - widgets::kPowerSymbolSize - 4, 2);
const QRect kLeftValueRect(10, 40, 110, 66);
const QRect kRightValueRect(130, 40, 110, 66);
const QRect kLeftLabelRect(10, 114, 110, 32);
const QRect kRightLabelRect(130, 114, 110, 32);
constexpr int kNamePoints = 11;
constexpr int kValuePoints = 25;
constexpr int kLabelPoints = 10;
const QColor kValueColour(58, 95, 205);
// Names and labels in the interface's face; the values keep their own.
const QString kValueFace = QStringLiteral("Times New Roman");
constexpr int kWheelStepUnits = 3;
constexpr int kWheelNotch = 120;
constexpr std::uint8_t kHighestStatus = devices::kStatusNotAnswering;

// The pictures are the same for every tile: drawn once.
const QImage& panelPicture(widgets::Panel p) {
    static const std::array<QImage, 4> panels = {
        widgets::statusPanel(widgets::Panel::Normal), widgets::statusPanel(widgets::Panel::Alarm),
        widgets::statusPanel(widgets::Panel::AlarmOver), widgets::statusPanel(widgets::Panel::Stopped)};
    return panels[static_cast<std::size_t>(p)];
}

const QImage& powerPicture(std::uint8_t kind) {
    static const std::array<QImage, 5> symbols = {
        widgets::powerSymbol(widgets::PowerSymbol::Mains), widgets::powerSymbol(widgets::PowerSymbol::BatteryEmpty),
        widgets::powerSymbol(widgets::PowerSymbol::BatteryHalf),
        widgets::powerSymbol(widgets::PowerSymbol::BatteryFull), widgets::powerSymbol(widgets::PowerSymbol::Unknown)};
    const std::size_t i = kind <= devices::kPowerBatteryFull ? std::size_t{kind} : std::size_t{devices::kPowerUnknown};
    return symbols[i];
}

widgets::Panel panelOf(std::uint8_t status) {
    switch (status) {
        case devices::kStatusNormal:
            return widgets::Panel::Normal;
        case devices::kStatusAlarm:
            return widgets::Panel::Alarm;
        case devices::kStatusAlarmOver:
            return widgets::Panel::AlarmOver;
        default:
            return widgets::Panel::Stopped;
    }
}

TileArgs argsOf(const devices::LineEntry& line, const devices::DeviceEntry& d, int position) {
    TileArgs a;
    a.position = position;
    a.code = tileCode(line.lineid, d.address);
    a.name = d.name;
    a.status = d.status;
    a.powerKind = d.powerKind;
    a.ch1 = d.ch1;
    a.ch2 = d.ch2;
    a.probeType = d.probeType;
    return a;
}

}  // namespace

QImage drawTileImage(widgets::TilePainter& painter, const TileArgs& a) {
    // A status outside the known ones brings no picture of its own: the
    // painter draws on the one it still holds.
    if (a.status <= kHighestStatus)
        painter.load(panelPicture(panelOf(a.status)));
    else if (!painter.loaded())
        painter.load(panelPicture(widgets::Panel::Stopped));
    const int centred = Qt::AlignCenter;
    const QString textFace = widgets::interfaceFontFamily();
    painter.drawText(kNameRect, QString::fromStdString(a.name), textFace, kNamePoints, Qt::white,
                     Qt::AlignLeft | Qt::AlignVCenter);
    painter.drawIcon(kPowerSymbolAt, powerPicture(a.powerKind));
    painter.drawText(kLeftValueRect, QString::fromStdString(channelText(a.ch1)), kValueFace, kValuePoints, kValueColour,
                     centred);
    painter.drawText(kRightValueRect, QString::fromStdString(secondChannelText(a.ch2, a.probeType)), kValueFace,
                     kValuePoints, kValueColour, centred);
    const QuantityLabels labels = quantityLabels(a.probeType);
    painter.drawText(kLeftLabelRect, QString::fromStdString(labels.first), textFace, kLabelPoints, Qt::black, centred);
    painter.drawText(kRightLabelRect, QString::fromStdString(labels.second), textFace, kLabelPoints, Qt::black,
                     centred);
    return painter.picture();
}

CCurrentStatus::CCurrentStatus(devices::Engine& engine, QWidget* parent)
    : QWidget(parent), engine_(engine), viewport_(new QWidget(this)), scroll_(new QScrollBar(Qt::Vertical, this)) {
    setObjectName(QStringLiteral("statusView"));
    viewport_->setObjectName(QStringLiteral("tiles"));
    scroll_->setRange(0, 0);
    scroll_->setSingleStep(kScrollLineUnits);
    scroll_->setPageStep(kScrollPageUnits);
    connect(scroll_, &QScrollBar::valueChanged, this, &CCurrentStatus::scrollTo);
    refresh_.setInterval(kRefreshMs);
    connect(&refresh_, &QTimer::timeout, this, &CCurrentStatus::refreshLastRead);
    refresh_.start();
}

void CCurrentStatus::setUpScrolling() {
    updateScrollRange();
    scroll_->setValue(0);
}

void CCurrentStatus::updateScrollRange() {
    int units = 0;
    if (count_ > 0) {
        const int rows = (count_ + columns() - 1) / columns();
        const int needed = (rows - 1) * kTileStepY + kTileHeight;
        const int hidden = needed - viewport_->height();
        // Rounded up, so that the last row shows whole.
        if (hidden > 0) units = (hidden + kScrollUnitPx - 1) / kScrollUnitPx;
    }
    // A shorter range pulls the value back, which scrolls the tiles with it.
    scroll_->setMaximum(units);
}

int CCurrentStatus::clientWidth() const {
    return viewport_->width();
}

int CCurrentStatus::columns() const {
    return std::max(1, clientWidth() / kTileWidth);
}

QRect CCurrentStatus::tileRect(int position) const {
    const int cols = columns();
    return QRect((position % cols) * kTileStepX, (position / cols) * kTileStepY - scrollPos_ * kScrollUnitPx,
                 kTileWidth, kTileHeight);
}

widgets::BitmapButton* CCurrentStatus::tile(int position) const {
    if (position < 0 || position >= kMaxTiles) return nullptr;
    return tiles_[static_cast<std::size_t>(position)].button;
}

int CCurrentStatus::drawCount(int position) const {
    if (position < 0 || position >= kMaxTiles) return 0;
    return tiles_[static_cast<std::size_t>(position)].draws;
}

int CCurrentStatus::scrollPosition() const {
    return scrollPos_;
}
int CCurrentStatus::scrollMaximum() const {
    return scroll_->maximum();
}

void CCurrentStatus::fill(ViewMode mode, unsigned nodeData) {
    mode_ = mode;
    scopeData_ = nodeData;
    for (Tile& t : tiles_) {
        if (t.created) t.button->hide();
    }
    const int lineid = lineOf(nodeData);
    const int roomid = roomOf(nodeData);
    std::vector<TileArgs> drawn = engine_.table().with([&](std::vector<devices::LineEntry>& lines) {
        std::vector<TileArgs> out;
        for (auto& l : lines) {
            for (auto& d : l.devices) d.sequence = 0;
        }
        for (auto& l : lines) {
            if (mode != ViewMode::All && l.lineid != lineid) continue;
            for (auto& d : l.devices) {
                if (mode == ViewMode::Group && d.groupId != roomid) continue;
                // Beyond the last tile a device is not shown.
                if (static_cast<int>(out.size()) >= kMaxTiles) break;
                d.sequence = static_cast<int>(out.size()) + 1;
                out.push_back(argsOf(l, d, static_cast<int>(out.size())));
            }
        }
        return out;
    });
    count_ = static_cast<int>(drawn.size());
    for (const TileArgs& a : drawn) drawTile(a);
    updateScrollRange();
}

void CCurrentStatus::drawTile(const TileArgs& a) {
    if (a.position < 0 || a.position >= kMaxTiles) return;
    Tile& t = tiles_[static_cast<std::size_t>(a.position)];
    if (!t.created) {
        t.button = new widgets::BitmapButton(viewport_);
        t.button->setText(QString::number(a.code));
        t.button->setProperty("controlId", kTileIdBase + a.position);
        t.button->setObjectName(QStringLiteral("tile%1").arg(a.position));
        connect(t.button, &widgets::BitmapButton::clicked, this,
                [this, b = t.button] { emit tileClicked(b->text().toInt()); });
        t.created = true;
    }
    t.button->setText(QString::number(a.code));
    t.button->setPicture(drawTileImage(painter_, a));
    t.button->setGeometry(tileRect(a.position));
    t.button->show();
    t.draws++;
    if (a.position >= count_) {
        count_ = a.position + 1;
        updateScrollRange();
    }
}

void CCurrentStatus::refreshLastRead() {
    const int sequence = engine_.lastRead.exchange(0);
    if (sequence == 0) return;
    std::vector<TileArgs> found = engine_.table().with([&](std::vector<devices::LineEntry>& lines) {
        std::vector<TileArgs> out;
        for (const auto& l : lines) {
            for (const auto& d : l.devices) {
                if (d.sequence == sequence) out.push_back(argsOf(l, d, sequence - 1));
            }
        }
        return out;
    });
    for (const TileArgs& a : found) {
        if (a.position < kMaxTiles && tiles_[static_cast<std::size_t>(a.position)].created) drawTile(a);
    }
}

void CCurrentStatus::redrawDevice(int lineid, int address) {
    auto d = engine_.table().device(lineid, address);
    if (!d || d->sequence <= 0 || d->sequence > kMaxTiles) return;
    auto line = engine_.table().line(lineid);
    if (!line) return;
    if (!tiles_[static_cast<std::size_t>(d->sequence - 1)].created) return;
    drawTile(argsOf(*line, *d, d->sequence - 1));
}

void CCurrentStatus::scrollTo(int value) {
    const int delta = value - scrollPos_;
    if (delta == 0) return;
    scrollPos_ = value;
    viewport_->scroll(0, -delta * kScrollUnitPx);
}

void CCurrentStatus::relayout() {
    for (int i = 0; i < count_; ++i) {
        Tile& t = tiles_[static_cast<std::size_t>(i)];
        if (t.created) t.button->setGeometry(tileRect(i));
    }
}

void CCurrentStatus::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int bar = scroll_->sizeHint().width();
    const int oldColumns = columns();
    scroll_->setGeometry(width() - bar, 0, bar, height());
    viewport_->setGeometry(0, 0, std::max(0, width() - bar), height());
    if (columns() != oldColumns) relayout();
    updateScrollRange();
}

void CCurrentStatus::wheelEvent(QWheelEvent* event) {
    const int notches = event->angleDelta().y() / kWheelNotch;
    if (notches != 0) scroll_->setValue(scroll_->value() - notches * kWheelStepUnits);
    event->accept();
}

}  // namespace tovanix::app

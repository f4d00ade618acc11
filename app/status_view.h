// CCurrentStatus: the status view, a scrolling grid of device tiles.
// Tiles are created on first use and afterwards only moved, redrawn and
// shown or hidden; a fill numbers the devices of the chosen scope, and every
// 200 ms the tile of the device read last is redrawn.
#pragma once

#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

#include "app/tile_content.h"
#include "devices/station_table.h"
#include "widgets/tile_painter.h"

class QScrollBar;

namespace tovanix::devices {
class Engine;
}
namespace tovanix::widgets {
class BitmapButton;
}

namespace tovanix::app {

inline constexpr int kMaxTiles = devices::kMaxDevicesPerLine;
inline constexpr int kTileIdBase = 7000;
inline constexpr int kTileStepX = 252;
inline constexpr int kTileStepY = 160;
inline constexpr int kScrollUnitPx = 10;
inline constexpr int kRefreshMs = 200;
inline constexpr int kScrollLineUnits = 1;
inline constexpr int kScrollPageUnits = 5;

enum class ViewMode { All = 0, Line = 1, Group = 2 };

// The picture of one tile, drawn in memory.
QImage drawTileImage(widgets::TilePainter& painter, const TileArgs& args);

class CCurrentStatus : public QWidget {
    Q_OBJECT
public:
    explicit CCurrentStatus(devices::Engine& engine, QWidget* parent = nullptr);

    // Back to the top. The vertical scroll range reaches as far as the last
    // row of tiles needs in the viewport's height: it follows every fill and
    // resize, and is empty while all tiles fit.
    void setUpScrolling();
    // Numbers the devices of the scope from 1 and draws their tiles from
    // position 0; every other tile is hidden. nodeData names the line or
    // the group.
    void fill(ViewMode mode, unsigned nodeData = 0);
    void refill() { fill(mode_, scopeData_); }
    ViewMode mode() const { return mode_; }
    unsigned scopeData() const { return scopeData_; }

    // One tick of the refresh timer (public for tests and benchmarks).
    void refreshLastRead();
    void drawTile(const TileArgs& args);
    // Redraws the tile of one device if it has one (after a rename).
    void redrawDevice(int lineid, int address);

    int clientWidth() const;
    int columns() const;
    QRect tileRect(int position) const;
    int tileCount() const { return count_; }
    widgets::BitmapButton* tile(int position) const;
    int drawCount(int position) const;
    int scrollPosition() const;
    int scrollMaximum() const;
    QScrollBar* scrollBar() const { return scroll_; }
    QWidget* viewport() const { return viewport_; }

signals:
    // A tile was clicked; its text is the code lineid * 1000 + address.
    void tileClicked(int code);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    struct Tile {
        widgets::BitmapButton* button = nullptr;
        bool created = false;
        int draws = 0;
    };
    void scrollTo(int value);
    void relayout();
    void updateScrollRange();

    devices::Engine& engine_;
    widgets::TilePainter painter_;
    QWidget* viewport_;
    QScrollBar* scroll_;
    QTimer refresh_;
    std::array<Tile, kMaxTiles> tiles_{};
    int count_ = 0;
    int scrollPos_ = 0;
    ViewMode mode_ = ViewMode::All;
    unsigned scopeData_ = 0;
};

}  // namespace tovanix::app

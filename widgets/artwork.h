// The station's own artwork, drawn in code: the tile panels of the four
// device states, the five power symbols, the banner, the program icon and
// the icons of the window's buttons.
#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

namespace tovanix::widgets {

inline constexpr int kTileWidth = 250;
inline constexpr int kTileHeight = 150;
inline constexpr int kPowerSymbolSize = 30;
inline constexpr int kStatusSymbolSize = 32;

enum class Panel {
    Normal,     // green, check mark (status 1)
    Alarm,      // red, warning sign (status 2)
    AlarmOver,  // green, warning sign (status 3)
    Stopped,    // grey, stop sign (status 0 and 4)
};

enum class PowerSymbol { Mains, BatteryEmpty, BatteryHalf, BatteryFull, Unknown };

enum class ButtonIcon { CurrentStatus, SystemConfig, Background, Exit };

// A 250 x 150 tile picture without texts.
QImage statusPanel(Panel panel);
// A 30 x 30 symbol on a transparent background.
QImage powerSymbol(PowerSymbol symbol);
// The title the banner carries in the main window and the login dialog.
inline constexpr const char* kStationTitle = "Tovanix 温湿度监测系统";

// The company banner, with the station's name in it.
QImage banner(int width, int height, const QString& title);
// The logo at the top of every report page: the banner with the program's
// name, shipped beside the program as a PNG file.
inline constexpr int kLogoWidth = 200;
inline constexpr int kLogoHeight = 72;
QImage reportLogo();
QIcon programIcon();
QIcon buttonIcon(ButtonIcon which);

}  // namespace tovanix::widgets

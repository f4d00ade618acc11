// The about box: the program icon, the version line and an OK button.
#pragma once

#include <QDialog>

namespace tovanix::app {

inline constexpr const char* kVersionLine = "Tovanix 1.16 版 build 20141217";

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace tovanix::app

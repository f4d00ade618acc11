// CDeviceAlarm (报警设置): a logger's two channel limits, written to the
// logger through the polling thread.
#pragma once

#include <QWidget>

#include "devices/device_alarm.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTimer;

namespace tovanix {
class Prompter;
}
namespace tovanix::widgets {
class RequestTimer;
}

namespace tovanix::devices {

class Engine;
struct CurrentDevice;

class CDeviceAlarm : public QWidget {
    Q_OBJECT
public:
    CDeviceAlarm(Prompter& prompter, Engine& engine, CurrentDevice& current, QWidget* parent = nullptr);

    // While the settings are read every control is disabled.
    void waitForSettings();
    // The settings were read (or were loaded before): the values, and the
    // controls by the AlarmSetting right. Without settings everything stays
    // disabled.
    void showSettings(bool settingsRead, bool canEdit);
    void closePage();

    QCheckBox* channelCheck(int channel) const { return channel == 1 ? ch1_ : ch2_; }
    QLineEdit* limitEdit(LimitField f) const { return limits_[static_cast<int>(f) - 1]; }
    QLineEdit* typeEdit(int channel) const { return type_[channel - 1]; }
    QLineEdit* unitEdit(int channel) const { return unit_[channel - 1]; }
    QCheckBox* buzzerCheck() const { return buzzer_; }
    QLineEdit* monitorEdit() const { return monitor_; }
    QLineEdit* durationEdit() const { return duration_; }
    QPushButton* setButton() const { return set_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void followChecks();
    void setClicked();
    void buttonReady();

    Prompter& prompter_;
    Engine& engine_;
    CurrentDevice& current_;
    bool canEdit_ = false;
    QCheckBox* ch1_;
    QCheckBox* ch2_;
    QLineEdit* type_[2];
    QLineEdit* unit_[2];
    QLineEdit* limits_[kLimitFields];
    QCheckBox* buzzer_;
    QLineEdit* monitor_;
    QLineEdit* duration_;
    QPushButton* set_;
    widgets::RequestTimer* write_;
    QTimer* progress_;
    int tick_ = 0;
};

}  // namespace tovanix::devices

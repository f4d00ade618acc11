// CSetDevice: the logger settings window, with the pages 基本信息
// (CDeviceInfo), 报警设置 (CDeviceAlarm) and 记录设置 (CDeviceRecord). It
// reads the logger's settings on the binder's settings-read thread when they
// are not loaded yet, showing growing dots in its title meanwhile.
#pragma once

#include <QDialog>
#include <QTimer>
#include <memory>

#include "devices/device_info_page.h"
#include "devices/drive_binding.h"
#include "devices/set_device.h"

class QTabWidget;

namespace tovanix {
class Prompter;
}

namespace tovanix::devices {

class Engine;
class CDeviceAlarm;
class CDeviceRecord;

enum SetDeviceTab { kTabInfoPage = 0, kTabAlarmPage = 1, kTabRecordPage = 2 };

class CSetDevice : public QDialog {
    Q_OBJECT
public:
    CSetDevice(Prompter& prompter, Engine& engine, QWidget* parent = nullptr);
    ~CSetDevice() override;

    // Fills the current device record for the device node and starts the
    // settings read when needed; `canSetAlarms` is the AlarmSetting right.
    // False (after a message) when the device is not there.
    bool load(unsigned deviceNodeData, bool canSetAlarms);
    int exec(unsigned deviceNodeData, bool canSetAlarms);
    void setRenamed(CDeviceInfo::Renamed renamed) { info_->setRenamed(std::move(renamed)); }
    void setRunningChanged(CDeviceInfo::RunningChanged changed) { info_->setRunningChanged(std::move(changed)); }

    const CurrentDevice& current() const { return current_; }
    bool reading() const { return read_ != nullptr; }
    QTabWidget* tabs() const { return tabs_; }
    CDeviceInfo* infoPage() const { return info_; }
    CDeviceAlarm* alarmPage() const { return alarm_; }
    CDeviceRecord* recordPage() const { return record_; }

public slots:
    void done(int result) override;

private:
    // Timer 1: the title while the settings are read, then the pages.
    void tickReading();
    void settingsArrived(bool ok);

    Prompter& prompter_;
    Engine& engine_;
    // Lives as long as the window: its settings-read threads and network
    // jobs are never waited for when the window closes.
    std::unique_ptr<CTovanDeviveDrive> drive_;
    CurrentDevice current_;  // the pages hold a reference
    bool canSetAlarms_ = false;
    std::shared_ptr<const CTovanDeviveDrive::SettingsRead> read_;
    QTimer readingTimer_;
    int tick_ = 0;
    QTabWidget* tabs_;
    CDeviceInfo* info_;
    CDeviceAlarm* alarm_;
    CDeviceRecord* record_;
};

}  // namespace tovanix::devices

#include "devices/set_device_dialog.h"

#include <QTabWidget>
#include <QVBoxLayout>

#include "devices/config_load.h"
#include "devices/device_alarm_page.h"
#include "devices/device_record_page.h"
#include "devices/edit_device.h"
#include "platform/prompter.h"
#include "widgets/artwork.h"
#include "widgets/dialog_buttons.h"

namespace tovanix::devices {

namespace {
QString qs(const std::string& s) {
    return QString::fromStdString(s);
}
}  // namespace

CSetDevice::CSetDevice(Prompter& prompter, Engine& engine, QWidget* parent)
    : QDialog(parent),
      prompter_(prompter),
      engine_(engine),
      drive_(std::make_unique<CTovanDeviveDrive>(engine, &prompter)) {
    setWindowIcon(widgets::programIcon());
    tabs_ = new QTabWidget(this);
    info_ = new CDeviceInfo(prompter_, engine_, *drive_, current_, tabs_);
    alarm_ = new CDeviceAlarm(prompter_, engine_, current_, tabs_);
    record_ = new CDeviceRecord(prompter_, engine_, current_, tabs_);
    tabs_->insertTab(kTabInfoPage, info_, QString::fromUtf8(kTabInfo));
    tabs_->insertTab(kTabAlarmPage, alarm_, QString::fromUtf8(kTabAlarm));
    tabs_->insertTab(kTabRecordPage, record_, QString::fromUtf8(kTabRecord));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addLayout(widgets::closeRow(this));
    connect(&readingTimer_, &QTimer::timeout, this, &CSetDevice::tickReading);
    connect(info_, &CDeviceInfo::renamed, this, [this] {
        setWindowTitle(qs(infoTitle(current_.name)));
        tabs_->setAccessibleName(windowTitle());
        record_->showDevice();
    });
}

CSetDevice::~CSetDevice() = default;

bool CSetDevice::load(unsigned deviceNodeData, bool canSetAlarms) {
    readingTimer_.stop();
    read_.reset();
    canSetAlarms_ = canSetAlarms;
    current_ = loadCurrentDevice(engine_, deviceNodeData);
    if (!current_.found) {
        prompter_.inform(kDeviceMissing, kCaptionInfo);
        return false;
    }
    setWindowTitle(qs(infoTitle(current_.name)));
    tabs_->setAccessibleName(windowTitle());
    info_->showDevice();
    record_->showDevice();
    tabs_->setCurrentIndex(kTabInfoPage);
    if (current_.settingsLoaded) {
        settingsArrived(true);
        return true;
    }
    alarm_->waitForSettings();
    tick_ = 0;
    setWindowTitle(qs(readingTitle(current_.name, tick_)));
    read_ = drive_->startSettingsRead(DeviceRequest{current_.lineid, current_.address});
    readingTimer_.start(kReadingTitleMs);
    return true;
}

int CSetDevice::exec(unsigned deviceNodeData, bool canSetAlarms) {
    if (!load(deviceNodeData, canSetAlarms)) return QDialog::Rejected;
    return QDialog::exec();
}

void CSetDevice::tickReading() {
    if (read_ == nullptr) {
        readingTimer_.stop();
        return;
    }
    if (!read_->done.load()) {
        setWindowTitle(qs(readingTitle(current_.name, ++tick_)));
        return;
    }
    readingTimer_.stop();
    const bool ok = read_->ok.load();
    read_.reset();
    settingsArrived(ok);
}

void CSetDevice::settingsArrived(bool ok) {
    if (ok) {
        // The read wrote the entry and the row: take them again, keeping
        // what the operator may have changed meanwhile on the basic page.
        const CurrentDevice fresh = reloadCurrentDevice(engine_, current_);
        if (fresh.found) current_ = fresh;
    }
    setWindowTitle(qs(ok ? infoTitle(current_.name) : readFailedTitle(current_.name)));
    tabs_->setAccessibleName(windowTitle());
    alarm_->showSettings(ok, canSetAlarms_);
    record_->showDevice();
}

void CSetDevice::done(int result) {
    // The settings-read thread goes on by itself; nobody waits for it.
    readingTimer_.stop();
    read_.reset();
    info_->closePage();
    alarm_->closePage();
    record_->closePage();
    QDialog::done(result);
}

}  // namespace tovanix::devices

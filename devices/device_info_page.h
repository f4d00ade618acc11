// CDeviceInfo (基本信息): the logger's name and address, probe type,
// running state, power and clock synchronisation.
#pragma once

#include <QWidget>
#include <functional>
#include <string>

#include "devices/set_device.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace tovanix {
class Prompter;
}
namespace tovanix::widgets {
class RequestTimer;
}

namespace tovanix::devices {

class Engine;

class CDeviceInfo : public QWidget {
    Q_OBJECT
public:
    // Called after a rename or re-address was stored (line, old address,
    // new address, new name), so the tree and the tiles follow.
    using Renamed = std::function<void(int lineid, int oldAddress, int newAddress, const std::string& name)>;

    CDeviceInfo(Prompter& prompter, Engine& engine, CurrentDevice& current, QWidget* parent = nullptr);
    void setRenamed(Renamed renamed) { renamed_ = std::move(renamed); }

    // Shows the current device record.
    void showDevice();
    // The window closes: requests still followed are dropped.
    void closePage();

    QLineEdit* nameEdit() const { return name_; }
    QLineEdit* addressEdit() const { return address_; }
    QPushButton* renameButton() const { return rename_; }
    QComboBox* probeList() const { return probe_; }
    QPushButton* probeButton() const { return probeApply_; }
    QRadioButton* workingCheck() const { return working_; }
    QRadioButton* stoppedCheck() const { return stopped_; }
    QLineEdit* power1Field() const { return power1_; }
    QLineEdit* power2Field() const { return power2_; }
    QLineEdit* powerKindField() const { return powerKind_; }
    QPushButton* clockButton() const { return clock_; }
    QLineEdit* clockField() const { return clockState_; }

signals:
    void renamed();

private:
    void renameClicked();
    void synchronise();

    Prompter& prompter_;
    Engine& engine_;
    CurrentDevice& current_;
    Renamed renamed_;
    QLineEdit* name_;
    QLineEdit* address_;
    QPushButton* rename_;
    QComboBox* probe_;
    QPushButton* probeApply_;
    QRadioButton* working_;
    QRadioButton* stopped_;
    QLineEdit* power1_;
    QLineEdit* power2_;
    QLineEdit* powerKind_;
    QPushButton* clock_;
    QLineEdit* clockState_;
    widgets::RequestTimer* addressCheck_;
    widgets::RequestTimer* clockSync_;
    QTimer* clockProgress_;  // the dots while the clock is set
    int tick_ = 0;
};

}  // namespace tovanix::devices

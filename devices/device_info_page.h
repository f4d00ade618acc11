// CDeviceInfo (基本信息): the logger's name and address, probe type,
// running state, power and clock synchronisation.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "devices/set_device.h"
#include "widgets/request_timer.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace tovanix {
class Prompter;
}

namespace tovanix::devices {

class Engine;

class CDeviceInfo : public QWidget {
    Q_OBJECT
public:
    // Called after a rename or re-address was stored (line, old address,
    // new address, new name), so the tree and the tiles follow.
    using Renamed = std::function<void(int lineid, int oldAddress, int newAddress, const std::string& name)>;

    // After a network logger was started or stopped (its tree node's colour follows).
    using RunningChanged = std::function<void(int lineid, int address, bool running)>;

    CDeviceInfo(Prompter& prompter, Engine& engine, CTovanDeviveDrive& drive, CurrentDevice& current,
                QWidget* parent = nullptr);
    void setRenamed(Renamed renamed) { renamed_ = std::move(renamed); }
    void setRunningChanged(RunningChanged changed) { runningChanged_ = std::move(changed); }

    // Shows the current device record.
    void showDevice();
    // The window closes: requests to the polling thread are dropped; a
    // network job is followed to its end, which reaches the entry and the
    // tree without messages.
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
    QPushButton* startButton() const { return start_; }
    QPushButton* stopButton() const { return stop_; }
    QLineEdit* stateField() const { return state_; }
    QPushButton* clockButton() const { return clock_; }
    QLineEdit* clockField() const { return clockState_; }

signals:
    void renamed();

private:
    void renameClicked();
    void synchronise();
    void runNetwork(bool start);
    void moveNetworkLogger(const std::string& name, int newAddress);
    // Starts a network job; 启动, 停机 and 修改 stay off until it ends.
    void followNetwork(const CTovanDeviveDrive::NetworkRequest& request,
                       const std::shared_ptr<CTovanDeviveDrive::NetworkResult>& job, widgets::RequestTimer::Done done);
    void networkEnded();
    // Whether the window is open on `device`, so a job's end may show itself.
    bool showing(const CurrentDevice& device) const;
    void showRunning(bool running);

    Prompter& prompter_;
    Engine& engine_;
    CTovanDeviveDrive& drive_;
    CurrentDevice& current_;
    Renamed renamed_;
    RunningChanged runningChanged_;
    QLineEdit* name_;
    QLineEdit* address_;
    QPushButton* rename_;
    QComboBox* probe_;
    QPushButton* probeApply_;
    QRadioButton* working_;
    QRadioButton* stopped_;
    QLineEdit* state_;
    QPushButton* start_;
    QPushButton* stop_;
    QLineEdit* power1_;
    QLineEdit* power2_;
    QLineEdit* powerKind_;
    QPushButton* clock_;
    QLineEdit* clockState_;
    widgets::RequestTimer* addressCheck_;
    widgets::RequestTimer* clockSync_;
    widgets::RequestTimer* network_;  // a start, stop or new address of a network logger
    bool movingAddress_ = false;      // network_ follows a new address
    bool windowClosed_ = false;
    QTimer* clockProgress_;  // the dots while the clock is set
    int tick_ = 0;
};

}  // namespace tovanix::devices

// CSystemData, the "数据中心" tab of the system configuration dialog: the
// back-fill of chosen loggers (0x49B, each job's status followed on a timer)
// and the database backup and restore. CLoadLostRecord, the dialog the
// window shows at start when loggers hold readings the station missed.
#pragma once

#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <ctime>
#include <vector>

#include "devices/messages.h"

class QDateEdit;
class QPushButton;
class QTableWidget;
class QTimeEdit;

namespace tovanix {
class Prompter;
}
namespace tovanix::devices {
class Engine;
}

namespace tovanix::data {

class BackupPanel;

class CSystemData : public QWidget {
    Q_OBJECT
public:
    CSystemData(Prompter& prompter, devices::Engine& engine, QWidget* parent = nullptr);

    // Lists the devices, puts the pickers on the last eight hours and gates
    // the controls by the DatabaseManage right.
    void open(bool canManage);
    // The dialog closes: the timer stops (the polling thread goes on).
    void closePage();

    enum Column { kNumber, kName, kAddress, kLine, kStatus, kDeviceId, kLineId, kColumnCount };
    QTableWidget* deviceList() const { return list_; }
    QPushButton* invertButton() const { return invert_; }
    QPushButton* backfillButton() const { return start_; }
    QDateEdit* startDate() const { return startDate_; }
    QTimeEdit* startTime() const { return startTime_; }
    QDateEdit* endDate() const { return endDate_; }
    QTimeEdit* endTime() const { return endTime_; }
    BackupPanel* backupPanel() const { return backup_; }

private:
    void invert();
    void startBackfill();
    void follow();
    void showStatuses();

    Prompter& prompter_;
    devices::Engine& engine_;
    bool canManage_ = false;
    QTableWidget* list_;
    QPushButton* invert_;
    QPushButton* start_;
    QDateEdit* startDate_;
    QTimeEdit* startTime_;
    QDateEdit* endDate_;
    QTimeEdit* endTime_;
    BackupPanel* backup_;
    QTimer timer_;
    int dots_ = 0;
    std::vector<int> jobRows_;  // the list row of each job
};

class CLoadLostRecord : public QDialog {
    Q_OBJECT
public:
    CLoadLostRecord(Prompter& prompter, devices::Engine& engine, QWidget* parent = nullptr);

    // Opens on the span from the oldest lost record to now and counts down.
    void start(std::time_t oldestLost);

    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    QDateEdit* startDate() const { return startDate_; }
    QTimeEdit* startTime() const { return startTime_; }
    QDateEdit* endDate() const { return endDate_; }
    QTimeEdit* endTime() const { return endTime_; }
    int countdown() const { return countdown_; }

public slots:
    void reject() override;

private:
    void tickCountdown();
    void download();
    void tickDownload();
    void setPickersEnabled(bool on);

    Prompter& prompter_;
    devices::Engine& engine_;
    QDateEdit* startDate_;
    QTimeEdit* startTime_;
    QDateEdit* endDate_;
    QTimeEdit* endTime_;
    QPushButton* ok_;
    QPushButton* cancel_;
    QTimer countdownTimer_;
    QTimer downloadTimer_;
    int countdown_ = 0;
    int dots_ = 0;
    bool downloading_ = false;
};

}  // namespace tovanix::data

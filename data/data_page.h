// CDataManage: the data page of the main window. It shows the stored
// readings of one device: the history list (placed by the window where the
// tree sits), the curve, the alarm rows of the span, the span presets and
// pickers, and the acknowledgement of the device's alarms. Opening a device
// and querying a span run on a worker thread; the page shows progress and a
// newer query cancels the one still running.
#pragma once

#include <QTimer>
#include <QWidget>

#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "data/export.h"
#include "data/history_store.h"
#include "data/station_ack.h"

class QButtonGroup;
class QDateTimeEdit;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTableView;
class QThread;
class QTimeEdit;

namespace tovanix {
class Prompter;
}
namespace tovanix::devices {
class Engine;
}
namespace tovanix::widgets {
class CurveChart;
}
namespace tovanix::alarms {
class CAlarmAck;
}

namespace tovanix::data {

class HistoryModel;
class SpanAlarmModel;

inline constexpr int kProgressPollMs = 50;

class CDataManage : public QWidget {
    Q_OBJECT
public:
    enum class View { Alarm = 0, Curve = 1 };
    enum Span { kSpanWeek = 0, kSpanMonth = 1, kSpanCustom = 2 };

    CDataManage(devices::Engine& engine, Prompter& prompter, QWidget* parent = nullptr);
    ~CDataManage() override;

    // Who acknowledges alarms: whether the logged-in user holds the
    // AlarmAck right, and his name. The window supplies them (the users
    // live beside this folder); without them nobody may.
    struct Operator {
        std::function<bool()> mayAcknowledge;
        std::function<std::string()> name;
    };
    void setOperator(Operator op) { operator_ = std::move(op); }

    // The history list; the main window shows it in the tree's place.
    QTableView* historyView() const { return historyView_; }
    // Column widths of the history list for its width in pixels.
    void sizeHistoryColumns(int width);

    // The window opened a device: the history list is emptied and the device
    // loaded after delayMs (OpenDevice, then the last seven days).
    void openLater(int lineid, int address, int delayMs);
    // QueryHistory for [start, end]; false when start is after end (the
    // lists are emptied). The result arrives with queryFinished.
    bool query(std::time_t start, std::time_t end);
    // "确定" of "数据查询": the span of the four pickers.
    void queryPickers();
    void selectLastWeek();
    void selectLastMonth();
    void showCurveView();
    void showAlarmView();
    void acknowledgeAlarms();
    // ExportData: the listed span to a file of the chosen format (the alarm
    // rows in alarm view). Runs on a worker thread with the progress bar;
    // exportFinished tells how it ended.
    void exportData();
    // Asks for the file to write: the save dialog by default, tests replace
    // it. An empty answer cancels.
    using SavePathAsker =
        std::function<QString(const QString& defaultName, const QString& filter, const QString& suffix)>;
    void setSavePathAsker(SavePathAsker asker) { askSavePath_ = std::move(asker); }
    // Opens a written file when the operator says so (the desktop's viewer).
    void setFileOpener(std::function<void(const QString&)> opener) { openFile_ = std::move(opener); }
    bool exporting() const { return exportJob_ != nullptr; }
    // The statistics of the span the history list shows (for the reports).
    // It reads the span again from the database and waits for it: for a long
    // span a report takes spanEnds() here and runs data::computeStatistics on
    // its own worker thread instead.
    Statistics computeStatistics() const;
    // The table number and the oldest and newest time of the listed span
    // (empty texts when the list is empty).
    struct SpanEnds {
        int tableNumber = 0;
        std::string oldest;
        std::string newest;
    };
    SpanEnds spanEnds() const;

    bool busy() const { return running_ != nullptr; }
    int lineid() const { return lineid_; }
    int address() const { return address_; }
    int probeType() const { return probeType_; }
    View view() const { return view_; }
    const DeviceReportInfo& reportInfo() const { return info_; }
    HistoryModel* historyModel() const { return history_; }
    SpanAlarmModel* alarmModel() const { return alarms_; }
    widgets::CurveChart* chart() const { return chart_; }
    QTableView* alarmView() const { return alarmView_; }
    QLabel* deviceNameLabel() const { return deviceName_; }
    QLabel* countLabel() const { return count_; }
    QLabel* startLabel() const { return dbStart_; }
    QLabel* endLabel() const { return dbEnd_; }
    QProgressBar* progressBar() const { return progress_; }
    QPushButton* queryButton() const { return queryButton_; }
    QPushButton* exportButton() const { return exportButton_; }
    QPushButton* acknowledgeButton() const { return ackButton_; }
    QRadioButton* exportRadio(int format) const { return exportRadios_[format]; }
    QDateTimeEdit* startDate() const { return startDate_; }
    QTimeEdit* startTime() const { return startTime_; }
    QDateTimeEdit* endDate() const { return endDate_; }
    QTimeEdit* endTime() const { return endTime_; }
    alarms::CAlarmAck& acknowledgement() { return *ack_; }

    // The readout and the click of the chart at a widget x of the chart.
    void readoutAt(int chartX);
    void selectRowAt(int chartX);

signals:
    // The opened device's database start and end are shown.
    void endsShown();
    // A device was opened (its table summarised).
    void deviceOpened();
    // QueryHistory ended: 1 when rows were queried, 0 otherwise.
    void queryFinished(int result);
    // An export ended; written is true when the file is there complete.
    void exportFinished(bool written);

private:
    struct Job;
    struct Outcome;
    struct ExportJob;
    void finishExport(const std::shared_ptr<ExportJob>& job);
    QString askSavePathWithDialog(const QString& defaultName, const QString& filter, const QString& suffix);
    void buildLayout();
    void startJob(std::shared_ptr<Job> job);
    void finishJob(const std::shared_ptr<Job>& job, const std::shared_ptr<Outcome>& outcome);
    void applySummary(const TableSummary& summary);
    // The database start and end and the pickers.
    void applyEnds(const TableSummary& summary);
    void applySpan(SpanResult& span, const std::shared_ptr<Outcome>& outcome);
    void clearSpan();
    void setBusy(bool busy);
    void tickProgress();
    void setPickers(std::time_t start, std::time_t end);
    // Index into the readings of the first series' point nearest to x; -1
    // when there is none.
    int readingAt(int chartX) const;

    devices::Engine& engine_;
    Prompter& prompter_;
    StationAck station_;
    Operator operator_;

    int lineid_ = 0;
    int address_ = 0;
    int probeType_ = 0;
    DeviceReportInfo info_;
    View view_ = View::Curve;

    QTimer loadTimer_;      // timer 0: the delayed OpenDevice
    QTimer progressTimer_;
    std::shared_ptr<Job> running_;               // the query shown by the progress bar
    std::shared_ptr<ExportJob> exportJob_;       // the export shown by the progress bar
    QThread* exportWorker_ = nullptr;            // runs it; joined on destruction
    SavePathAsker askSavePath_;
    std::function<void(const QString&)> openFile_;
    // Workers still running with their jobs; cancelled and joined on destruction.
    std::vector<std::pair<QThread*, std::shared_ptr<Job>>> workers_;

    HistoryModel* history_;
    SpanAlarmModel* alarms_;
    QTableView* historyView_;
    QTableView* alarmView_;
    widgets::CurveChart* chart_;
    QStackedWidget* views_;
    QLabel* deviceName_;
    QLabel* count_;
    QLabel* dbStart_;
    QLabel* dbEnd_;
    QProgressBar* progress_;
    QRadioButton* spanRadios_[3];
    QButtonGroup* spanGroup_;
    QDateTimeEdit* startDate_;
    QTimeEdit* startTime_;
    QDateTimeEdit* endDate_;
    QTimeEdit* endTime_;
    QPushButton* queryButton_;
    QRadioButton* exportRadios_[3];
    QPushButton* exportButton_;
    QPushButton* ackButton_;
    QPushButton* curveButton_;
    QPushButton* alarmButton_;
    std::unique_ptr<alarms::CAlarmAck> ack_;
};

}  // namespace tovanix::data

#include "data/data_page.h"

#include <QButtonGroup>
#include <QDateTimeEdit>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStyle>
#include <QTableView>
#include <QThread>
#include <QTimeEdit>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "alarms/alarm_ack_dialog.h"
#include "data/csv_export.h"
#include "data/curve_picture.h"
#include "data/history_model.h"
#include "data/pdf_report.h"
#include "data/history_text.h"
#include "db/data_table.h"
#include "devices/engine.h"
#include "platform/local_time.h"
#include "platform/paths.h"
#include "platform/prompter.h"
#include "widgets/curve_chart.h"

namespace tovanix::data {

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}
QString qs(const char* s) {
    return QString::fromUtf8(s);
}

std::string timeText(std::time_t t) {
    return platform::localDateTime(t);
}

QDateTime dateTimeOf(std::time_t t) {
    return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(t));
}

// Every control is named as the operator reads it.
template <typename W>
W* named(W* w, const QString& name) {
    w->setAccessibleName(name);
    return w;
}

}  // namespace

struct CDataManage::Job {
    bool open = false;  // OpenDevice first, then the span
    int lineid = 0;
    int address = 0;
    int probeType = 0;
    std::string start;
    std::string end;
    QueryControl control;
};

struct CDataManage::ExportJob {
    ExportRequest request;
    QueryControl control;
    ExportOutcome outcome;
};

struct CDataManage::Outcome {
    TableSummary summary;
    SpanResult span;
    ReadingList readings;
    std::vector<QPointF> points[widgets::CurveChart::kSeriesCount];
};

CDataManage::CDataManage(devices::Engine& engine, Prompter& prompter, QWidget* parent)
    : QWidget(parent), engine_(engine), prompter_(prompter), station_(engine) {
    history_ = new HistoryModel(this);
    alarms_ = new SpanAlarmModel(this);
    ack_ = std::make_unique<alarms::CAlarmAck>(prompter_, station_, this);
    buildLayout();
    loadTimer_.setSingleShot(true);
    connect(&loadTimer_, &QTimer::timeout, this, [this] {
        const std::time_t now = std::time(nullptr);
        auto job = std::make_shared<Job>();
        job->open = true;
        job->lineid = lineid_;
        job->address = address_;
        job->start = timeText(now - kWeekSeconds);
        job->end = timeText(now);
        startJob(job);
    });
    progressTimer_.setInterval(kProgressPollMs);
    connect(&progressTimer_, &QTimer::timeout, this, &CDataManage::tickProgress);
    askSavePath_ = [this](const QString& name, const QString& filter, const QString& suffix) {
        return askSavePathWithDialog(name, filter, suffix);
    };
    openFile_ = [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    showCurveView();
}

CDataManage::~CDataManage() {
    for (auto& [thread, job] : workers_) job->control.cancel = true;
    if (exportJob_) exportJob_->control.cancel = true;
    if (exportWorker_ != nullptr) {
        exportWorker_->wait();
        delete exportWorker_;
    }
    for (auto& [thread, job] : workers_) {
        thread->wait();
        delete thread;
    }
}

void CDataManage::buildLayout() {
    // The window moves it to where its tree sits; until then it stays hidden.
    historyView_ = named(new QTableView(this), qs(kHeaderTime));
    historyView_->hide();
    historyView_->setModel(history_);
    historyView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    historyView_->setSelectionMode(QAbstractItemView::SingleSelection);
    historyView_->verticalHeader()->hide();
    historyView_->horizontalHeader()->setStretchLastSection(true);
    // Rows are all alike: no measuring of half a million of them.
    historyView_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    historyView_->setObjectName(QStringLiteral("historyList"));

    // "数据记录"
    auto* records = new QGroupBox(qs(kGroupRecords), this);
    auto* nameCaption = new QLabel(qs(kDeviceNameLabel), records);
    deviceName_ = named(new QLabel(qs(kSelectedDevice), records), qs(kDeviceNameLabel));
    count_ = new QLabel(qs(countText(0)), records);
    progress_ = named(new QProgressBar(records), qs(kGroupRecords));
    progress_->setTextVisible(false);
    dbStart_ = new QLabel(qs(kStartNone), records);
    dbEnd_ = new QLabel(qs(kEndNone), records);
    for (QLabel* l : {nameCaption, count_, dbStart_, dbEnd_}) l->setAccessibleName(l->text());
    auto* recordsLayout = new QGridLayout(records);
    recordsLayout->addWidget(nameCaption, 0, 0);
    recordsLayout->addWidget(deviceName_, 0, 1);
    recordsLayout->addWidget(count_, 1, 0, 1, 2);
    recordsLayout->addWidget(progress_, 2, 0, 1, 2);
    recordsLayout->addWidget(dbStart_, 3, 0, 1, 2);
    recordsLayout->addWidget(dbEnd_, 4, 0, 1, 2);

    // "数据查询"
    auto* queryBox = new QGroupBox(qs(kGroupQuery), this);
    spanGroup_ = new QButtonGroup(this);
    const char* spans[] = {kLastWeek, kLastMonth, kCustom};
    auto* radios = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        spanRadios_[i] = named(new QRadioButton(qs(spans[i]), queryBox), qs(spans[i]));
        spanGroup_->addButton(spanRadios_[i], i);
        radios->addWidget(spanRadios_[i]);
    }
    spanRadios_[kSpanWeek]->setChecked(true);
    connect(spanRadios_[kSpanWeek], &QRadioButton::clicked, this, &CDataManage::selectLastWeek);
    connect(spanRadios_[kSpanMonth], &QRadioButton::clicked, this, &CDataManage::selectLastMonth);
    startDate_ = named(new QDateTimeEdit(queryBox), QStringLiteral("开始日期"));
    startTime_ = named(new QTimeEdit(queryBox), QStringLiteral("开始时间"));
    endDate_ = named(new QDateTimeEdit(queryBox), QStringLiteral("结束日期"));
    endTime_ = named(new QTimeEdit(queryBox), QStringLiteral("结束时间"));
    for (QDateTimeEdit* e : {startDate_, endDate_}) {
        e->setDisplayFormat(qs(kPickerFormat));
        e->setCalendarPopup(true);
    }
    auto* to = new QLabel(qs(kTo), queryBox);
    to->setAccessibleName(to->text());
    queryButton_ = named(new QPushButton(qs(kButtonOk), queryBox), qs(kGroupQuery) + qs(kButtonOk));
    connect(queryButton_, &QPushButton::clicked, this, &CDataManage::queryPickers);
    auto* pickers = new QHBoxLayout;
    pickers->addWidget(startDate_);
    pickers->addWidget(startTime_);
    pickers->addWidget(to);
    pickers->addWidget(endDate_);
    pickers->addWidget(endTime_);
    pickers->addWidget(queryButton_);
    auto* queryLayout = new QVBoxLayout(queryBox);
    queryLayout->addLayout(radios);
    queryLayout->addLayout(pickers);
    curveButton_ = named(new QPushButton(qs(kCurveView), this), qs(kCurveView));
    alarmButton_ = named(new QPushButton(qs(kAlarmView), this), qs(kAlarmView));
    connect(curveButton_, &QPushButton::clicked, this, &CDataManage::showCurveView);
    connect(alarmButton_, &QPushButton::clicked, this, &CDataManage::showAlarmView);
    auto* viewButtons = new QHBoxLayout;
    viewButtons->addWidget(curveButton_);
    viewButtons->addWidget(alarmButton_);
    viewButtons->addStretch();
    auto* queryColumn = new QVBoxLayout;
    queryColumn->addWidget(queryBox);
    queryColumn->addLayout(viewButtons);

    // "导出数据": the export itself follows with the file formats.
    auto* exportBox = new QGroupBox(qs(kGroupExport), this);
    const char* formats[] = {kExportCsv, kExportBmp, kExportPdf};
    auto* exportLayout = new QVBoxLayout(exportBox);
    for (int i = 0; i < 3; ++i) {
        exportRadios_[i] = named(new QRadioButton(qs(formats[i]), exportBox), qs(formats[i]));
        exportLayout->addWidget(exportRadios_[i]);
    }
    exportRadios_[0]->setChecked(true);
    exportButton_ = named(new QPushButton(qs(kButtonOk), exportBox), qs(kGroupExport) + qs(kButtonOk));
    exportLayout->addWidget(exportButton_);
    connect(exportButton_, &QPushButton::clicked, this, &CDataManage::exportData);
    ackButton_ = named(new QPushButton(style()->standardIcon(QStyle::SP_MessageBoxWarning), QString(), this),
                       qs(kAcknowledge));
    ackButton_->setToolTip(qs(kAcknowledge));
    ackButton_->hide();
    connect(ackButton_, &QPushButton::clicked, this, &CDataManage::acknowledgeAlarms);

    auto* top = new QHBoxLayout;
    top->addWidget(records);
    top->addLayout(queryColumn, 1);
    top->addWidget(exportBox);
    top->addWidget(ackButton_, 0, Qt::AlignTop);

    chart_ = new widgets::CurveChart(this);
    chart_->setAxisTitles(qs(kAxisBottom), qs(kAxisLeft));
    chart_->setSeriesTitle(0, qs(kSeriesTemperature));
    chart_->setSeriesTitle(1, qs(kSeriesHumidity));
    chart_->setReadout(qs(kReadoutInitial));
    connect(chart_, &widgets::CurveChart::mouseMoved, this, &CDataManage::readoutAt);
    connect(chart_, &widgets::CurveChart::pressed, this, &CDataManage::selectRowAt);
    alarmView_ = named(new QTableView(this), qs(kAlarmView));
    alarmView_->setModel(alarms_);
    alarmView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    alarmView_->verticalHeader()->hide();
    alarmView_->horizontalHeader()->setStretchLastSection(true);
    views_ = new QStackedWidget(this);
    views_->addWidget(chart_);
    views_->addWidget(alarmView_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(views_, 1);
}

void CDataManage::sizeHistoryColumns(int width) {
    // Half for the time, 9/40 and 1/5 for the two channels.
    historyView_->setColumnWidth(HistoryModel::Time, width / 2);
    historyView_->setColumnWidth(HistoryModel::Channel1, width * 9 / 40);
    historyView_->setColumnWidth(HistoryModel::Channel2, width / 5);
}

void CDataManage::openLater(int lineid, int address, int delayMs) {
    lineid_ = lineid;
    address_ = address;
    if (running_) running_->control.cancel = true;
    history_->clear();
    loadTimer_.start(delayMs);
}

bool CDataManage::query(std::time_t start, std::time_t end) {
    if (running_) running_->control.cancel = true;
    if (start > end) {
        running_.reset();
        clearSpan();
        setBusy(false);
        emit queryFinished(0);
        return false;
    }
    auto job = std::make_shared<Job>();
    job->lineid = lineid_;
    job->address = address_;
    job->start = timeText(start);
    job->end = timeText(end);
    startJob(job);
    return true;
}

void CDataManage::queryPickers() {
    const QDateTime start(startDate_->date(), startTime_->time());
    const QDateTime end(endDate_->date(), endTime_->time());
    query(static_cast<std::time_t>(start.toSecsSinceEpoch()), static_cast<std::time_t>(end.toSecsSinceEpoch()));
}

void CDataManage::startJob(std::shared_ptr<Job> job) {
    // The chart and the lists take the probe type of the device entry.
    if (auto d = engine_.table().device(job->lineid, job->address)) probeType_ = d->probeType;
    job->probeType = probeType_;
    running_ = job;
    setBusy(true);
    auto outcome = std::make_shared<Outcome>();
    QThread* worker = QThread::create([this, job, outcome] {
        if (job->open) {
            outcome->summary = summarizeDevice(job->lineid, job->address, [this, job](const TableSummary& ends) {
                // Shown before the table is counted.
                QMetaObject::invokeMethod(
                    this,
                    [this, job, ends] {
                        if (job == running_) applyEnds(ends);
                    },
                    Qt::QueuedConnection);
            });
        }
        outcome->span = querySpan(db::dataTableNumber(job->lineid, job->address), job->start, job->end, job->control);
        if (outcome->span.result != db::StoreResult::Done) return;
        // The curve's points, oldest at x = 0, built here rather than on the
        // user-interface thread.
        auto readings = std::make_shared<std::vector<Reading>>(std::move(outcome->span.readings));
        const std::size_t n = readings->size();
        const bool second = drawsSecondChannel(job->probeType);
        outcome->points[0].reserve(n);
        if (second) outcome->points[1].reserve(n);
        for (std::size_t i = n; i-- > 0;) {
            const Reading& r = (*readings)[i];
            const double x = static_cast<double>(n - 1 - i);
            if (r.ch1 != kNoReading) outcome->points[0].emplace_back(x, r.ch1);
            if (second && r.ch2 != kNoReading) outcome->points[1].emplace_back(x, r.ch2);
        }
        outcome->readings = std::move(readings);
    });
    workers_.emplace_back(worker, job);
    connect(worker, &QThread::finished, this, [this, worker, job, outcome] {
        std::erase_if(workers_, [worker](const auto& w) { return w.first == worker; });
        worker->deleteLater();
        finishJob(job, outcome);
    });
    worker->start();
}

void CDataManage::finishJob(const std::shared_ptr<Job>& job, const std::shared_ptr<Outcome>& outcome) {
    // A newer query took over: this one's rows are not shown.
    if (job != running_) return;
    running_.reset();
    if (job->open) applySummary(outcome->summary);
    applySpan(outcome->span, outcome);
}

void CDataManage::applySummary(const TableSummary& s) {
    if (s.result == db::StoreResult::ConnectFailed) return;
    // Copied out under the station lock; the label is set after it.
    const bool found = engine_.table().with([&](std::vector<devices::LineEntry>& lines) {
        for (std::size_t l = 0; l < lines.size(); ++l) {
            if (lines[l].lineid != lineid_) continue;
            for (std::size_t d = 0; d < lines[l].devices.size(); ++d) {
                if (lines[l].devices[d].address != address_) continue;
                info_.lineIndex = static_cast<int>(l);
                info_.deviceIndex = static_cast<int>(d);
                info_.lineName = lines[l].name;
                info_.deviceName = lines[l].devices[d].name;
                return true;
            }
        }
        return false;
    });
    // When nothing matches, the previous device's name and indexes remain.
    if (found) deviceName_->setText(qs(info_.deviceName));
    if (s.deviceRow == DeviceRow::StatementFailed) {
        prompter_.inform(kDeviceMissing, kCaptionInfo);
    } else if (s.deviceRow == DeviceRow::Missing) {
        prompter_.inform(kNoDeviceInfo, kCaptionInfo);
    } else {
        const DeviceReportInfo keep = info_;
        info_ = s.info;
        info_.lineName = keep.lineName;
        info_.deviceName = keep.deviceName.empty() ? s.info.deviceName : keep.deviceName;
        info_.lineIndex = keep.lineIndex;
        info_.deviceIndex = keep.deviceIndex;
    }
    info_.lineid = lineid_;
    info_.deviceAddress = address_;
    applyEnds(s);
    count_->setText(qs(countText(s.total)));
    bool unacknowledged = false;
    if (auto d = engine_.table().device(lineid_, address_)) unacknowledged = d->unacknowledged != 0;
    ackButton_->setVisible(s.openAlarms > 0 || unacknowledged);
    emit deviceOpened();
}

void CDataManage::applyEnds(const TableSummary& s) {
    dbStart_->setText(qs(startText(s.first)));
    dbEnd_->setText(qs(endText(s.last)));
    dbStart_->setAccessibleName(dbStart_->text());
    dbEnd_->setAccessibleName(dbEnd_->text());
    const std::time_t now = std::time(nullptr);
    if (s.first.empty()) {
        setPickers(now, now);
    } else {
        setPickers(platform::parseLocalDateTime(s.first).value_or(now), platform::parseLocalDateTime(s.last).value_or(now));
    }
    emit endsShown();
}

void CDataManage::applySpan(SpanResult& span, const std::shared_ptr<Outcome>& outcome) {
    setBusy(false);
    if (span.result != db::StoreResult::Done) {
        emit queryFinished(0);
        return;
    }
    const std::size_t rows = outcome->readings ? outcome->readings->size() : 0;
    history_->setReadings(outcome->readings, probeType_);
    chart_->setSeriesTitle(0, qs(kSeriesTemperature));
    chart_->setSeriesTitle(1, qs(secondSeriesTitle(probeType_)));
    for (int i = 0; i < widgets::CurveChart::kSeriesCount; ++i) chart_->setPoints(i, std::move(outcome->points[i]));
    chart_->resetZoom();
    count_->setText(qs(countText(static_cast<long long>(rows))));
    count_->setAccessibleName(count_->text());
    progress_->setValue(progress_->maximum());
    alarms_->setRows(span.alarmsRead ? std::move(span.alarms) : std::vector<AlarmRow>{});
    emit queryFinished(1);
}

void CDataManage::clearSpan() {
    history_->clear();
    chart_->clear();
    count_->setText(qs(countText(0)));
    count_->setAccessibleName(count_->text());
}

void CDataManage::setBusy(bool busy) {
    queryButton_->setEnabled(!busy);
    exportButton_->setEnabled(!busy && !exportJob_);
    if (busy) {
        progress_->setRange(0, 1);
        progress_->setValue(0);
        progressTimer_.start();
    } else {
        progressTimer_.stop();
    }
}

void CDataManage::tickProgress() {
    const QueryControl* control = running_ ? &running_->control : exportJob_ ? &exportJob_->control : nullptr;
    if (control == nullptr) return;
    progress_->setRange(0, kPermille);
    progress_->setValue(control->permille.load());
}

QString CDataManage::askSavePathWithDialog(const QString& defaultName, const QString& filter, const QString& suffix) {
    QFileDialog dialog(this, QString(), defaultName, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(suffix);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
}

void CDataManage::exportData() {
    if (history_->readings().empty() || exportJob_) return;
    auto job = std::make_shared<ExportJob>();
    ExportRequest& r = job->request;
    if (view_ == View::Alarm) {
        r.format = ExportFormat::Alarms;
    } else if (exportRadios_[1]->isChecked()) {
        r.format = ExportFormat::Bitmap;
    } else if (exportRadios_[2]->isChecked()) {
        r.format = ExportFormat::Pdf;
    } else {
        r.format = ExportFormat::Csv;
    }
    const QDate day = startDate_->date();
    const QTime time = startTime_->time();
    const QString name = qs(defaultExportName(info_.deviceName, r.format == ExportFormat::Alarms, day.year(),
                                              day.month(), day.day(), time.hour(), time.minute()));
    const char* filter = r.format == ExportFormat::Bitmap ? kBmpFilter
                         : r.format == ExportFormat::Pdf  ? kPdfFilter
                                                          : kCsvFilter;
    const char* suffix = r.format == ExportFormat::Bitmap ? "bmp" : r.format == ExportFormat::Pdf ? "pdf" : "csv";
    const QString path = askSavePath_(name, qs(filter), QString::fromLatin1(suffix));
    if (path.isEmpty()) return;

    const SpanEnds ends = spanEnds();
    r.lineid = lineid_;
    r.address = address_;
    r.from = ends.oldest;
    r.to = ends.newest;
    r.path = path.toStdString();
    r.deviceName = info_.deviceName;
    const QDateTime end(endDate_->date(), endTime_->time());
    r.headerTime = end.toString(qs(kPickerFormat)).toStdString();
    r.pictureFormat = pictureFormatOf(r.path);
    r.logoPath = platform::programFolder() + "/" + kLogoFile;
    // The chart draws only on this thread: its picture is taken now, in the
    // size it shows for a bitmap, in the report's size for the PDF.
    if (r.format == ExportFormat::Bitmap || r.format == ExportFormat::Pdf) {
        const bool report = r.format == ExportFormat::Pdf;
        const QSize size = report || chart_->size().isEmpty() ? QSize(kCurveImageWidth, kCurveImageHeight)
                                                             : chart_->size();
        const std::string picture =
            encodePicture(chart_->image(size), report ? "PNG" : r.pictureFormat.c_str());
        r.curve = [picture](const DeviceReportInfo&, const std::vector<ExportRow>&, const char*, bool) {
            return picture;
        };
    }
    exportJob_ = job;
    exportButton_->setEnabled(false);
    progress_->setRange(0, kPermille);
    progress_->setValue(0);
    progressTimer_.start();
    exportWorker_ = QThread::create([job] { job->outcome = runExport(job->request, job->control); });
    connect(exportWorker_, &QThread::finished, this, [this, job] {
        exportWorker_->deleteLater();
        exportWorker_ = nullptr;
        finishExport(job);
    });
    exportWorker_->start();
}

void CDataManage::finishExport(const std::shared_ptr<ExportJob>& job) {
    exportJob_.reset();
    if (!running_) progressTimer_.stop();
    exportButton_->setEnabled(!running_);
    const bool written = job->outcome.status == ExportStatus::Written;
    if (written) {
        progress_->setValue(progress_->maximum());
        if (prompter_.ask(openQuestion(job->request.path), kCaptionInfo, PromptIcon::Warning,
                          PromptButtons::OkCancel) == PromptAnswer::Ok) {
            openFile_(QString::fromStdString(job->request.path));
        }
    } else if (job->outcome.status != ExportStatus::Cancelled) {
        prompter_.inform(exportFailureText(job->outcome, job->request.path), kCaptionInfo, PromptIcon::Warning);
    }
    emit exportFinished(written);
}

void CDataManage::setPickers(std::time_t start, std::time_t end) {
    const QDateTime s = dateTimeOf(start), e = dateTimeOf(end);
    startDate_->setDateTime(s);
    startTime_->setTime(s.time());
    endDate_->setDateTime(e);
    endTime_->setTime(e.time());
}

void CDataManage::selectLastWeek() {
    const std::time_t now = std::time(nullptr);
    setPickers(now - kWeekSeconds, now);
    spanRadios_[kSpanWeek]->setChecked(true);
}

void CDataManage::selectLastMonth() {
    const std::time_t now = std::time(nullptr);
    setPickers(now - kMonthSeconds, now);
    spanRadios_[kSpanMonth]->setChecked(true);
}

void CDataManage::showCurveView() {
    views_->setCurrentWidget(chart_);
    view_ = View::Curve;
    exportRadios_[1]->setEnabled(true);
    exportRadios_[2]->setEnabled(true);
}

void CDataManage::showAlarmView() {
    views_->setCurrentWidget(alarmView_);
    view_ = View::Alarm;
    exportRadios_[1]->setEnabled(false);
    exportRadios_[2]->setEnabled(false);
}

void CDataManage::acknowledgeAlarms() {
    if (!operator_.mayAcknowledge || !operator_.mayAcknowledge()) {
        prompter_.inform(kNoAlarmAckRight, kCaptionInfo);
        return;
    }
    ack_->setDevice(lineid_, address_, operator_.name ? operator_.name() : std::string());
    ack_->exec();
    if (ack_->acknowledged()) ackButton_->hide();
}

CDataManage::SpanEnds CDataManage::spanEnds() const {
    SpanEnds ends;
    ends.tableNumber = db::dataTableNumber(lineid_, address_);
    const auto& readings = history_->readings();
    if (readings.empty()) return ends;
    ends.newest = std::string(readings.front().timeText());
    ends.oldest = std::string(readings.back().timeText());
    return ends;
}

Statistics CDataManage::computeStatistics() const {
    const SpanEnds ends = spanEnds();
    if (ends.newest.empty()) return {};
    return data::computeStatistics(ends.tableNumber, ends.oldest, ends.newest).figures;
}

int CDataManage::readingAt(int chartX) const {
    const double x = chart_->xAtPosition(chartX);
    const double h = std::trunc(x + 0.5);
    if (h < 0) return -1;
    // By x value: with readings skipped as 1000, a point's index among the
    // drawn points is not its reading.
    auto point = chart_->nearestPoint(0, h);
    if (!point) return -1;
    const long long rows = static_cast<long long>(history_->readings().size());
    const long long index = rows - 1 - static_cast<long long>(std::llround(point->x()));
    if (index < 0 || index >= rows) return -1;
    return static_cast<int>(index);
}

void CDataManage::readoutAt(int chartX) {
    const int i = readingAt(chartX);
    if (i < 0) return;
    const Reading& r = history_->readings()[static_cast<std::size_t>(i)];
    chart_->setReadout(qs(readoutText(probeType_, std::string(r.timeText()), r.ch1, r.ch2)));
    chart_->moveCursor(static_cast<double>(history_->readings().size() - 1 - static_cast<std::size_t>(i)));
}

void CDataManage::selectRowAt(int chartX) {
    const int i = readingAt(chartX);
    if (i < 0) return;
    const int row = history_->rowOfTime(history_->readings()[static_cast<std::size_t>(i)].timeText());
    if (row < 0) return;
    const QModelIndex index = history_->index(row, 0);
    historyView_->setFocus();
    historyView_->scrollTo(index);
    historyView_->selectRow(row);
}

}  // namespace tovanix::data

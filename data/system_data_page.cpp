#include "data/system_data_page.h"

#include <QAbstractButton>
#include <QDateEdit>
#include <QLineEdit>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "data/backup_actions.h"
#include "data/backup_dialog.h"
#include "data/system_data.h"
#include "data/system_data_store.h"
#include "devices/engine.h"
#include "platform/format.h"
#include "platform/prompter.h"
#include "widgets/artwork.h"

namespace tovanix::data {

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }
QString qs(const char* s) { return QString::fromUtf8(s); }

QPushButton* button(const char* text, QWidget* parent) {
    auto* b = new QPushButton(qs(text), parent);
    b->setAccessibleName(b->text());
    b->setAutoDefault(false);
    return b;
}

// A date and a time picker after their label, on one row of `grid`.
void pickerRow(QGridLayout* grid, int row, const char* label, QDateEdit*& date, QTimeEdit*& time, QWidget* parent) {
    auto* l = new QLabel(qs(label), parent);
    date = new QDateEdit(parent);
    date->setCalendarPopup(true);
    date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    date->setAccessibleName(l->text());
    time = new QTimeEdit(parent);
    time->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    time->setAccessibleName(l->text());
    l->setBuddy(date);
    // The pickers' inner edits carry the label too.
    for (auto* edit : date->findChildren<QLineEdit*>()) edit->setAccessibleName(l->text());
    for (auto* edit : time->findChildren<QLineEdit*>()) edit->setAccessibleName(l->text());
    grid->addWidget(l, row, 0);
    grid->addWidget(date, row, 1);
    grid->addWidget(time, row, 2);
}

void setPickers(QDateEdit* date, QTimeEdit* time, const QDateTime& at) {
    date->setDate(at.date());
    time->setTime(at.time());
}

std::time_t pickedTime(const QDateEdit* date, const QTimeEdit* time) {
    return static_cast<std::time_t>(QDateTime(date->date(), time->time()).toSecsSinceEpoch());
}

QTableWidgetItem* cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

}  // namespace

CSystemData::CSystemData(Prompter& prompter, devices::Engine& engine, QWidget* parent)
    : QWidget(parent), prompter_(prompter), engine_(engine) {
    auto* backfill = new QGroupBox(qs(kBackfillGroup), this);
    backfill->setAccessibleName(backfill->title());
    list_ = new QTableWidget(0, kColumnCount, backfill);
    list_->setAccessibleName(backfill->title());
    list_->setHorizontalHeaderLabels({qs(kColumnNumber), qs(kColumnName), qs(kColumnAddress), qs(kColumnLine),
                                      qs(kColumnStatus), qs(kColumnDeviceId), qs(kColumnLineId)});
    list_->setColumnHidden(kDeviceId, true);
    list_->setColumnHidden(kLineId, true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setShowGrid(true);
    list_->verticalHeader()->setVisible(false);
    list_->horizontalHeader()->setStretchLastSection(true);
    for (auto* corner : list_->findChildren<QAbstractButton*>()) corner->setAccessibleName(list_->accessibleName());
    invert_ = button(kInvertButton, backfill);
    start_ = button(kButtonOk, backfill);
    auto* pickers = new QGridLayout;
    pickerRow(pickers, 0, kStartLabel, startDate_, startTime_, backfill);
    pickerRow(pickers, 1, kEndLabel, endDate_, endTime_, backfill);
    auto* actions = new QHBoxLayout;
    actions->addWidget(invert_);
    actions->addStretch();
    actions->addLayout(pickers);
    actions->addWidget(start_);
    auto* backfillLayout = new QVBoxLayout(backfill);
    backfillLayout->addWidget(list_, 1);
    backfillLayout->addLayout(actions);

    auto* backupGroup = new QGroupBox(qs(backup::kBackupGroup), this);
    backupGroup->setAccessibleName(backupGroup->title());
    backup_ = new BackupPanel(prompter, backupGroup);
    auto* backupLayout = new QVBoxLayout(backupGroup);
    backupLayout->addWidget(backup_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(backfill, 1);
    layout->addWidget(backupGroup);
    connect(invert_, &QPushButton::clicked, this, &CSystemData::invert);
    connect(start_, &QPushButton::clicked, this, &CSystemData::startBackfill);
    connect(&timer_, &QTimer::timeout, this, &CSystemData::follow);
}

void CSystemData::open(bool canManage) {
    canManage_ = canManage;
    const BackfillDeviceList devices = loadBackfillDevices();
    list_->setRowCount(0);
    jobRows_.clear();
    for (std::size_t i = 0; i < devices.rows.size(); ++i) {
        const BackfillDeviceRow& d = devices.rows[i];
        const int row = static_cast<int>(i);
        list_->insertRow(row);
        auto* number = cell(QString::number(row + 1));
        number->setFlags(number->flags() | Qt::ItemIsUserCheckable);
        number->setCheckState(Qt::Unchecked);
        list_->setItem(row, kNumber, number);
        list_->setItem(row, kName, cell(qs(d.name)));
        list_->setItem(row, kAddress, cell(QString::number(d.address)));
        list_->setItem(row, kLine, cell(qs(d.lineName)));
        list_->setItem(row, kStatus, cell({}));
        list_->setItem(row, kDeviceId, cell(QString::number(d.deviceid)));
        list_->setItem(row, kLineId, cell(QString::number(d.lineid)));
    }
    const QDateTime now = QDateTime::currentDateTime();
    setPickers(endDate_, endTime_, now);
    setPickers(startDate_, startTime_, now.addSecs(-kDefaultSpanSeconds));
    invert_->setEnabled(canManage);
    start_->setEnabled(canManage && engine_.backfill.running() != 1);
    start_->setText(qs(kButtonOk));
    backup_->open(canManage);
}

void CSystemData::closePage() {
    timer_.stop();
}

void CSystemData::invert() {
    for (int row = 0; row < list_->rowCount(); ++row) {
        QTableWidgetItem* item = list_->item(row, kNumber);
        item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
}

void CSystemData::startBackfill() {
    if (engine_.backfill.running() == 1) return;
    std::vector<devices::DeviceRequest> chosen;
    std::vector<int> rows;
    for (int row = 0; row < list_->rowCount(); ++row) {
        if (list_->item(row, kNumber)->checkState() != Qt::Checked) continue;
        // By line and bus address: deviceid is not the address on every line.
        chosen.push_back({list_->item(row, kLineId)->text().toInt(), list_->item(row, kAddress)->text().toInt()});
        rows.push_back(row);
    }
    if (!data::startBackfill(prompter_, engine_, pickedTime(startDate_, startTime_), pickedTime(endDate_, endTime_),
                             chosen)) {
        return;
    }
    for (int row = 0; row < list_->rowCount(); ++row) list_->item(row, kStatus)->setText({});
    jobRows_ = std::move(rows);
    dots_ = 0;
    start_->setText(qs(kDownloading));
    start_->setEnabled(false);
    timer_.start(kBackfillTimerMs);
}

void CSystemData::follow() {
    if (engine_.backfill.running() == 1) {
        dots_ = dots_ >= kBackfillDotsMax ? 0 : dots_ + 1;
        showStatuses();
        return;
    }
    timer_.stop();
    dots_ = 0;
    showStatuses();
    start_->setText(qs(kButtonOk));
    start_->setEnabled(canManage_);
}

void CSystemData::showStatuses() {
    const std::vector<int> statuses = engine_.backfill.statuses();
    for (std::size_t i = 0; i < jobRows_.size() && i < statuses.size(); ++i) {
        if (statuses[i] == devices::kJobWaiting) continue;
        const QString text = qs(backfillStatusText(statuses[i], dots_));
        list_->item(jobRows_[i], kStatus)->setText(text);
    }
}

CLoadLostRecord::CLoadLostRecord(Prompter& prompter, devices::Engine& engine, QWidget* parent)
    : QDialog(parent), prompter_(prompter), engine_(engine) {
    setWindowIcon(widgets::programIcon());
    auto* grid = new QGridLayout;
    pickerRow(grid, 0, kStartLabel, startDate_, startTime_, this);
    pickerRow(grid, 1, kEndLabel, endDate_, endTime_, this);
    ok_ = button(kLostOk, this);
    cancel_ = button(kButtonCancel, this);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok_);
    row->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(row);
    connect(ok_, &QPushButton::clicked, this, &CLoadLostRecord::download);
    connect(cancel_, &QPushButton::clicked, this, &CLoadLostRecord::reject);
    connect(&countdownTimer_, &QTimer::timeout, this, &CLoadLostRecord::tickCountdown);
    connect(&downloadTimer_, &QTimer::timeout, this, &CLoadLostRecord::tickDownload);
}

void CLoadLostRecord::start(std::time_t oldestLost) {
    // From the oldest lost record to now: equal pickers would refuse the
    // automatic start and fetch nothing.
    setPickers(startDate_, startTime_, QDateTime::fromSecsSinceEpoch(oldestLost));
    setPickers(endDate_, endTime_, QDateTime::currentDateTime());
    countdown_ = kLostCountdownSeconds;
    downloading_ = false;
    setPickersEnabled(true);
    ok_->setEnabled(true);
    ok_->setText(qs(kLostOk));
    cancel_->setEnabled(true);
    setWindowTitle(qs(platform::format(kLostCountdown, countdown_)));
    countdownTimer_.start(kLostTimerMs);
}

void CLoadLostRecord::tickCountdown() {
    --countdown_;
    setWindowTitle(qs(platform::format(kLostCountdown, countdown_)));
    if (countdown_ <= 0) download();
}

void CLoadLostRecord::download() {
    countdownTimer_.stop();
    if (!startRecovery(prompter_, engine_, pickedTime(startDate_, startTime_), pickedTime(endDate_, endTime_))) {
        return;
    }
    downloading_ = true;
    setPickersEnabled(false);
    ok_->setEnabled(false);
    ok_->setText(qs(kDownloading));
    cancel_->setEnabled(false);
    setWindowTitle(qs(kLostStartTitle));
    dots_ = 0;
    downloadTimer_.start(kLostTimerMs);
}

void CLoadLostRecord::tickDownload() {
    if (engine_.recoveryFlag.load() == 1) {
        dots_ = dots_ >= kLostDotsMax ? 1 : dots_ + 1;
        setWindowTitle(qs(kLostRunningTitle) + QString(dots_, QLatin1Char('.')));
        return;
    }
    downloadTimer_.stop();
    downloading_ = false;
    setWindowTitle(qs(kLostDoneTitle));
    cancel_->setEnabled(true);
    ok_->setText(qs(kLostOkAgain));
    ok_->setEnabled(true);
    setPickersEnabled(true);
    prompter_.inform(kLostDoneMessage, kCaptionInfo);
}

void CLoadLostRecord::setPickersEnabled(bool on) {
    for (QWidget* w : std::initializer_list<QWidget*>{startDate_, startTime_, endDate_, endTime_}) w->setEnabled(on);
}

void CLoadLostRecord::reject() {
    // The download goes on on the polling thread; the dialog waits for it.
    if (downloading_) return;
    countdownTimer_.stop();
    QDialog::reject();
}

}  // namespace tovanix::data

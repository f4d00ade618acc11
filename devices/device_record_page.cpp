#include "devices/device_record_page.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "devices/device_record.h"
#include "devices/engine.h"
#include "devices/set_device.h"
#include "platform/prompter.h"
#include "widgets/request_timer.h"

namespace tovanix::devices {

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}
QPushButton* applyButton(const char* objectName, QWidget* parent) {
    auto* b = new QPushButton(QString::fromUtf8(kApply), parent);
    b->setObjectName(QString::fromUtf8(objectName));
    b->setAccessibleName(b->text());
    b->setAutoDefault(false);
    return b;
}
QLineEdit* field(QFormLayout* form, const char* label, const char* objectName, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromUtf8(objectName));
    e->setAccessibleName(QString::fromUtf8(label));
    form->addRow(QString::fromUtf8(label), e);
    return e;
}

}  // namespace

CDeviceRecord::CDeviceRecord(Prompter& prompter, Engine& engine, CurrentDevice& current, QWidget* parent)
    : QWidget(parent), prompter_(prompter), engine_(engine), current_(current) {
    auto* recordFrame = new QGroupBox(QString::fromUtf8(kRecordFrame), this);
    auto* recordForm = new QFormLayout;
    current_field_ = field(recordForm, kCurrentInterval, "currentInterval", recordFrame);
    current_field_->setReadOnly(true);
    list_ = new QComboBox(recordFrame);
    list_->setObjectName(QStringLiteral("intervals"));
    list_->setAccessibleName(QString::fromUtf8(kNewInterval));
    recordForm->addRow(QString::fromUtf8(kNewInterval), list_);
    note_ = new QLabel(QString::fromUtf8(kNetworkApplyNote), recordFrame);
    note_->setAccessibleName(note_->text());
    apply_ = applyButton("applyInterval", recordFrame);
    auto* recordLayout = new QVBoxLayout(recordFrame);
    recordLayout->addLayout(recordForm);
    recordLayout->addWidget(note_);
    auto* recordButtons = new QHBoxLayout;
    recordButtons->addStretch();
    recordButtons->addWidget(apply_);
    recordLayout->addLayout(recordButtons);

    auto* updateFrame = new QGroupBox(QString::fromUtf8(kUpdateFrame), this);
    auto* updateForm = new QFormLayout;
    hours_ = field(updateForm, kHoursLabel, "hours", updateFrame);
    minutes_ = field(updateForm, kMinutesLabel, "minutes", updateFrame);
    update_ = applyButton("applyUpdate", updateFrame);
    auto* updateLayout = new QHBoxLayout(updateFrame);
    updateLayout->addLayout(updateForm, 1);
    updateLayout->addWidget(update_, 0, Qt::AlignBottom);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(recordFrame);
    layout->addWidget(updateFrame);
    layout->addStretch();

    write_ = new widgets::RequestTimer(this);
    progress_ = new QTimer(this);
    connect(progress_, &QTimer::timeout, this, [this] { apply_->setText(qs(alarmProgressText(++tick_))); });
    connect(apply_, &QPushButton::clicked, this, &CDeviceRecord::applyInterval);
    connect(list_, &QComboBox::activated, this, [this] {
        if (write_->busy()) return;
        apply_->setText(QString::fromUtf8(kApply));
        apply_->setEnabled(current_.wired);
    });
    connect(update_, &QPushButton::clicked, this, &CDeviceRecord::applyUpdate);
    connect(hours_, &QLineEdit::textEdited, this, &CDeviceRecord::updateEdited);
    connect(minutes_, &QLineEdit::textEdited, this, &CDeviceRecord::updateEdited);
}

void CDeviceRecord::showDevice() {
    list_->clear();
    if (current_.wired) {
        for (const IntervalChoice& c : kWiredIntervals) list_->addItem(QString::fromUtf8(c.text));
        list_->setCurrentIndex(wiredIntervalIndex(current_.recordInterval));
        current_field_->setText(qs(wiredIntervalText(current_.recordInterval)));
    } else {
        for (const char* t : kNetworkIntervals) list_->addItem(QString::fromUtf8(t));
        list_->setCurrentIndex(-1);
        current_field_->setText(qs(networkIntervalText(current_.recordInterval, current_.recordInterUnit)));
    }
    // The polling thread writes wired loggers only; a network logger's
    // interval is shown, not set.
    note_->setVisible(!current_.wired);
    list_->setEnabled(current_.wired);
    if (!write_->busy()) {
        apply_->setText(QString::fromUtf8(kApply));
        apply_->setEnabled(current_.found && current_.wired);
    }
    const int minutes = engine_.updateInterval.load();
    hours_->setText(QString::number(updateHours(minutes)));
    minutes_->setText(QString::number(updateMinutes(minutes)));
    update_->setText(QString::fromUtf8(kApply));
    update_->setEnabled(true);
}

void CDeviceRecord::closePage() {
    write_->cancel();
    progress_->stop();
}

void CDeviceRecord::applyInterval() {
    if (!current_.found || !current_.wired) return;
    const int minutes = wiredIntervalMinutes(list_->currentIndex(), current_.recordInterval);
    apply_->setEnabled(false);
    tick_ = 0;
    write_->follow(intervalWriteRequest(engine_, IntervalRequest{current_.lineid, current_.address, minutes}),
                   kAlarmProgressMs, [this, minutes](widgets::RequestTimer::Step step, int code) {
                       progress_->stop();
                       const PageButton b = reportIntervalWrite(prompter_, step, code);
                       if (step == widgets::RequestTimer::Step::Finished &&
                           (code == kResultDone || code == kResultDatabaseFailed)) {
                           current_.recordInterval = minutes;
                           current_field_->setText(qs(wiredIntervalText(minutes)));
                       }
                       apply_->setText(qs(b.caption));
                       apply_->setEnabled(b.enabled);
                   });
    if (write_->busy()) {
        apply_->setText(qs(alarmProgressText(tick_)));
        progress_->start(kAlarmProgressMs);
    }
}

void CDeviceRecord::applyUpdate() {
    const UpdateOutcome out =
        submitUpdateInterval(prompter_, engine_, hours_->text().toStdString(), minutes_->text().toStdString());
    if (out.stored) {
        update_->setText(QString::fromUtf8(kApplied));
        update_->setEnabled(false);
        return;
    }
    QLineEdit* e = out.focus == UpdateField::Hours ? hours_ : out.focus == UpdateField::Minutes ? minutes_ : nullptr;
    if (e == nullptr) return;
    e->setFocus();
    e->selectAll();
}

void CDeviceRecord::updateEdited() {
    update_->setText(QString::fromUtf8(kApply));
    update_->setEnabled(true);
}

}  // namespace tovanix::devices

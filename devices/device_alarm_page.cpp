#include "devices/device_alarm_page.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "devices/set_device.h"
#include "platform/format.h"
#include "platform/prompter.h"
#include "widgets/request_timer.h"

namespace tovanix::devices {

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}
QString limitText(float v) {
    return QString::number(static_cast<double>(v), 'g', 6);
}
QLineEdit* labelledEdit(QGridLayout* grid, int row, int column, const char* label, const QString& objectName,
                        QWidget* parent) {
    auto* l = new QLabel(QString::fromUtf8(label), parent);
    auto* e = new QLineEdit(parent);
    e->setObjectName(objectName);
    e->setAccessibleName(l->text());
    l->setBuddy(e);
    grid->addWidget(l, row, column);
    grid->addWidget(e, row, column + 1);
    return e;
}

}  // namespace

CDeviceAlarm::CDeviceAlarm(Prompter& prompter, Engine& engine, CurrentDevice& current, QWidget* parent)
    : QWidget(parent), prompter_(prompter), engine_(engine), current_(current) {
    auto* layout = new QVBoxLayout(this);
    QCheckBox* checks[2];
    const char* frames[2] = {kChannel1Frame, kChannel2Frame};
    for (int c = 0; c < 2; ++c) {
        auto* frame = new QGroupBox(QString::fromUtf8(frames[c]), this);
        auto* grid = new QGridLayout(frame);
        const QString n = QString::number(c + 1);
        type_[c] = labelledEdit(grid, 0, 0, kProbeTypeLabel, QStringLiteral("type") + n, frame);
        unit_[c] = labelledEdit(grid, 0, 2, kProbeUnitLabel, QStringLiteral("unit") + n, frame);
        checks[c] = new QCheckBox(QString::fromUtf8(kUpperLabel), frame);
        checks[c]->setObjectName(QStringLiteral("enable") + n);
        checks[c]->setAccessibleName(checks[c]->text());
        auto* upper = new QLineEdit(frame);
        upper->setObjectName(QStringLiteral("upper") + n);
        upper->setAccessibleName(checks[c]->text());
        grid->addWidget(checks[c], 1, 0);
        grid->addWidget(upper, 1, 1);
        limits_[c * 2] = upper;
        limits_[c * 2 + 1] = labelledEdit(grid, 1, 2, kLowerLabel, QStringLiteral("lower") + n, frame);
        layout->addWidget(frame);
    }
    ch1_ = checks[0];
    ch2_ = checks[1];

    auto* buzzerFrame = new QGroupBox(QString::fromUtf8(kBuzzerFrame), this);
    auto* buzzerGrid = new QGridLayout(buzzerFrame);
    buzzer_ = new QCheckBox(QString::fromUtf8(kMonitorInterval), buzzerFrame);
    buzzer_->setObjectName(QStringLiteral("buzzer"));
    buzzer_->setAccessibleName(buzzer_->text());
    monitor_ = new QLineEdit(buzzerFrame);
    monitor_->setObjectName(QStringLiteral("monitor"));
    monitor_->setAccessibleName(buzzer_->text());
    buzzerGrid->addWidget(buzzer_, 0, 0);
    buzzerGrid->addWidget(monitor_, 0, 1);
    buzzerGrid->addWidget(new QLabel(QString::fromUtf8(kMinutesShort), buzzerFrame), 0, 2);
    duration_ = labelledEdit(buzzerGrid, 1, 0, kBuzzerDuration, QStringLiteral("duration"), buzzerFrame);
    buzzerGrid->addWidget(new QLabel(QString::fromUtf8(kSecondsShort), buzzerFrame), 1, 2);
    layout->addWidget(buzzerFrame);

    set_ = new QPushButton(QString::fromUtf8(kSetButton), this);
    set_->setObjectName(QStringLiteral("set"));
    set_->setAccessibleName(QString::fromUtf8(kSetButton));
    set_->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(set_);
    layout->addLayout(buttons);
    layout->addStretch();

    write_ = new widgets::RequestTimer(this);
    progress_ = new QTimer(this);
    connect(progress_, &QTimer::timeout, this, [this] { set_->setText(qs(alarmProgressText(++tick_))); });
    connect(ch1_, &QCheckBox::clicked, this, [this] {
        followChecks();
        buttonReady();
    });
    connect(ch2_, &QCheckBox::clicked, this, [this] {
        followChecks();
        buttonReady();
    });
    for (QLineEdit* e : findChildren<QLineEdit*>()) e->installEventFilter(this);
    connect(set_, &QPushButton::clicked, this, &CDeviceAlarm::setClicked);
    waitForSettings();
}

bool CDeviceAlarm::eventFilter(QObject* watched, QEvent* event) {
    // Coming back to an edit offers the button again.
    if (event->type() == QEvent::FocusIn && canEdit_ && !write_->busy()) buttonReady();
    return QWidget::eventFilter(watched, event);
}

void CDeviceAlarm::buttonReady() {
    set_->setText(QString::fromUtf8(kSetButton));
    set_->setEnabled(canEdit_);
}

void CDeviceAlarm::waitForSettings() {
    canEdit_ = false;
    for (QWidget* w : findChildren<QWidget*>()) {
        if (qobject_cast<QLineEdit*>(w) || qobject_cast<QCheckBox*>(w) || qobject_cast<QPushButton*>(w))
            w->setEnabled(false);
    }
}

void CDeviceAlarm::showSettings(bool settingsRead, bool canEdit) {
    waitForSettings();
    ch1_->setChecked(current_.ch1Enable != 0);
    ch2_->setChecked(current_.ch2Enable != 0);
    type_[0]->setText(qs(current_.ch1Type));
    unit_[0]->setText(qs(current_.ch1Unit));
    type_[1]->setText(qs(current_.ch2Type));
    unit_[1]->setText(qs(current_.ch2Unit));
    const float values[kLimitFields] = {current_.ch1Upper, current_.ch1Lower, current_.ch2Upper, current_.ch2Lower};
    for (int i = 0; i < kLimitFields; ++i) limits_[i]->setText(settingsRead ? limitText(values[i]) : QString());
    buzzer_->setChecked(current_.soundEnable != 0);
    monitor_->setText(QString::number(current_.monitorInter));
    duration_->setText(QString::number(current_.soundDuration));
    set_->setText(QString::fromUtf8(kSetButton));
    // The polling thread writes the limits of wired loggers only.
    canEdit_ = settingsRead && canEdit && current_.wired;
    if (!canEdit_) return;
    ch1_->setEnabled(true);
    ch2_->setEnabled(true);
    followChecks();
    set_->setEnabled(true);
}

void CDeviceAlarm::followChecks() {
    // The buzzer settings are never sent to the logger: they are shown only.
    const bool on[2] = {ch1_->isChecked(), ch2_->isChecked()};
    for (int c = 0; c < 2; ++c) {
        type_[c]->setEnabled(on[c]);
        unit_[c]->setEnabled(on[c]);
        limits_[c * 2]->setEnabled(on[c]);
        limits_[c * 2 + 1]->setEnabled(on[c]);
    }
}

void CDeviceAlarm::closePage() {
    write_->cancel();
    progress_->stop();
}

void CDeviceAlarm::setClicked() {
    AlarmInput in;
    in.ch1Enable = ch1_->isChecked();
    in.ch2Enable = ch2_->isChecked();
    in.ch1Type = type_[0]->text().toStdString();
    in.ch1Unit = unit_[0]->text().toStdString();
    in.ch2Type = type_[1]->text().toStdString();
    in.ch2Unit = unit_[1]->text().toStdString();
    for (int i = 0; i < kLimitFields; ++i) in.limits[i] = limits_[i]->text().toStdString();
    const LimitCheck check = checkLimits(prompter_, in, current_.probeType);
    if (!check.ok) {
        for (int i = 0; i < kLimitFields; ++i) {
            if (check.corrected[i]) limits_[i]->setText(qs(*check.corrected[i]));
        }
        if (check.focus != LimitField::None) {
            QLineEdit* e = limitEdit(check.focus);
            e->setFocus();
            e->selectAll();
        }
        return;
    }
    set_->setText(QString::fromUtf8(kSettingNow));
    if (!linePortOpen(engine_, current_.lineid)) {
        set_->setText(QString::fromUtf8(kSetAgain));
        prompter_.inform(kPortNotOpen, kPortCaption);
        return;
    }
    set_->setEnabled(false);
    tick_ = 0;
    const AlarmWriteRequest request = alarmRequest(current_, in, check.limits);
    write_->follow(alarmWriteRequest(engine_, request), kAlarmProgressMs,
                   [this, request](widgets::RequestTimer::Step step, int code) {
                       progress_->stop();
                       const PageButton b = reportAlarmWrite(prompter_, step, code);
                       if (step == widgets::RequestTimer::Step::Finished && code == kResultDone) {
                           current_.ch1Enable = request.ch1Enable;
                           current_.ch2Enable = request.ch2Enable;
                           current_.ch1Upper = request.ch1Upper;
                           current_.ch1Lower = request.ch1Lower;
                           current_.ch2Upper = request.ch2Upper;
                           current_.ch2Lower = request.ch2Lower;
                           current_.ch1Type = request.ch1Type;
                           current_.ch1Unit = request.ch1Unit;
                           current_.ch2Type = request.ch2Type;
                           current_.ch2Unit = request.ch2Unit;
                       }
                       set_->setText(qs(b.caption));
                       set_->setEnabled(b.enabled);
                   });
    if (write_->busy()) {
        set_->setText(qs(alarmProgressText(tick_)));
        progress_->start(kAlarmProgressMs);
    }
}

}  // namespace tovanix::devices

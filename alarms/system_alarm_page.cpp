#include "alarms/system_alarm_page.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>
#include <set>

#include "alarms/alarm_messages.h"
#include "platform/prompter.h"
#include "widgets/artwork.h"
#include "widgets/request_timer.h"

namespace tovanix::alarms {

namespace {
constexpr int kMaxComNumber = 255;
constexpr int kMaxIntervalMinutes = 9999;
constexpr int kPortTestPollMs = 100;
constexpr int kNumberColumnShare = 1;  // 序号 takes 1/5 of the width, 手机号码 4/5
constexpr int kPhoneColumnShare = 4;

QPushButton* namedButton(const char* caption, QWidget* parent) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setAccessibleName(b->text());
    return b;
}
}  // namespace

CAddPhoneNum::CAddPhoneNum(Prompter& prompter, AlarmConfig& config, QWidget* parent)
    : QDialog(parent), prompter_(prompter), config_(config) {
    setWindowTitle(QString::fromUtf8(kAddPhoneTitle));
    setWindowIcon(widgets::programIcon());
    number_ = new QLineEdit(this);
    number_->setObjectName(QStringLiteral("number"));
    number_->setMaxLength(kPhoneDigits);
    number_->setAccessibleName(windowTitle());
    auto* ok = namedButton(kButtonOk, this);
    ok->setDefault(true);
    auto* cancel = namedButton(kButtonCancel, this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(number_);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &CAddPhoneNum::accept);
    connect(cancel, &QPushButton::clicked, this, &CAddPhoneNum::reject);
}

QString CAddPhoneNum::number() const {
    return number_->text();
}

int CAddPhoneNum::exec() {
    askAgain_ = false;
    number_->setFocus();
    return QDialog::exec();
}

void CAddPhoneNum::accept() {
    switch (submitPhone(prompter_, config_, number_->text().toStdString())) {
    case PhoneSubmit::StayOpen:
        number_->selectAll();
        number_->setFocus();
        return;
    case PhoneSubmit::AskAgain:
        askAgain_ = true;
        reject();
        return;
    case PhoneSubmit::Refused:
        reject();
        return;
    case PhoneSubmit::Added:
        QDialog::accept();
        return;
    }
}

CSystemAlarm::CSystemAlarm(Prompter& prompter, AlarmShared& shared, PostAlarm postAlarm, QWidget* parent,
                           Placement placement)
    : QWidget(parent), prompter_(prompter), shared_(shared), postAlarm_(std::move(postAlarm)), placement_(placement) {
    auto* sirenFrame = new QGroupBox(QString::fromUtf8(kSirenFrame), this);
    sound_ = new QCheckBox(QString::fromUtf8(kEnable), sirenFrame);
    sound_->setObjectName(QStringLiteral("sound"));
    sound_->setAccessibleName(sound_->text());
    boxOff_ = namedButton(kBoxOffButton, sirenFrame);
    auto* sirenRow = new QHBoxLayout(sirenFrame);
    sirenRow->addWidget(sound_);
    sirenRow->addStretch();
    sirenRow->addWidget(boxOff_);

    auto* portFrame = new QGroupBox(QString::fromUtf8(kPortFrame), this);
    auto* comLabel = new QLabel(QString::fromUtf8(kPortLabel), portFrame);
    com_ = new QLineEdit(portFrame);
    com_->setObjectName(QStringLiteral("com"));
    com_->setValidator(new QIntValidator(0, kMaxComNumber, com_));
    com_->setAccessibleName(comLabel->text());
    comLabel->setBuddy(com_);
    confirm_ = namedButton(kConfirmButton, portFrame);
    auto* portRow = new QHBoxLayout(portFrame);
    portRow->addWidget(comLabel);
    portRow->addWidget(com_);
    portRow->addWidget(confirm_);

    auto* smsFrame = new QGroupBox(QString::fromUtf8(kSmsFrame), this);
    gms_ = new QCheckBox(QString::fromUtf8(kEnable), smsFrame);
    gms_->setObjectName(QStringLiteral("gms"));
    gms_->setAccessibleName(gms_->text());
    auto* repeatLabel = new QLabel(QString::fromUtf8(kRepeatLabel), smsFrame);
    interval_ = new QLineEdit(smsFrame);
    interval_->setObjectName(QStringLiteral("interval"));
    interval_->setValidator(new QIntValidator(0, kMaxIntervalMinutes, interval_));
    interval_->setAccessibleName(repeatLabel->text());
    repeatLabel->setBuddy(interval_);
    auto* minutes = new QLabel(QString::fromUtf8(kMinutes), smsFrame);
    phones_ = new QTableWidget(0, 2, smsFrame);
    phones_->setObjectName(QStringLiteral("phones"));
    phones_->setHorizontalHeaderLabels({QString::fromUtf8(kNumberColumn), QString::fromUtf8(kPhoneColumn)});
    phones_->setAccessibleName(QString::fromUtf8(kPhoneColumn));
    phones_->setSelectionBehavior(QAbstractItemView::SelectRows);
    phones_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    phones_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    phones_->setShowGrid(true);
    phones_->verticalHeader()->hide();
    // The corner button selects the whole list: it goes by the list's name.
    for (auto* corner : phones_->findChildren<QAbstractButton*>()) corner->setAccessibleName(phones_->accessibleName());
    phones_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    phones_->horizontalHeader()->setStretchLastSection(true);
    phones_->horizontalHeaderItem(0)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    add_ = namedButton(kAddButton, smsFrame);
    delete_ = namedButton(kDeleteButton, smsFrame);
    auto* smsGrid = new QGridLayout(smsFrame);
    smsGrid->addWidget(gms_, 0, 0);
    smsGrid->addWidget(repeatLabel, 0, 1);
    smsGrid->addWidget(interval_, 0, 2);
    smsGrid->addWidget(minutes, 0, 3);
    smsGrid->addWidget(phones_, 1, 0, 1, 4);
    auto* listButtons = new QVBoxLayout;
    listButtons->addWidget(add_);
    listButtons->addWidget(delete_);
    listButtons->addStretch();
    smsGrid->addLayout(listButtons, 1, 4);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(sirenFrame);
    layout->addWidget(portFrame);
    layout->addWidget(smsFrame);

    addPhone_ = new CAddPhoneNum(prompter_, shared_.config, this);
    portTest_ = new widgets::RequestTimer(this);

    connect(sound_, &QCheckBox::clicked, this, [this](bool on) { saveCheck(AlarmColumn::Sound, on); });
    connect(gms_, &QCheckBox::clicked, this, [this](bool on) { saveCheck(AlarmColumn::Gms, on); });
    connect(interval_, &QLineEdit::textEdited, this, &CSystemAlarm::saveInterval);
    connect(confirm_, &QPushButton::clicked, this, &CSystemAlarm::testPort);
    connect(boxOff_, &QPushButton::clicked, this, [this] {
        switchSirenOff(prompter_, [this] { return postAlarm_ && postAlarm_(kMsgAlarmBoxOff, {}); });
    });
    if (placement_ == Placement::UserPage) {
        connect(com_, &QLineEdit::textEdited, this, [this] {
            if (portTest_->busy() || !com_->isEnabled()) return;
            confirm_->setText(QString::fromUtf8(kConfirmButton));
            confirm_->setEnabled(true);
        });
    }
    connect(add_, &QPushButton::clicked, this, &CSystemAlarm::addNumber);
    connect(delete_, &QPushButton::clicked, this, &CSystemAlarm::deleteNumbers);
}

void CSystemAlarm::open(bool canEdit) {
    portTest_->cancel();
    const AlarmPageView view = openAlarmPage(shared_.config, session_);
    fillPhones(view.phones);
    showSettings(view.settings);
    confirm_->setText(QString::fromUtf8(kConfirmButton));
    for (QWidget* w : {static_cast<QWidget*>(sound_), static_cast<QWidget*>(com_), static_cast<QWidget*>(confirm_),
                       static_cast<QWidget*>(gms_), static_cast<QWidget*>(interval_), static_cast<QWidget*>(add_),
                       static_cast<QWidget*>(delete_)})
        w->setEnabled(canEdit);
    boxOff_->setEnabled(true);
}

void CSystemAlarm::closePage() {
    portTest_->cancel();
}

void CSystemAlarm::showMemory() {
    fillPhones(shared_.config.phones());
    const QString typedCom = com_->text();
    showSettings(shared_.config.settings());
    // A port test under way keeps the number it tests; it settles the edit
    // itself when it ends.
    if (portTest_->busy()) {
        const QSignalBlocker block(com_);
        com_->setText(typedCom);
    }
}

void CSystemAlarm::showSettings(const AlarmDeviceSettings& settings) {
    const QSignalBlocker a(sound_), b(gms_), c(interval_), d(com_);
    interval_->setText(QString::number(settings.gmsTime));
    com_->setText(QString::number(settings.com));
    sound_->setChecked(settings.sound != 0);
    gms_->setChecked(settings.gms != 0);
}

void CSystemAlarm::fillPhones(const std::vector<std::string>& numbers) {
    phones_->setRowCount(0);
    for (const std::string& n : numbers) appendPhone(QString::fromStdString(n));
}

void CSystemAlarm::appendPhone(const QString& number) {
    const int row = phones_->rowCount();
    phones_->insertRow(row);
    auto* index = new QTableWidgetItem(QString::number(row + 1));
    index->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    auto* phone = new QTableWidgetItem(number);
    phone->setTextAlignment(Qt::AlignCenter);
    phones_->setItem(row, 0, index);
    phones_->setItem(row, 1, phone);
    const int width = phones_->viewport()->width();
    phones_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    phones_->setColumnWidth(0, width * kNumberColumnShare / (kNumberColumnShare + kPhoneColumnShare));
    phones_->horizontalHeader()->setStretchLastSection(true);
}

void CSystemAlarm::saveCheck(AlarmColumn column, bool on) {
    if (!saveAlarmSetting(prompter_, shared_.config, session_, column, on ? 1 : 0)) {
        // The check shows what is in force.
        const AlarmDeviceSettings s = shared_.config.settings();
        QCheckBox* box = column == AlarmColumn::Sound ? sound_ : gms_;
        const QSignalBlocker block(box);
        box->setChecked((column == AlarmColumn::Sound ? s.sound : s.gms) != 0);
    }
}

void CSystemAlarm::saveInterval(const QString& text) {
    bool ok = false;
    const int minutes = text.toInt(&ok);
    if (!ok) return;  // an empty edit is no number yet
    saveAlarmSetting(prompter_, shared_.config, session_, AlarmColumn::GmsTime, minutes);
}

void CSystemAlarm::testPort() {
    bool ok = false;
    const int com = com_->text().toInt(&ok);
    if (!ok) {
        portTested(false, com);
        return;
    }
    confirm_->setEnabled(false);
    platform::ResultFollower::Request request;
    request.post = [this, com] { return postAlarm_ && postAlarm_(kMsgPortTest, PortTestRequest{com}); };
    request.code = &shared_.portTestResult;
    request.pending = kPortTestPending;
    request.idle = kPortTestIdle;
    // An alarm job ahead of the test may serve ten numbers: no deadline.
    portTest_->follow(std::move(request), kPortTestPollMs, [this, com](widgets::RequestTimer::Step step, int code) {
        if (step != widgets::RequestTimer::Step::Finished) {
            prompter_.inform(kPortTestNoAnswer, kCaptionInfo);
            confirm_->setEnabled(true);
            return;
        }
        shared_.portTestResult.store(kPortTestIdle);
        portTested(code == kPortTestOpened, com);
    });
}

void CSystemAlarm::portTested(bool opened, int com) {
    const PortConfirmOutcome out = confirmPort(prompter_, shared_.config, session_, com, opened);
    if (out.saved) {
        confirm_->setText(QString::fromUtf8(kConfirmedButton));
        confirm_->setEnabled(false);  // until the page is opened again
        return;
    }
    confirm_->setEnabled(true);
    if (out.restore) {
        com_->setText(QString::number(out.com));
        com_->selectAll();
        com_->setFocus();
    }
}

void CSystemAlarm::addNumber() {
    if (!phoneListHasRoom(prompter_, shared_.config)) return;
    for (;;) {
        addPhone_->numberEdit()->clear();
        if (addPhone_->exec() == QDialog::Accepted) {
            appendPhone(addPhone_->number());
            return;
        }
        if (!addPhone_->askAgain()) return;
    }
}

void CSystemAlarm::deleteNumbers() {
    std::set<int> rows;
    for (const QModelIndex& i : phones_->selectionModel()->selectedRows()) rows.insert(i.row());
    std::vector<std::string> selected;
    for (int r : rows) selected.push_back(phones_->item(r, 1)->text().toStdString());
    if (selected.empty()) return;
    const PhoneDeletion out = deletePhones(prompter_, shared_.config, selected);
    if (out.changed) fillPhones(out.phones);
}

}  // namespace tovanix::alarms

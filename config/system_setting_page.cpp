#include "config/system_setting_page.h"

#include <QCheckBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>

#include "platform/prompter.h"

namespace tovanix::config {

namespace {
// The worker gives up at kConnectTimeout; the page waits a little longer
// for its answer, then gives up itself (a name lookup may hang past it).
constexpr std::chrono::milliseconds kGiveUpMargin{500};

QPushButton* namedButton(const char* caption, QWidget* parent) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setAccessibleName(b->text());
    b->setAutoDefault(false);
    return b;
}

QLineEdit* labelledEdit(QFormLayout* form, const char* label, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setAccessibleName(QString::fromUtf8(label));
    form->addRow(QString::fromUtf8(label), edit);
    return edit;
}
}  // namespace

CSystemSetting::CSystemSetting(Prompter& prompter, QWidget* parent) : QWidget(parent), prompter_(prompter) {
    enable_ = new QCheckBox(QString::fromUtf8(kRemoteEnable), this);
    enable_->setAccessibleName(enable_->text());
    auto* form = new QFormLayout;
    address_ = labelledEdit(form, kRemoteAddressLabel, this);
    address_->setObjectName(QStringLiteral("address"));
    address_->setMaxLength(static_cast<int>(kSystemTextCharacters));
    port_ = labelledEdit(form, kRemotePortLabel, this);
    port_->setObjectName(QStringLiteral("port"));
    port_->setValidator(new QIntValidator(0, kMaxRemotePort, port_));
    modelId_ = labelledEdit(form, kModelIdLabel, this);
    modelId_->setObjectName(QStringLiteral("modelId"));
    modelId_->setMaxLength(static_cast<int>(kModelIdCharacters));
    save_ = namedButton(kRemoteSaveButton, this);
    test_ = namedButton(kRemoteTestButton, this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save_);
    buttons->addWidget(test_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(enable_);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addStretch();

    giveUp_ = new QTimer(this);
    giveUp_->setSingleShot(true);
    connect(giveUp_, &QTimer::timeout, this, [this] { testEnded(pendingTest_, {true, false}); });
    for (QLineEdit* e : {address_, port_, modelId_}) e->installEventFilter(this);
    connect(enable_, &QCheckBox::clicked, this, [this](bool on) {
        followCheck(on);
        markUnsaved();
    });
    connect(save_, &QPushButton::clicked, this, &CSystemSetting::saveNow);
    connect(test_, &QPushButton::clicked, this, &CSystemSetting::startTest);
}

void CSystemSetting::open() {
    closePage();
    const RemoteService r = openRemoteService();
    enable_->setChecked(r.enabled);
    address_->setText(QString::fromStdString(r.address));
    port_->setText(QString::number(r.port));
    modelId_->setText(QString::fromStdString(r.modelId));
    followCheck(r.enabled);
    markUnsaved();
}

void CSystemSetting::closePage() {
    giveUp_->stop();
    pendingTest_ = 0;
    setTestButton(false);
}

RemoteService CSystemSetting::controls() const {
    RemoteService r;
    r.enabled = enable_->isChecked();
    r.address = address_->text().trimmed().toStdString();
    r.port = port_->text().toInt();
    r.modelId = modelId_->text().toStdString();
    return r;
}

void CSystemSetting::followCheck(bool on) {
    for (QWidget* w : {static_cast<QWidget*>(address_), static_cast<QWidget*>(port_),
                       static_cast<QWidget*>(modelId_)})
        w->setEnabled(on);
    test_->setEnabled(on && pendingTest_ == 0);
}

void CSystemSetting::markUnsaved() {
    save_->setText(QString::fromUtf8(kRemoteSaveButton));
    save_->setAccessibleName(save_->text());
    save_->setEnabled(true);
}

void CSystemSetting::saveNow() {
    if (!submitRemoteService(prompter_, controls())) return;
    save_->setText(QString::fromUtf8(kRemoteSavedButton));
    save_->setAccessibleName(save_->text());
    save_->setEnabled(false);
}

void CSystemSetting::startTest() {
    if (pendingTest_ != 0) return;
    const RemoteService remote = controls();
    const std::uint64_t serial = ++testSerial_;
    pendingTest_ = serial;
    setTestButton(true);
    // The worker holds only its own copies: the page may close or go away
    // before it ends, and then its answer is dropped.
    auto result = std::make_shared<platform::TcpProbeResult>();
    QThread* worker = QThread::create([remote, result] { *result = testRemoteConnection(remote); });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    connect(worker, &QThread::finished, this, [this, serial, result] { testEnded(serial, *result); });
    giveUp_->start(kConnectTimeout + kGiveUpMargin);
    worker->start();
}

void CSystemSetting::testEnded(std::uint64_t serial, const platform::TcpProbeResult& result) {
    if (serial == 0 || serial != pendingTest_) return;
    giveUp_->stop();
    pendingTest_ = 0;
    setTestButton(false);
    reportConnectionTest(prompter_, result);
}

void CSystemSetting::setTestButton(bool running) {
    test_->setText(QString::fromUtf8(running ? kRemoteTestingButton : kRemoteTestButton));
    test_->setAccessibleName(test_->text());
    test_->setEnabled(!running && enable_->isChecked());
}

bool CSystemSetting::eventFilter(QObject* watched, QEvent* event) {
    // Focus in an edit: there may be changes to save.
    if (event->type() == QEvent::FocusIn) markUnsaved();
    return QWidget::eventFilter(watched, event);
}

CCompanyInfo::CCompanyInfo(Prompter& prompter, QWidget* parent)
    : QGroupBox(QString::fromUtf8(kCompanyFrame), parent), prompter_(prompter) {
    setAccessibleName(title());
    auto* form = new QFormLayout(this);
    name_ = labelledEdit(form, kCompanyNameLabel, this);
    name_->setObjectName(QStringLiteral("companyName"));
    name_->setMaxLength(static_cast<int>(kSystemTextCharacters));
    url_ = labelledEdit(form, kCompanyUrlLabel, this);
    url_->setObjectName(QStringLiteral("companyUrl"));
    url_->setMaxLength(static_cast<int>(kSystemTextCharacters));
    connect(name_, &QLineEdit::textEdited, this, &CCompanyInfo::saveNow);
    connect(url_, &QLineEdit::textEdited, this, &CCompanyInfo::saveNow);
}

void CCompanyInfo::open(bool canEdit) {
    const SystemRowRead r = readSystemRow();
    name_->setText(QString::fromStdString(r.companyName));
    url_->setText(QString::fromStdString(r.url));
    name_->setEnabled(canEdit);
    url_->setEnabled(canEdit);
}

void CCompanyInfo::saveNow() {
    if (!submitCompanyInfo(prompter_, name_->text().toStdString(), url_->text().toStdString())) return;
    emit companyChanged(name_->text(), url_->text());
}

}  // namespace tovanix::config

#include "devices/device_info_page.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "devices/add_device.h"
#include "devices/engine.h"
#include "platform/prompter.h"

namespace tovanix::devices {

namespace {
constexpr int kClockProgressMs = 200;  // timer 2
constexpr const char* kIdentityFrame = "设备信息";
constexpr const char* kProbeFrame = "探头类型";
constexpr const char* kStateFrame = "运行状态";
constexpr const char* kPowerFrame = "电源";
constexpr const char* kPower1Label = "电压1";
constexpr const char* kPower2Label = "电压2";
constexpr const char* kPowerKindLabel = "电源类型";
constexpr const char* kClockFrame = "时钟";
constexpr const char* kClockStateLabel = "同步状态";

// The messages of a network job that ends after its window closed go to the
// station's log instead of a box nobody asked for.
class LogPrompter : public Prompter {
public:
    explicit LogPrompter(const Engine& engine) : engine_(engine) {}
    PromptAnswer ask(const std::string& text, const std::string& caption, PromptIcon, PromptButtons) override {
        engine_.log(caption + ": " + text);
        return PromptAnswer::Ok;
    }

private:
    const Engine& engine_;
};

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}
QPushButton* namedButton(const char* caption, const char* objectName, QWidget* parent) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QString::fromUtf8(objectName));
    b->setAccessibleName(b->text());
    b->setAutoDefault(false);
    return b;
}
QLineEdit* field(QFormLayout* form, const char* label, const char* objectName, QWidget* parent, bool readOnly) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromUtf8(objectName));
    e->setAccessibleName(QString::fromUtf8(label));
    e->setReadOnly(readOnly);
    form->addRow(QString::fromUtf8(label), e);
    return e;
}
}  // namespace

CDeviceInfo::CDeviceInfo(Prompter& prompter, Engine& engine, CTovanDeviveDrive& drive, CurrentDevice& current,
                         QWidget* parent)
    : QWidget(parent), prompter_(prompter), engine_(engine), drive_(drive), current_(current) {
    auto* identity = new QGroupBox(QString::fromUtf8(kIdentityFrame), this);
    auto* idForm = new QFormLayout;
    name_ = field(idForm, kDeviceNameLabel, "name", identity, false);
    address_ = field(idForm, kDeviceAddressLabel, "address", identity, false);
    rename_ = namedButton(kChange, "rename", identity);
    auto* idLayout = new QHBoxLayout(identity);
    idLayout->addLayout(idForm);
    idLayout->addWidget(rename_, 0, Qt::AlignBottom);

    auto* probeFrame = new QGroupBox(QString::fromUtf8(kProbeFrame), this);
    probe_ = new QComboBox(probeFrame);
    probe_->setObjectName(QStringLiteral("probeType"));
    probe_->setAccessibleName(probeFrame->title());
    for (const char* n : kProbeTypeNames) probe_->addItem(QString::fromUtf8(n));
    probeApply_ = namedButton(kChange, "probeApply", probeFrame);
    auto* probeLayout = new QHBoxLayout(probeFrame);
    probeLayout->addWidget(probe_, 1);
    probeLayout->addWidget(probeApply_);

    auto* stateFrame = new QGroupBox(QString::fromUtf8(kStateFrame), this);
    working_ = new QRadioButton(QString::fromUtf8(kWorking), stateFrame);
    working_->setAccessibleName(working_->text());
    stopped_ = new QRadioButton(QString::fromUtf8(kStopped), stateFrame);
    stopped_->setAccessibleName(stopped_->text());
    // They show the logger's state; the operator does not set it here.
    working_->setEnabled(false);
    stopped_->setEnabled(false);
    auto* stateForm = new QFormLayout;
    state_ = field(stateForm, kStateLabel, "state", stateFrame, true);
    start_ = namedButton(kStartButton, "start", stateFrame);
    stop_ = namedButton(kStopButton, "stop", stateFrame);
    auto* stateLayout = new QHBoxLayout(stateFrame);
    stateLayout->addWidget(working_);
    stateLayout->addWidget(stopped_);
    stateLayout->addLayout(stateForm, 1);
    stateLayout->addWidget(start_);
    stateLayout->addWidget(stop_);

    auto* powerFrame = new QGroupBox(QString::fromUtf8(kPowerFrame), this);
    auto* powerForm = new QFormLayout(powerFrame);
    power1_ = field(powerForm, kPower1Label, "power1", powerFrame, true);
    power2_ = field(powerForm, kPower2Label, "power2", powerFrame, true);
    powerKind_ = field(powerForm, kPowerKindLabel, "powerKind", powerFrame, true);

    auto* clockFrame = new QGroupBox(QString::fromUtf8(kClockFrame), this);
    clock_ = namedButton(kSynchronise, "synchronise", clockFrame);
    clock_->setToolTip(QString::fromUtf8(kSynchroniseHint));
    auto* clockForm = new QFormLayout;
    clockState_ = field(clockForm, kClockStateLabel, "clockState", clockFrame, true);
    auto* clockLayout = new QHBoxLayout(clockFrame);
    clockLayout->addWidget(clock_);
    clockLayout->addLayout(clockForm, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(identity);
    layout->addWidget(probeFrame);
    layout->addWidget(stateFrame);
    layout->addWidget(powerFrame);
    layout->addWidget(clockFrame);
    layout->addStretch();

    addressCheck_ = new widgets::RequestTimer(this);
    clockSync_ = new widgets::RequestTimer(this);
    network_ = new widgets::RequestTimer(this);
    clockProgress_ = new QTimer(this);
    connect(clockProgress_, &QTimer::timeout, this, [this] { clockState_->setText(qs(synchronisingText(++tick_))); });

    connect(rename_, &QPushButton::clicked, this, &CDeviceInfo::renameClicked);
    connect(probeApply_, &QPushButton::clicked, this, [this] {
        if (!submitProbeType(prompter_, engine_, current_, probe_->currentIndex())) return;
        probeApply_->setText(QString::fromUtf8(kChanged));
        probeApply_->setEnabled(false);
    });
    connect(probe_, &QComboBox::activated, this, [this] {
        probeApply_->setText(QString::fromUtf8(kChange));
        probeApply_->setEnabled(true);
    });
    auto editAgain = [this] {
        // A change under way keeps "修改中..." until it ends.
        if (addressCheck_->busy() || movingAddress_) return;
        rename_->setText(QString::fromUtf8(kChange));
        rename_->setEnabled(!network_->busy());
    };
    connect(name_, &QLineEdit::textEdited, this, editAgain);
    connect(address_, &QLineEdit::textEdited, this, editAgain);
    connect(clock_, &QPushButton::clicked, this, &CDeviceInfo::synchronise);
    connect(start_, &QPushButton::clicked, this, [this] { runNetwork(true); });
    connect(stop_, &QPushButton::clicked, this, [this] { runNetwork(false); });
}

void CDeviceInfo::showRunning(bool running) {
    (running ? working_ : stopped_)->setChecked(true);
    state_->setText(QString::fromUtf8(running ? kWorking : kStopped));
}

bool CDeviceInfo::showing(const CurrentDevice& device) const {
    return !windowClosed_ && current_.found && current_.lineid == device.lineid && current_.rowId == device.rowId;
}

void CDeviceInfo::followNetwork(const CTovanDeviveDrive::NetworkRequest& request,
                                const std::shared_ptr<CTovanDeviveDrive::NetworkResult>& job,
                                widgets::RequestTimer::Done done) {
    // One job at a time: a second one on network_ would drop the first one's end.
    start_->setEnabled(false);
    stop_->setEnabled(false);
    rename_->setEnabled(false);
    network_->follow(networkJobRequest(drive_, request, job), kClockProgressMs, std::move(done));
}

void CDeviceInfo::networkEnded() {
    const bool network = current_.found && !current_.wired && !network_->busy();
    start_->setEnabled(network);
    stop_->setEnabled(network);
}

void CDeviceInfo::runNetwork(bool start) {
    state_->setText(QString::fromUtf8(start ? kStarting : kStopping));
    // Each end reads its own result and device: the window may show another
    // device by then.
    auto job = std::make_shared<CTovanDeviveDrive::NetworkResult>();
    CTovanDeviveDrive::NetworkRequest r;
    r.job = start ? CTovanDeviveDrive::NetworkJob::Start : CTovanDeviveDrive::NetworkJob::Stop;
    r.port = current_.port;
    r.address = current_.address;
    followNetwork(r, job, [this, start, job, device = current_](widgets::RequestTimer::Step step, int) mutable {
        const bool shown = showing(device);
        LogPrompter log(engine_);
        Prompter& p = shown ? prompter_ : static_cast<Prompter&>(log);
        const bool running = finishNetworkRun(p, engine_, device, start, step, *job);
        if (runningChanged_ && running == start && step == widgets::RequestTimer::Step::Finished)
            runningChanged_(device.lineid, device.address, running);
        if (shown) {
            current_.running = device.running;
            current_.power1 = device.power1;
            current_.power2 = device.power2;
            current_.powerKind = device.powerKind;
            showRunning(running);
            power1_->setText(qs(voltsText(current_.power1)));
            power2_->setText(qs(voltsText(current_.power2)));
            powerKind_->setText(qs(powerKindText(current_.powerKind)));
        }
        rename_->setEnabled(current_.found && rename_->text() != QString::fromUtf8(kChanged));
        networkEnded();
    });
}

void CDeviceInfo::moveNetworkLogger(const std::string& name, int newAddress) {
    // The receiver moves the logger itself; the binder's job then stores the
    // row and the entry, also when this window closed meanwhile.
    auto job = std::make_shared<CTovanDeviveDrive::NetworkResult>();
    CTovanDeviveDrive::NetworkRequest r;
    r.job = CTovanDeviveDrive::NetworkJob::SetAddress;
    r.port = current_.port;
    r.address = current_.address;
    r.newAddress = newAddress;
    r.lineid = current_.lineid;
    r.rowId = current_.rowId;
    r.name = name;
    movingAddress_ = true;
    followNetwork(r, job, [this, job, name, newAddress, device = current_](widgets::RequestTimer::Step step, int) {
        movingAddress_ = false;
        const bool shown = showing(device);
        LogPrompter log(engine_);
        RenameField focus = RenameField::None;
        const bool moved =
            networkAddressChanged(shown ? prompter_ : static_cast<Prompter&>(log), step, *job, newAddress, &focus);
        // The tree and the tiles follow the row in any case.
        if (moved && renamed_) renamed_(device.lineid, device.address, newAddress, name);
        if (shown && moved) {
            current_.name = name;
            current_.address = newAddress;
            name_->setText(qs(name));
            address_->setText(QString::number(newAddress));
            rename_->setText(QString::fromUtf8(kChanged));
            rename_->setEnabled(false);
            emit renamed();
        } else if (shown) {
            rename_->setText(QString::fromUtf8(kChangeAgain));
            rename_->setEnabled(true);
            if (focus != RenameField::None) {
                QLineEdit* e = focus == RenameField::Name ? name_ : address_;
                e->selectAll();
                e->setFocus();
            }
        } else {
            rename_->setText(QString::fromUtf8(kChange));
            rename_->setEnabled(current_.found);
        }
        networkEnded();
    });
}

void CDeviceInfo::showDevice() {
    name_->setText(qs(current_.name));
    address_->setText(QString::number(current_.address));
    rename_->setText(QString::fromUtf8(kChange));
    probe_->setCurrentIndex(probeTypeIndex(current_.probeType));
    probeApply_->setText(QString::fromUtf8(kChange));
    probeApply_->setEnabled(current_.found);
    windowClosed_ = false;
    showRunning(current_.running);
    // Started and stopped through the receiver of a network line only. A
    // job followed since the window last closed keeps them off until it ends.
    rename_->setEnabled(current_.found && !network_->busy());
    networkEnded();
    power1_->setText(qs(voltsText(current_.power1)));
    power2_->setText(qs(voltsText(current_.power2)));
    powerKind_->setText(qs(powerKindText(current_.powerKind)));
    // The clock is set through the polling thread, which serves wired lines.
    clock_->setEnabled(current_.found && current_.wired && !clockSync_->busy());
    if (!clockSync_->busy()) clockState_->clear();
}

void CDeviceInfo::closePage() {
    addressCheck_->cancel();
    clockSync_->cancel();
    // network_ goes on: the logger changes whether or not anybody watches.
    windowClosed_ = true;
    clockProgress_->stop();
    clockState_->clear();
}

void CDeviceInfo::renameClicked() {
    const std::string name = name_->text().toStdString();
    const RenameCheck check = checkRename(prompter_, current_, name, address_->text().toStdString());
    auto focusOn = [this](RenameField f) {
        QLineEdit* e = f == RenameField::Name ? name_ : f == RenameField::Address ? address_ : nullptr;
        if (e == nullptr) return;
        e->selectAll();
        e->setFocus();
    };
    const int oldAddress = current_.address;
    auto store = [this, name, oldAddress, focusOn](int newAddress) {
        RenameField f = RenameField::None;
        if (!storeRename(prompter_, engine_, current_, name, newAddress, &f)) {
            rename_->setText(QString::fromUtf8(kChangeAgain));
            rename_->setEnabled(true);
            focusOn(f);
            return;
        }
        rename_->setText(QString::fromUtf8(kChanged));
        rename_->setEnabled(false);
        if (renamed_) renamed_(current_.lineid, oldAddress, newAddress, name);
        emit renamed();
    };
    switch (check.step) {
        case RenameStep::Refused:
            focusOn(check.focus);
            return;
        case RenameStep::Store:
            store(check.newAddress);
            return;
        case RenameStep::CheckLogger:
            break;
    }
    rename_->setText(QString::fromUtf8(kChanging));
    rename_->setEnabled(false);
    const int newAddress = check.newAddress;
    if (!current_.wired) {
        moveNetworkLogger(name, newAddress);
        return;
    }
    addressCheck_->follow(addressCheckRequest(engine_, current_.lineid, newAddress), kClockProgressMs,
                          [this, newAddress, store, focusOn](widgets::RequestTimer::Step step, int code) {
                              if (loggerAnswered(prompter_, step, code, newAddress)) {
                                  store(newAddress);
                                  return;
                              }
                              rename_->setText(QString::fromUtf8(kChangeAgain));
                              rename_->setEnabled(true);
                              focusOn(RenameField::Address);
                          });
}

void CDeviceInfo::synchronise() {
    tick_ = 0;
    clock_->setEnabled(false);
    clockState_->setText(qs(synchronisingText(tick_)));
    clockProgress_->start(kClockProgressMs);
    clockSync_->follow(clockSyncRequest(engine_, current_), kClockProgressMs,
                       [this](widgets::RequestTimer::Step step, int code) {
                           clockProgress_->stop();
                           clockState_->clear();
                           reportClockSync(prompter_, step, code);
                           clock_->setEnabled(true);
                       });
}

}  // namespace tovanix::devices

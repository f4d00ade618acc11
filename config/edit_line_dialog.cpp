#include "config/edit_line_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "config/add_line.h"
#include "config/line_form.h"
#include "devices/drive_binding.h"
#include "devices/engine.h"
#include "platform/prompter.h"
#include "widgets/artwork.h"
#include "widgets/request_timer.h"

namespace tovanix::config {

namespace {
constexpr int kTogglePollMs = 100;

QPushButton* makeButton(QWidget* parent, const char* caption) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setAccessibleName(b->text());
    return b;
}
}  // namespace

CEditLine::CEditLine(Prompter& prompter, devices::Engine& engine, QWidget* parent)
    : QDialog(parent), prompter_(prompter), engine_(engine), follower_(new widgets::RequestTimer(this)) {
    setWindowTitle(QString::fromUtf8(kEditLineTitle));
    setWindowIcon(widgets::programIcon());
    auto* nameLabel = new QLabel(QStringLiteral("线路名称"), this);
    name_ = new QLineEdit(this);
    name_->setReadOnly(true);  // renamed in the tree
    name_->setAccessibleName(nameLabel->text());
    nameLabel->setBuddy(name_);
    LineForm form = buildLineForm(this, 1);
    form.layout->addWidget(nameLabel, 0, 0);
    form.layout->addWidget(name_, 0, 1);
    ports_ = form.ports;
    wired_ = form.wired;
    wireless_ = form.wireless;

    change_ = makeButton(this, kChangeLineButton);
    change_->setDefault(true);
    toggle_ = makeButton(this, kClosePortButton);
    auto* exit = makeButton(this, kExitButton);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(change_);
    buttons->addWidget(toggle_);
    buttons->addWidget(exit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form.layout);
    layout->addLayout(buttons);
    connect(change_, &QPushButton::clicked, this, &CEditLine::change);
    connect(toggle_, &QPushButton::clicked, this, &CEditLine::toggle);
    connect(exit, &QPushButton::clicked, this, &CEditLine::reject);
}

CEditLine::~CEditLine() = default;

void CEditLine::load(unsigned lineNodeData, const QString& lineName) {
    fillPorts(ports_);
    name_->setText(lineName);
    state_ = openEditLine(prompter_, engine_, lineNodeData);
    const char* caption = state_.portOpen ? kClosePortButton : kOpenPortButton;
    toggle_->setText(QString::fromUtf8(caption));
    toggle_->setAccessibleName(toggle_->text());
    if (!state_.found) return;
    const int at = ports_->findText(QString::fromStdString(state_.portText));
    if (at >= 0) ports_->setCurrentIndex(at);
    (state_.settings.wired != 0 ? wired_ : wireless_)->setChecked(true);
}

int CEditLine::exec(unsigned lineNodeData, const QString& lineName) {
    load(lineNodeData, lineName);
    const int result = QDialog::exec();
    // The polling thread still acts on a pending toggle; its result code is
    // the engine's, so nothing here needs to wait for it.
    follower_->cancel();
    return result;
}

bool CEditLine::toggleBusy() const {
    return follower_->busy();
}

void CEditLine::change() {
    if (!state_.found) {
        prompter_.inform(kLineMissing, kCaptionInfo);
        return;
    }
    if (!drive_) drive_ = std::make_unique<devices::CTovanDeviveDrive>(engine_, &prompter_);
    ChangeLineInput in;
    in.lineid = state_.lineid;
    in.stored = state_.settings;
    in.portText = ports_->currentText().toStdString();
    in.wired = wired_->isChecked();
    if (submitChangeLine(prompter_, engine_, PortDrivers{drive_->wired(), drive_->tevlib()}, in)) {
        state_.settings.serialPort = parsePortText(in.portText);
        state_.settings.wired = in.wired ? 1 : 0;
    }
}

void CEditLine::toggle() {
    // One request at a time: the entry's flag changes only when it was handled.
    if (!state_.found || follower_->busy()) return;
    PortToggle t = portToggle(engine_, state_.lineid);
    toggle_->setText(QString::fromStdString(t.caption));
    toggle_->setAccessibleName(toggle_->text());
    follower_->follow(std::move(t.request), kTogglePollMs, [this](widgets::RequestTimer::Step, int) {
        // Whatever happened, the caption shows what a click does now.
        auto entry = engine_.table().line(state_.lineid);
        const bool open = entry && entry->portOpen;
        toggle_->setText(QString::fromUtf8(open ? kClosePortButton : kOpenPortButton));
        toggle_->setAccessibleName(toggle_->text());
    });
}

}  // namespace tovanix::config

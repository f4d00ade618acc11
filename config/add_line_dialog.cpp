#include "config/add_line_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "config/add_line.h"
#include "config/line_form.h"
#include "devices/drive_binding.h"
#include "devices/engine.h"
#include "platform/prompter.h"
#include "widgets/artwork.h"
#include "widgets/dialog_buttons.h"

namespace tovanix::config {

namespace {
constexpr int kLineNameMaxLength = 120;  // lineName is VARCHAR(120)
}

CAddLine::CAddLine(Prompter& prompter, devices::Engine& engine, std::function<bool()> deletionClosing,
                   QWidget* parent)
    : QDialog(parent), prompter_(prompter), engine_(engine), deletionClosing_(std::move(deletionClosing)) {
    setWindowTitle(QString::fromUtf8(kAddLineTitle));
    setWindowIcon(widgets::programIcon());
    auto* nameLabel = new QLabel(QStringLiteral("线路名称"), this);
    name_ = new QLineEdit(QString::fromUtf8(kDefaultLineName), this);
    name_->setObjectName(QStringLiteral("name"));
    name_->setMaxLength(kLineNameMaxLength);
    name_->setAccessibleName(nameLabel->text());
    nameLabel->setBuddy(name_);
    LineForm form = buildLineForm(this, 1);
    form.layout->addWidget(nameLabel, 0, 0);
    form.layout->addWidget(name_, 0, 1);
    ports_ = form.ports;
    wired_ = form.wired;
    wireless_ = form.wireless;

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form.layout);
    layout->addLayout(widgets::okCancelRow(this));
}

CAddLine::~CAddLine() = default;

void CAddLine::reload() {
    fillPorts(ports_);
    lineid_ = 0;
}

int CAddLine::exec() {
    reload();
    return QDialog::exec();
}

QString CAddLine::lineName() const {
    return name_->text();
}

void CAddLine::accept() {
    // Bound on first use: the libraries stay loaded while the dialog lives.
    if (!drive_) drive_ = std::make_unique<devices::CTovanDeviveDrive>(engine_, &prompter_);
    AddLineInput in;
    in.name = name_->text().toStdString();
    in.portText = ports_->currentText().toStdString();
    in.wired = wired_->isChecked();
    in.deletionClosing = deletionClosing_ && deletionClosing_();
    const AddLineOutcome out =
        submitAddLine(prompter_, engine_.table(), PortDrivers{drive_->wired(), drive_->tevlib()}, in);
    if (!out.close) return;
    lineid_ = out.lineid;
    QDialog::accept();
}

}  // namespace tovanix::config

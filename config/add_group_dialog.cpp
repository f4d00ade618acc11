#include "config/add_group_dialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "config/add_group.h"
#include "platform/prompter.h"
#include "widgets/artwork.h"

namespace tovanix::config {

namespace {
constexpr int kGroupNameMaxLength = 120;  // RoomName is VARCHAR(120)
}

CAddRoom::CAddRoom(Prompter& prompter, devices::StationTable& table, QWidget* parent)
    : QDialog(parent), prompter_(prompter), table_(table) {
    setWindowTitle(QString::fromUtf8(kAddGroupTitle));
    setWindowIcon(widgets::programIcon());
    auto* frame = new QGroupBox(QString::fromUtf8(kGroupFrame), this);
    name_ = new QLineEdit(QString::fromUtf8(kDefaultGroupName), frame);
    name_->setObjectName(QStringLiteral("name"));
    name_->setMaxLength(kGroupNameMaxLength);
    name_->setAccessibleName(frame->title());
    auto* inFrame = new QVBoxLayout(frame);
    inFrame->addWidget(name_);
    auto* ok = new QPushButton(QString::fromUtf8(kButtonOk), this);
    ok->setDefault(true);
    ok->setAccessibleName(ok->text());
    auto* cancel = new QPushButton(QString::fromUtf8(kButtonCancel), this);
    cancel->setAccessibleName(cancel->text());
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &CAddRoom::accept);
    connect(cancel, &QPushButton::clicked, this, &CAddRoom::reject);
}

int CAddRoom::exec(unsigned lineNodeData) {
    lineNode_ = lineNodeData;
    roomid_ = 0;
    return QDialog::exec();
}

QString CAddRoom::groupName() const {
    return name_->text();
}

void CAddRoom::accept() {
    const AddGroupOutcome out = submitAddGroup(prompter_, table_, lineNode_, name_->text().toStdString());
    if (out.close) {
        roomid_ = out.roomid;
        QDialog::accept();
        return;
    }
    if (out.focusName) {
        name_->selectAll();
        name_->setFocus();
    }
}

}  // namespace tovanix::config

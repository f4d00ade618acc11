#include "config/add_group_dialog.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

#include "config/add_group.h"
#include "platform/prompter.h"
#include "widgets/artwork.h"
#include "widgets/dialog_buttons.h"

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
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(widgets::okCancelRow(this));
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

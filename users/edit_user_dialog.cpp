#include "users/edit_user_dialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "db/defaults.h"
#include "users/current_user.h"
#include "users/edit_user.h"
#include "widgets/artwork.h"
#include "platform/prompter.h"

namespace tovanix::users {

namespace {
constexpr int kNameMaxLength = 16;  // User_Name is char(16)
constexpr int kPasswordMaxLength = 41;

QLineEdit* passwordField(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromUtf8(name));
    e->setEchoMode(QLineEdit::Password);
    e->setMaxLength(kPasswordMaxLength);
    return e;
}
}  // namespace

CEditUser::CEditUser(Prompter& prompter, QWidget* parent) : QDialog(parent), prompter_(prompter) {
    setWindowTitle(QString::fromUtf8(kEditUserTitle));
    setWindowIcon(widgets::programIcon());
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("name"));
    name_->setMaxLength(kNameMaxLength);
    oldPassword_ = passwordField(this, "oldPassword");
    newPassword_ = passwordField(this, "newPassword");
    repeat_ = passwordField(this, "repeatPassword");
    auto* ok = new QPushButton(QString::fromUtf8(kButtonOk), this);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QString::fromUtf8(kButtonCancel), this);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("用户名"), name_);
    form->addRow(QStringLiteral("原密码"), oldPassword_);
    form->addRow(QStringLiteral("新密码"), newPassword_);
    form->addRow(QStringLiteral("重复密码"), repeat_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &CEditUser::accept);
    connect(cancel, &QPushButton::clicked, this, &CEditUser::reject);
}

void CEditUser::reload() {
    const CurrentUser me = current();
    name_->setText(QString::fromStdString(me.name));
    name_->setEnabled(me.name != db::kRootUser);
    oldPassword_->clear();
    newPassword_->clear();
    repeat_->clear();
}

int CEditUser::exec() {
    reload();
    return QDialog::exec();
}

void CEditUser::accept() {
    EditUserInput in;
    in.name = name_->text().toStdString();
    in.oldPassword = oldPassword_->text().toStdString();
    in.newPassword = newPassword_->text().toStdString();
    in.repeatPassword = repeat_->text().toStdString();
    const EditUserOutcome out = submitEditUser(prompter_, in);
    if (out.close) {
        QDialog::accept();
        return;
    }
    QLineEdit* focus = nullptr;
    switch (out.focus) {
        case EditField::Name:
            focus = name_;
            break;
        case EditField::OldPassword:
            focus = oldPassword_;
            break;
        case EditField::NewPassword:
            focus = newPassword_;
            break;
        case EditField::None:
            break;
    }
    if (focus != nullptr) {
        focus->selectAll();
        focus->setFocus();
    }
}

}  // namespace tovanix::users

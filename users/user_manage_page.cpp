#include "users/user_manage_page.h"

#include <QCheckBox>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/prompter.h"
#include "widgets/artwork.h"

namespace tovanix::users {

namespace {
constexpr int kUserIdRole = Qt::UserRole;
constexpr int kRightColumns = 2;

QPushButton* namedButton(const char* caption, QWidget* parent) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setAccessibleName(b->text());
    b->setAutoDefault(false);
    return b;
}

// An edit with its label in a form; hidden characters for passwords.
QLineEdit* labelledEdit(QFormLayout* form, const char* label, bool password, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    if (password) edit->setEchoMode(QLineEdit::Password);
    edit->setAccessibleName(QString::fromUtf8(label));
    form->addRow(QString::fromUtf8(label), edit);
    return edit;
}

void focusField(UserField f, QLineEdit* name, QLineEdit* first, QLineEdit* second) {
    QLineEdit* e = f == UserField::Name ? name
                   : f == UserField::Password || f == UserField::OldPassword ? first
                   : f == UserField::Confirm || f == UserField::NewPassword ? second
                                                                          : nullptr;
    if (e == nullptr) return;
    e->selectAll();
    e->setFocus();
}
}  // namespace

CUserAdd::CUserAdd(Prompter& prompter, QWidget* parent) : QDialog(parent), prompter_(prompter) {
    setWindowTitle(QString::fromUtf8(kAddUserTitle));
    setWindowIcon(widgets::programIcon());
    auto* form = new QFormLayout;
    name_ = labelledEdit(form, kUserNameLabel, false, this);
    name_->setObjectName(QStringLiteral("name"));
    password_ = labelledEdit(form, kPasswordLabel, true, this);
    password_->setObjectName(QStringLiteral("password"));
    confirm_ = labelledEdit(form, kConfirmPasswordLabel, true, this);
    confirm_->setObjectName(QStringLiteral("confirm"));
    user_ = new QRadioButton(QString::fromUtf8(kLevelUser), this);
    user_->setAccessibleName(user_->text());
    guest_ = new QRadioButton(QString::fromUtf8(kLevelGuest), this);
    guest_->setAccessibleName(guest_->text());
    auto* levels = new QHBoxLayout;
    levels->addWidget(user_);
    levels->addWidget(guest_);
    auto* ok = namedButton(kButtonOk, this);
    ok->setDefault(true);
    auto* cancel = namedButton(kButtonCancel, this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(levels);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &CUserAdd::accept);
    connect(cancel, &QPushButton::clicked, this, &CUserAdd::reject);
}

int CUserAdd::exec() {
    name_->clear();
    password_->clear();
    confirm_->clear();
    user_->setChecked(true);
    name_->setFocus();
    return QDialog::exec();
}

QString CUserAdd::userName() const {
    return name_->text();
}

void CUserAdd::accept() {
    const AddUserOutcome out = submitAddUser(prompter_, name_->text().toStdString(), password_->text().toStdString(),
                                             confirm_->text().toStdString(), user_->isChecked() ? 1 : 0);
    if (out.close) {
        QDialog::accept();
        return;
    }
    focusField(out.focus, name_, password_, confirm_);
}

CUserManage::CUserManage(Prompter& prompter, QWidget* parent) : QWidget(parent), prompter_(prompter) {
    users_ = new QListWidget(this);
    users_->setObjectName(QStringLiteral("users"));
    users_->setAccessibleName(QString::fromUtf8(kUserNameLabel));
    users_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    add_ = namedButton(kAddUserButton, this);
    delete_ = namedButton(kDeleteUserButton, this);
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(add_);
    listButtons->addWidget(delete_);
    auto* listColumn = new QVBoxLayout;
    listColumn->addWidget(users_);
    listColumn->addLayout(listButtons);

    auto* rightsFrame = new QGroupBox(QString::fromUtf8(kRightsFrame), this);
    levelUser_ = new QRadioButton(QString::fromUtf8(kLevelUser), rightsFrame);
    levelUser_->setAccessibleName(levelUser_->text());
    levelGuest_ = new QRadioButton(QString::fromUtf8(kLevelGuest), rightsFrame);
    levelGuest_->setAccessibleName(levelGuest_->text());
    auto* rightsGrid = new QGridLayout(rightsFrame);
    rightsGrid->addWidget(levelUser_, 0, 0);
    rightsGrid->addWidget(levelGuest_, 0, 1);
    for (int i = 0; i < static_cast<int>(rights_.size()); ++i) {
        rights_[i] = new QCheckBox(QString::fromUtf8(kRightCaptions[i]), rightsFrame);
        rights_[i]->setAccessibleName(rights_[i]->text());
        rightsGrid->addWidget(rights_[i], 1 + i / kRightColumns, i % kRightColumns);
        connect(rights_[i], &QCheckBox::clicked, this, &CUserManage::saveRightsNow);
    }
    rightsApply_ = namedButton(kApplyButton, rightsFrame);
    rightsGrid->addWidget(rightsApply_, 1 + static_cast<int>(rights_.size()) / kRightColumns, 1);

    auto* passwordFrame = new QGroupBox(QString::fromUtf8(kPasswordFrame), this);
    auto* form = new QFormLayout(passwordFrame);
    oldPassword_ = labelledEdit(form, kOldPasswordLabel, true, passwordFrame);
    newPassword_ = labelledEdit(form, kNewPasswordLabel, true, passwordFrame);
    repeat_ = labelledEdit(form, kRepeatPasswordLabel, true, passwordFrame);
    passwordApply_ = namedButton(kApplyButton, passwordFrame);
    form->addRow(passwordApply_);
    for (QLineEdit* e : {oldPassword_, newPassword_, repeat_}) e->installEventFilter(this);

    auto* right = new QVBoxLayout;
    right->addWidget(rightsFrame);
    right->addWidget(passwordFrame);
    right->addStretch();
    sections_ = new QVBoxLayout;
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(listColumn);
    layout->addLayout(right);
    layout->addLayout(sections_);

    addDialog_ = new CUserAdd(prompter_, this);
    connect(add_, &QPushButton::clicked, this, &CUserManage::addUser);
    connect(delete_, &QPushButton::clicked, this, &CUserManage::deleteSelected);
    connect(users_, &QListWidget::itemClicked, this, &CUserManage::userClicked);
    connect(levelUser_, &QRadioButton::clicked, this, [this] { showLevel(1); });
    connect(levelGuest_, &QRadioButton::clicked, this, [this] { showLevel(0); });
    connect(rightsApply_, &QPushButton::clicked, this, &CUserManage::saveRightsNow);
    connect(passwordApply_, &QPushButton::clicked, this, &CUserManage::applyPassword);
}

void CUserManage::open(bool canEdit) {
    levelUser_->setChecked(true);
    const UserList list = listUsers();
    fillUsers(list.users);
    showLevel(1);
    for (QWidget* w : {static_cast<QWidget*>(add_), static_cast<QWidget*>(delete_),
                       static_cast<QWidget*>(levelUser_), static_cast<QWidget*>(levelGuest_),
                       static_cast<QWidget*>(rightsApply_), static_cast<QWidget*>(oldPassword_),
                       static_cast<QWidget*>(newPassword_), static_cast<QWidget*>(repeat_),
                       static_cast<QWidget*>(passwordApply_)})
        w->setEnabled(canEdit);
    for (QCheckBox* c : rights_) c->setEnabled(canEdit);
    for (QLineEdit* e : {oldPassword_, newPassword_, repeat_}) e->clear();
    passwordApply_->setText(QString::fromUtf8(kApplyButton));
}

void CUserManage::addSection(QWidget* section) {
    section->setParent(this);
    sections_->addWidget(section);
}

void CUserManage::fillUsers(const std::vector<ListedUser>& users) {
    users_->clear();
    for (const ListedUser& u : users) {
        auto* item = new QListWidgetItem(QString::fromStdString(u.name), users_);
        item->setData(kUserIdRole, u.id);
    }
}

void CUserManage::showLevel(int level) {
    const RightsRead r = readRights(level);
    for (int i = 0; i < static_cast<int>(rights_.size()); ++i) rights_[i]->setChecked(r.flags[i] != 0);
    setting_ = r.flags[kSetting];
}

int CUserManage::level() const {
    return levelUser_->isChecked() ? 1 : 0;
}

void CUserManage::saveRightsNow() {
    std::array<int, 6> rights{};
    for (int i = 0; i < static_cast<int>(rights_.size()); ++i) rights[i] = rights_[i]->isChecked() ? 1 : 0;
    saveLevelRights(prompter_, level(), rights, setting_);
}

void CUserManage::addUser() {
    if (addDialog_->exec() != QDialog::Accepted) return;
    fillUsers(listUsers().users);
}

void CUserManage::deleteSelected() {
    std::vector<ListedUser> selected;
    for (int row = 0; row < users_->count(); ++row) {
        QListWidgetItem* item = users_->item(row);
        if (item->isSelected()) selected.push_back({item->data(kUserIdRole).toInt(), item->text().toStdString()});
    }
    if (selected.empty()) return;
    const UserDeletion out = deleteUsers(prompter_, selected);
    if (out.changed) fillUsers(out.users);
}

void CUserManage::userClicked() {
    QListWidgetItem* item = users_->currentItem();
    if (item == nullptr) return;
    const UserLevel u = readUserLevel(item->data(kUserIdRole).toInt());
    if (u.result != db::StoreResult::Done) return;
    const int shown = u.level != 0 ? 1 : 0;
    (shown == 1 ? levelUser_ : levelGuest_)->setChecked(true);
    showLevel(shown);
}

void CUserManage::applyPassword() {
    const RootPasswordOutcome out = changeRootPassword(prompter_, oldPassword_->text().toStdString(),
                                                       newPassword_->text().toStdString(),
                                                       repeat_->text().toStdString());
    if (out.changed) {
        passwordApply_->setText(QString::fromUtf8(kAppliedButton));
        passwordApply_->setEnabled(false);
        return;
    }
    focusField(out.focus, nullptr, oldPassword_, newPassword_);
}

bool CUserManage::eventFilter(QObject* watched, QEvent* event) {
    // Focus in a password field: the change may be applied again.
    if (event->type() == QEvent::FocusIn && oldPassword_->isEnabled()) {
        passwordApply_->setText(QString::fromUtf8(kApplyButton));
        passwordApply_->setEnabled(true);
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tovanix::users

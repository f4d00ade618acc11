// CUserManage: the user-management page of the system configuration dialog
// (accounts, the rights of levels 1 and 0, the root password), and CUserAdd.
#pragma once

#include <QDialog>
#include <QWidget>
#include <array>

#include "users/user_manage.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace tovanix {
class Prompter;
}

namespace tovanix::users {

class CUserAdd : public QDialog {
    Q_OBJECT
public:
    explicit CUserAdd(Prompter& prompter, QWidget* parent = nullptr);
    int exec() override;
    QString userName() const;
    QLineEdit* nameEdit() const { return name_; }
    QLineEdit* passwordEdit() const { return password_; }
    QLineEdit* confirmEdit() const { return confirm_; }
    QRadioButton* guestChoice() const { return guest_; }

public slots:
    void accept() override;

private:
    Prompter& prompter_;
    QLineEdit* name_;
    QLineEdit* password_;
    QLineEdit* confirm_;
    QRadioButton* user_;
    QRadioButton* guest_;
};

class CUserManage : public QWidget {
    Q_OBJECT
public:
    explicit CUserManage(Prompter& prompter, QWidget* parent = nullptr);

    // Lists the accounts, shows the rights of level 1; `canEdit` is the
    // UserManage right.
    void open(bool canEdit);
    // A section the page shows beside its own groups (the company
    // information, the alarm-output controls), built and opened by its owner.
    void addSection(QWidget* section);

    QListWidget* userList() const { return users_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* deleteButton() const { return delete_; }
    QRadioButton* userLevel() const { return levelUser_; }
    QRadioButton* guestLevel() const { return levelGuest_; }
    QCheckBox* rightCheck(int i) const { return rights_[i]; }
    QPushButton* rightsApply() const { return rightsApply_; }
    QLineEdit* oldPassword() const { return oldPassword_; }
    QLineEdit* newPassword() const { return newPassword_; }
    QLineEdit* repeatPassword() const { return repeat_; }
    QPushButton* passwordApply() const { return passwordApply_; }
    CUserAdd* addDialog() const { return addDialog_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillUsers(const std::vector<ListedUser>& users);
    void showLevel(int level);
    int level() const;
    void saveRightsNow();
    void addUser();
    void deleteSelected();
    void userClicked();
    void applyPassword();

    Prompter& prompter_;
    QListWidget* users_;
    QPushButton* add_;
    QPushButton* delete_;
    QRadioButton* levelUser_;
    QRadioButton* levelGuest_;
    std::array<QCheckBox*, 6> rights_{};
    QPushButton* rightsApply_;
    QLineEdit* oldPassword_;
    QLineEdit* newPassword_;
    QLineEdit* repeat_;
    QPushButton* passwordApply_;
    QVBoxLayout* sections_;
    CUserAdd* addDialog_;
    int setting_ = 0;  // Setting of the level shown, kept when its rights are saved
};

}  // namespace tovanix::users

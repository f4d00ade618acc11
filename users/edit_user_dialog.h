// CEditUser: the current user changes his own name and password.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace tovanix {
class Prompter;
}

namespace tovanix::users {

class CEditUser : public QDialog {
    Q_OBJECT
public:
    explicit CEditUser(Prompter& prompter, QWidget* parent = nullptr);

    // Fills the fields from the current user; exec() calls it.
    void reload();
    int exec() override;

    QLineEdit* nameEdit() const { return name_; }
    QLineEdit* oldPasswordEdit() const { return oldPassword_; }
    QLineEdit* newPasswordEdit() const { return newPassword_; }
    QLineEdit* repeatPasswordEdit() const { return repeat_; }

public slots:
    void accept() override;

private:
    Prompter& prompter_;
    QLineEdit* name_;
    QLineEdit* oldPassword_;
    QLineEdit* newPassword_;
    QLineEdit* repeat_;
};

}  // namespace tovanix::users

// CUserLogin: the login dialog, at start-up and for "更改用户(&D)".
#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tovanix {
class Prompter;
}

namespace tovanix::users {

class CUserLogin : public QDialog {
    Q_OBJECT
public:
    explicit CUserLogin(Prompter& prompter, QWidget* parent = nullptr);

    // Reads the names anew; exec() calls it.
    void reload();
    int exec() override;

    QComboBox* nameBox() const { return names_; }
    QLineEdit* passwordEdit() const { return password_; }
    QPushButton* okButton() const { return ok_; }

public slots:
    void accept() override;

private:
    Prompter& prompter_;
    QComboBox* names_;
    QLineEdit* password_;
    QPushButton* ok_;
};

}  // namespace tovanix::users

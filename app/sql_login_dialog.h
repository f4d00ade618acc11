// CSqlLogin: asks for the database account when the station has no
// credentials file, and offers the deletion of an old database.
#pragma once

#include <QDialog>
#include <QSize>

#include <string>

class QLineEdit;
class QPushButton;

namespace tovanix {
class Prompter;
}

namespace tovanix::app {

inline constexpr const char* kSqlLoginTitle = "数据库登录";
// The dialog opens with the right-hand strip cut off; "……" shows or hides it.
inline constexpr QSize kSqlLoginOpenSize{210, 145};
inline constexpr QSize kSqlLoginWideSize{310, 149};
inline constexpr QSize kSqlLoginNarrowSize{220, 149};

class CSqlLogin : public QDialog {
    Q_OBJECT
public:
    CSqlLogin(Prompter& prompter, std::string credentialsPath, QWidget* parent = nullptr);

    bool stripHidden() const { return stripHidden_; }
    QLineEdit* userEdit() const { return user_; }
    QLineEdit* passwordEdit() const { return password_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* stripButton() const { return strip_; }
    QPushButton* deleteDatabaseButton() const { return deleteDatabase_; }

public slots:
    void accept() override;
    void toggleStrip();
    void deleteOldDatabase();

private:
    void focusPassword();

    Prompter& prompter_;
    std::string path_;
    bool stripHidden_ = true;
    QLineEdit* user_;
    QLineEdit* password_;
    QPushButton* ok_;
    QPushButton* cancel_;
    QPushButton* strip_;
    QPushButton* deleteDatabase_;
};

}  // namespace tovanix::app

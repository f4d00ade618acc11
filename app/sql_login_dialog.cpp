#include "app/sql_login_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/startup.h"
#include "widgets/artwork.h"
#include "platform/prompter.h"

namespace tovanix::app {

namespace {

// Control places inside the fixed-size dialog; the strip right of x = 210
// holds the delete-old-database button.
constexpr int kLabelX = 10;
constexpr int kFieldX = 62;
constexpr int kFieldWidth = 136;
constexpr int kRowHeight = 24;
constexpr int kUserRowY = 14;
constexpr int kPasswordRowY = 46;
constexpr int kButtonRowY = 96;
constexpr int kButtonWidth = 60;
constexpr int kStripX = 222;
constexpr int kStripButtonWidth = 76;
constexpr int kStripButtonHeight = 48;

void setControlId(QWidget* w, int id) {
    w->setProperty("controlId", id);
}

}  // namespace

CSqlLogin::CSqlLogin(Prompter& prompter, std::string credentialsPath, QWidget* parent)
    : QDialog(parent), prompter_(prompter), path_(std::move(credentialsPath)) {
    setWindowTitle(QString::fromUtf8(kSqlLoginTitle));
    setWindowIcon(widgets::programIcon());

    auto* userLabel = new QLabel(QStringLiteral("用户名"), this);
    userLabel->setGeometry(kLabelX, kUserRowY, kFieldX - kLabelX, kRowHeight);
    user_ = new QLineEdit(this);
    setControlId(user_, 1003);
    user_->setGeometry(kFieldX, kUserRowY, kFieldWidth, kRowHeight);

    auto* passwordLabel = new QLabel(QStringLiteral("密  码"), this);
    passwordLabel->setGeometry(kLabelX, kPasswordRowY, kFieldX - kLabelX, kRowHeight);
    password_ = new QLineEdit(this);
    setControlId(password_, 1004);
    password_->setEchoMode(QLineEdit::Password);
    password_->setGeometry(kFieldX, kPasswordRowY, kFieldWidth, kRowHeight);

    ok_ = new QPushButton(QString::fromUtf8(kButtonOk), this);
    setControlId(ok_, 1);
    ok_->setDefault(true);
    ok_->setGeometry(kLabelX, kButtonRowY, kButtonWidth, kRowHeight + 2);
    cancel_ = new QPushButton(QString::fromUtf8(kButtonCancel), this);
    setControlId(cancel_, 2);
    cancel_->setGeometry(kLabelX + kButtonWidth + 8, kButtonRowY, kButtonWidth, kRowHeight + 2);
    strip_ = new QPushButton(QStringLiteral("……"), this);
    setControlId(strip_, 1000);
    strip_->setGeometry(kLabelX + 2 * (kButtonWidth + 8), kButtonRowY,
                        kFieldX + kFieldWidth - kLabelX - 2 * (kButtonWidth + 8), kRowHeight + 2);

    deleteDatabase_ = new QPushButton(QStringLiteral("删除\n旧数据库"), this);
    setControlId(deleteDatabase_, 1005);
    deleteDatabase_->setGeometry(kStripX, kUserRowY, kStripButtonWidth, kStripButtonHeight);

    connect(ok_, &QPushButton::clicked, this, &CSqlLogin::accept);
    connect(cancel_, &QPushButton::clicked, this, &CSqlLogin::reject);
    connect(strip_, &QPushButton::clicked, this, &CSqlLogin::toggleStrip);
    connect(deleteDatabase_, &QPushButton::clicked, this, &CSqlLogin::deleteOldDatabase);

    setFixedSize(kSqlLoginOpenSize);
    stripHidden_ = true;
}

void CSqlLogin::toggleStrip() {
    if (stripHidden_) {
        setFixedSize(kSqlLoginWideSize);
        stripHidden_ = false;
    } else {
        setFixedSize(kSqlLoginNarrowSize);
        stripHidden_ = true;
    }
}

void CSqlLogin::focusPassword() {
    password_->selectAll();
    password_->setFocus();
}

void CSqlLogin::accept() {
    const db::Account typed{user_->text().toStdString(), password_->text().toStdString()};
    if (acceptDatabaseLogin(prompter_, path_, typed, [this] { focusPassword(); }) != DatabaseLoginResult::Accepted) {
        return;
    }
    QDialog::accept();
}

void CSqlLogin::deleteOldDatabase() {
    const db::Account typed{user_->text().toStdString(), password_->text().toStdString()};
    tovanix::deleteOldDatabase(prompter_, typed, [this] { focusPassword(); });
}

}  // namespace tovanix::app

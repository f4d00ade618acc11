#include "users/user_login_dialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "users/login.h"
#include "widgets/artwork.h"
#include "platform/prompter.h"

namespace tovanix::users {

namespace {
constexpr int kBannerWidth = 320;
constexpr int kBannerHeight = 56;
}  // namespace

CUserLogin::CUserLogin(Prompter& prompter, QWidget* parent) : QDialog(parent), prompter_(prompter) {
    setWindowTitle(QString::fromUtf8(kLoginTitle));
    setWindowIcon(widgets::programIcon());
    auto* banner = new QLabel(this);
    banner->setPixmap(
        QPixmap::fromImage(widgets::banner(kBannerWidth, kBannerHeight, QString::fromUtf8(widgets::kStationTitle))));
    names_ = new QComboBox(this);
    names_->setObjectName(QStringLiteral("userNames"));
    password_ = new QLineEdit(this);
    password_->setObjectName(QStringLiteral("password"));
    password_->setEchoMode(QLineEdit::Password);
    ok_ = new QPushButton(QString::fromUtf8(kButtonOk), this);
    ok_->setDefault(true);
    auto* cancel = new QPushButton(QString::fromUtf8(kButtonCancel), this);

    auto* nameLabel = new QLabel(QStringLiteral("用户名"), this);
    auto* passwordLabel = new QLabel(QStringLiteral("密  码"), this);
    names_->setAccessibleName(nameLabel->text());
    password_->setAccessibleName(passwordLabel->text());
    auto* form = new QFormLayout;
    form->addRow(nameLabel, names_);
    form->addRow(passwordLabel, password_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(banner);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(ok_, &QPushButton::clicked, this, &CUserLogin::accept);
    connect(cancel, &QPushButton::clicked, this, &CUserLogin::reject);
}

void CUserLogin::reload() {
    names_->clear();
    for (const std::string& n : openLogin()) names_->addItem(QString::fromStdString(n));
    if (names_->count() > 0) names_->setCurrentIndex(0);
    password_->clear();
    password_->setFocus();
}

int CUserLogin::exec() {
    reload();
    return QDialog::exec();
}

void CUserLogin::accept() {
    switch (submitLogin(prompter_, names_->currentText().toStdString(), password_->text().toStdString())) {
        case LoginOutcome::LoggedIn:
        case LoginOutcome::DatabaseFailed:
            QDialog::accept();
            return;
        case LoginOutcome::Stay:
            password_->selectAll();
            password_->setFocus();
            return;
    }
}

}  // namespace tovanix::users

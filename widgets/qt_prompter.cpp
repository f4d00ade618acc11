#include "widgets/qt_prompter.h"

#include <QAbstractButton>
#include <QMessageBox>

namespace tovanix::widgets {

namespace {

QMessageBox::Icon toIcon(PromptIcon icon) {
    switch (icon) {
        case PromptIcon::Information:
            return QMessageBox::Information;
        case PromptIcon::Warning:
            return QMessageBox::Warning;
        case PromptIcon::Question:
            return QMessageBox::Question;
        case PromptIcon::Error:
            return QMessageBox::Critical;
        case PromptIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

PromptAnswer QtPrompter::ask(const std::string& text, const std::string& caption, PromptIcon icon,
                             PromptButtons buttons) {
    QString body = QString::fromStdString(text);
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(toIcon(icon), QString::fromStdString(caption), body, QMessageBox::NoButton, parent_);
    switch (buttons) {
        case PromptButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case PromptButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case PromptButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
    }
    if (auto* b = box.button(QMessageBox::Ok)) b->setText(QString::fromUtf8(kButtonOk));
    if (auto* b = box.button(QMessageBox::Cancel)) b->setText(QString::fromUtf8(kButtonCancel));
    if (auto* b = box.button(QMessageBox::Yes)) b->setText(QStringLiteral("是"));
    if (auto* b = box.button(QMessageBox::No)) b->setText(QStringLiteral("否"));
    switch (box.exec()) {
        case QMessageBox::Ok:
            return PromptAnswer::Ok;
        case QMessageBox::Yes:
            return PromptAnswer::Yes;
        case QMessageBox::No:
            return PromptAnswer::No;
        default:
            return PromptAnswer::Cancel;
    }
}

}  // namespace tovanix::widgets

#include "widgets/dialog_buttons.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

#include "platform/prompter.h"

namespace tovanix::widgets {

QHBoxLayout* okCancelRow(QDialog* dialog) {
    auto* ok = new QPushButton(QString::fromUtf8(kButtonOk), dialog);
    ok->setDefault(true);
    ok->setAccessibleName(ok->text());
    auto* cancel = new QPushButton(QString::fromUtf8(kButtonCancel), dialog);
    cancel->setAccessibleName(cancel->text());
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return row;
}

QHBoxLayout* closeRow(QDialog* dialog) {
    auto* close = new QPushButton(QString::fromUtf8(kButtonOk), dialog);
    close->setAccessibleName(close->text());
    close->setAutoDefault(false);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(close);
    QObject::connect(close, &QPushButton::clicked, dialog, &QDialog::accept);
    return row;
}

}  // namespace tovanix::widgets

#include "app/about_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/artwork.h"
#include "platform/prompter.h"

namespace tovanix::app {

namespace {
constexpr int kIconSize = 48;
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("关于 Tovanix"));
    setWindowIcon(widgets::programIcon());
    auto* icon = new QLabel(this);
    icon->setPixmap(widgets::programIcon().pixmap(kIconSize, kIconSize));
    auto* version = new QLabel(QString::fromUtf8(kVersionLine), this);
    version->setObjectName(QStringLiteral("version"));
    auto* vendor = new QLabel(QStringLiteral("温湿度记录仪监测站\n连接有线记录仪线路、报警器与短信猫"), this);
    auto* ok = new QPushButton(QString::fromUtf8(kButtonOk), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(version);
    texts->addWidget(vendor);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(texts);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(bottom);
}

}  // namespace tovanix::app

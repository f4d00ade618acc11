#include "config/system_set_dialog.h"

#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

#include "alarms/system_alarm_page.h"
#include "config/system_setting_page.h"
#include "devices/engine.h"
#include "platform/prompter.h"
#include "widgets/artwork.h"
#include "widgets/dialog_buttons.h"

namespace tovanix::config {

namespace {
// A tab whose page another piece of work brings; it says so instead of
// showing controls that do nothing.
QWidget* notBuiltPage(QWidget* parent) {
    auto* page = new QWidget(parent);
    auto* text = new QLabel(QString::fromUtf8(kPageNotBuilt), page);
    text->setAlignment(Qt::AlignCenter);
    text->setAccessibleName(text->text());
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(text);
    return page;
}
}  // namespace

CSystemSet::CSystemSet(Prompter& prompter, devices::Engine& engine, QWidget* parent)
    : QDialog(parent), prompter_(prompter), engine_(engine) {
    setWindowTitle(QString::fromUtf8(kSystemSetTitle));
    setWindowIcon(widgets::programIcon());
    tabs_ = new QTabWidget(this);
    tabs_->setAccessibleName(windowTitle());
    postAlarm_ = [&engine](std::uint32_t message, std::any payload) {
        return engine.postAlarm(message, std::move(payload));
    };
    alarm_ = new alarms::CSystemAlarm(prompter, engine.alarmShared(), postAlarm_, tabs_);
    remote_ = new CSystemSetting(prompter, tabs_);
    tabs_->insertTab(kTabUsers, notBuiltPage(tabs_), QString::fromUtf8(kUserTab));
    tabs_->insertTab(kTabAlarm, alarm_, QString::fromUtf8(kAlarmTab));
    tabs_->insertTab(kTabData, notBuiltPage(tabs_), QString::fromUtf8(kDataTab));
    tabs_->insertTab(kTabRemote, remote_, QString::fromUtf8(kRemoteTab));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addLayout(widgets::closeRow(this));
    connect(tabs_, &QTabWidget::currentChanged, this, &CSystemSet::tabShown);
}

void CSystemSet::setUserPage(QWidget* page, std::function<void(bool canEdit)> open,
                             const std::function<void(QWidget* section)>& addSection) {
    QWidget* placeholder = tabs_->widget(kTabUsers);
    tabs_->removeTab(kTabUsers);
    placeholder->deleteLater();
    page->setParent(tabs_);
    tabs_->insertTab(kTabUsers, page, QString::fromUtf8(kUserTab));
    openUserPage_ = std::move(open);
    company_ = new CCompanyInfo(prompter_, page);
    userAlarm_ = new alarms::CSystemAlarm(prompter_, engine_.alarmShared(), postAlarm_, page,
                                          alarms::CSystemAlarm::Placement::UserPage);
    addSection(company_);
    addSection(userAlarm_);
}

void CSystemSet::setDataPage(QWidget* page, std::function<void(bool)> open, std::function<void()> close) {
    QWidget* placeholder = tabs_->widget(kTabData);
    tabs_->removeTab(kTabData);
    placeholder->deleteLater();
    page->setParent(tabs_);
    tabs_->insertTab(kTabData, page, QString::fromUtf8(kDataTab));
    openDataPage_ = std::move(open);
    closeDataPage_ = std::move(close);
}

int CSystemSet::exec(const SystemSetRights& rights) {
    if (openUserPage_) openUserPage_(rights.userManage);
    if (company_ != nullptr) company_->open(rights.userManage);
    // The alarm-output controls of both pages follow the AlarmSetting right.
    if (userAlarm_ != nullptr) userAlarm_->open(rights.alarmSetting);
    if (openDataPage_) openDataPage_(rights.databaseManage);
    alarm_->open(rights.alarmSetting);
    remote_->open();
    tabs_->setCurrentIndex(kTabUsers);
    return QDialog::exec();
}

void CSystemSet::tabShown(int index) {
    // The two sets of alarm-output controls show what the other one changed.
    if (index == kTabAlarm) alarm_->showMemory();
    if (index == kTabUsers && userAlarm_ != nullptr) userAlarm_->showMemory();
}

void CSystemSet::done(int result) {
    alarm_->closePage();
    if (userAlarm_ != nullptr) userAlarm_->closePage();
    remote_->closePage();
    if (closeDataPage_) closeDataPage_();
    QDialog::done(result);
}

}  // namespace tovanix::config

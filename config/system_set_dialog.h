// CSystemSet (系统配置): the station-wide settings in one tabbed dialog.
#pragma once

#include <QDialog>
#include <functional>

#include "alarms/system_alarm_page.h"

class QTabWidget;

namespace tovanix {
class Prompter;
}
namespace tovanix::devices {
class Engine;
}

namespace tovanix::config {

class CCompanyInfo;
class CSystemSetting;

inline constexpr const char* kSystemSetTitle = "系统配置";
inline constexpr const char* kUserTab = "用户管理";
inline constexpr const char* kAlarmTab = "报警设置";
inline constexpr const char* kDataTab = "数据中心";
inline constexpr const char* kRemoteTab = "远程服务";
inline constexpr const char* kPageNotBuilt = "此页面尚未实现。";

enum SystemSetTab { kTabUsers = 0, kTabAlarm = 1, kTabData = 2, kTabRemote = 3 };

// The rights of the current user that the pages gate their controls with.
struct SystemSetRights {
    bool alarmSetting = false;
    bool userManage = false;
    bool databaseManage = false;
};

class CSystemSet : public QDialog {
    Q_OBJECT
public:
    CSystemSet(Prompter& prompter, devices::Engine& engine, QWidget* parent = nullptr);

    // Opens every page anew, on the first tab.
    int exec(const SystemSetRights& rights);

    // The user page comes from users/ (the window hands it over); `open`
    // fills it with the UserManage right each time the dialog opens.
    // `addSection` places the company information and the second set of
    // alarm-output controls on it.
    void setUserPage(QWidget* page, std::function<void(bool canEdit)> open,
                     const std::function<void(QWidget* section)>& addSection);

    // The data-centre page comes from data/ the same way; `open` gets the
    // DatabaseManage right, `close` runs when the dialog closes.
    void setDataPage(QWidget* page, std::function<void(bool canManage)> open, std::function<void()> close);

    QTabWidget* tabs() const { return tabs_; }
    alarms::CSystemAlarm* alarmPage() const { return alarm_; }
    CSystemSetting* remotePage() const { return remote_; }
    // Null until the user page is set.
    CCompanyInfo* companyInfo() const { return company_; }
    alarms::CSystemAlarm* userAlarmControls() const { return userAlarm_; }

public slots:
    void done(int result) override;

private:
    void tabShown(int index);

    QTabWidget* tabs_;
    alarms::CSystemAlarm* alarm_;
    CSystemSetting* remote_;
    CCompanyInfo* company_ = nullptr;
    alarms::CSystemAlarm* userAlarm_ = nullptr;
    alarms::CSystemAlarm::PostAlarm postAlarm_;
    Prompter& prompter_;
    devices::Engine& engine_;
    std::function<void(bool)> openUserPage_;
    std::function<void(bool)> openDataPage_;
    std::function<void()> closeDataPage_;
};

}  // namespace tovanix::config

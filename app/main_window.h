// CTovanixDlg: the main monitoring window. It loads the configuration into
// the station table and the tree, starts the engine and watches it: the
// status bar with the user, the state, the clock and the SMS device; the
// status view; the menus and context menus; the notification-area icon;
// the exit question and the orderly stop.
#pragma once

#include <QMainWindow>
#include <QTimer>

#include <ctime>
#include <functional>
#include <map>
#include <memory>

#include "app/commands.h"
#include "app/state_display.h"
#include "app/tree_editing.h"
#include "widgets/request_timer.h"

class QLabel;
class QMenu;
class QStackedWidget;
class QSystemTrayIcon;
class QTableView;
class QTreeWidgetItem;
class QPushButton;

namespace tovanix {
class Prompter;
}
namespace tovanix::devices {
class Engine;
}
namespace tovanix::users {
class CEditUser;
class CUserLogin;
}  // namespace tovanix::users
namespace tovanix::data {
class CDataManage;
}
namespace tovanix::widgets {
class BitmapButton;
class CTreeCtrlEx;
}  // namespace tovanix::widgets

namespace tovanix::app {

class CCurrentStatus;

inline constexpr const char* kWindowTitle = "Tovanix";
inline constexpr const char* kServiceLine = "Tovanix 温湿度监测 技术支持：https://tovanix.example";
inline constexpr const char* kExitQuestion = "退出软件将会停止监控，您确定要继续退出吗？";
// The exit while a database backup or restore runs: leaving then would cut
// the load short.
inline constexpr const char* kExitWhileBackup = "正在备份或还原数据库，请等待完成后再退出软件";
inline constexpr const char* kTrayTip = "Tovanix";
inline constexpr const char* kTrayBalloon = "程序正在后台运行，双击可恢复";
inline constexpr int kTrayBalloonMs = 3000;
inline constexpr int kClockTimerMs = 1000;       // timer 0
inline constexpr int kStateTimerMs = 500;        // timer 2
inline constexpr int kSmsStatusTimerMs = 11000;  // timer 11
inline constexpr int kTreeWidth = 300;
inline constexpr int kMinimumSide = 600;
inline constexpr int kDataLoadDelayMs = 100;     // double click on a device
inline constexpr int kTileDataLoadDelayMs = 50;  // click on a tile
inline constexpr int kStatusPaneCount = 4;

class CTovanixDlg : public QMainWindow, private TreeSurface {
    Q_OBJECT
public:
    using CommandHandler = std::function<void(unsigned nodeData)>;

    // Runs the whole opening: configuration, tree, status view, engine start
    // and the first messages to the polling thread.
    CTovanixDlg(devices::Engine& engine, Prompter& prompter, QWidget* parent = nullptr);
    ~CTovanixDlg() override;

    // The dialogs of later parts register their commands; a command shows in
    // its menu once it has a handler.
    void setCommandHandler(int id, CommandHandler handler);
    bool hasCommand(int id) const { return handlers_.count(id) != 0; }
    // As choosing the command: the right check, then the handler with the
    // selected node's data. False when refused or unknown.
    bool runCommand(int id);
    // The menu, or null when it has no entry.
    QMenu* menu(MenuId id) const;
    // What a right click on this spot opens (null: nothing).
    QMenu* contextMenuAt(const QPoint& treePos);

    // The device count changed (additions elsewhere): timer 5 follows it.
    void deviceCountChanged();
    // A dialog added a line, group or device: the node, the status view and
    // timer 5 follow it.
    void nodeAdded(unsigned parentData, unsigned data, const std::string& name);

    // Tree clicks, as the tree reports them.
    void clickNode(QTreeWidgetItem* item);
    void doubleClickNode(QTreeWidgetItem* item);
    void tileClicked(int code);

    // Refused while a database backup or restore runs.
    void requestExit(bool fromTray = false);
    // The confirmed exit without the question (the session ends, SIGTERM);
    // a running backup or restore is waited for when the window is destroyed.
    void stopAndClose();
    bool stopped() const { return stopped_; }
    void hideToTray();
    void restoreFromTray();
    void showAbout();
    void changeUser();
    void editUser();
    void checkAll();
    // The company name and website changed: the banner is drawn anew with them.
    void setCompany(const std::string& companyName, const std::string& url);
    void showCurrentStatus();
    // The data page with the history list in the tree's place; the device
    // is loaded after delayMs.
    void showDataPage(unsigned nodeData, int delayMs);

    widgets::CTreeCtrlEx* tree() const { return tree_; }
    CCurrentStatus* statusView() const { return status_; }
    data::CDataManage* dataPage() const { return dataPage_; }
    QTableView* historyList() const { return historyList_; }
    QStackedWidget* pages() const { return pages_; }
    QLabel* statusPane(int i) const { return panes_[i]; }
    QSystemTrayIcon* trayIcon() const { return tray_; }
    QTreeWidgetItem* findNode(unsigned data) const;
    StateDisplay& stateDisplay() { return state_; }
    LineRetirement& lineRetirement() { return retirement_; }

    // Timer ticks (public for tests).
    void tickClock();
    void tickState();
    void tickSmsStatus();

signals:
    // The engine has stopped and the window closes: the program ends.
    void stationStopped();
    // The data page (history of one device) is asked for, with the node
    // data of the device and the delay of its load timer.
    void dataPageRequested(unsigned nodeData, int delayMs);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // TreeSurface
    void removeNode(unsigned data) override;
    void addDeviceUnderLine(int lineid, unsigned data, const std::string& name) override;
    void insertNode(unsigned parentData, unsigned data, const std::string& name) override;
    void refillAll() override;
    void refillCurrent() override;

    void buildLayout();
    void buildStatusBar();
    void loadConfigurationAndTree();
    // Step 15: the lost-record dialog, counting down to its download.
    void showLostRecords(std::time_t oldestLost);
    void buildTree();
    void registerOwnCommands();
    // Follows the next queued port close of a deleted line.
    void advanceRetirement();
    void rebuildMenus();
    void writeUserPane();
    void onBeginLabelEdit(QTreeWidgetItem* item);
    void onEndLabelEdit(QTreeWidgetItem* item, const QString& text);
    void onTreeContextMenu(const QPoint& pos);
    unsigned selectedData() const;
    void setUpTray();
    void showCompany(const std::string& companyName, const std::string& url);

    devices::Engine& engine_;
    Prompter& prompter_;
    LineRetirement retirement_;
    StateDisplay state_;
    std::map<int, CommandHandler> handlers_;
    std::map<MenuId, QMenu*> menus_;
    QMenu* windowMenu_ = nullptr;

    widgets::CTreeCtrlEx* tree_ = nullptr;
    CCurrentStatus* status_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    data::CDataManage* dataPage_ = nullptr;
    QTableView* historyList_ = nullptr;  // the data page's, shown where the tree sits
    QPushButton* currentStatusButton_ = nullptr;
    QPushButton* systemConfigButton_ = nullptr;
    widgets::BitmapButton* bannerButton_ = nullptr;
    QLabel* panes_[kStatusPaneCount] = {};
    QSystemTrayIcon* tray_ = nullptr;
    std::unique_ptr<users::CUserLogin> userLogin_;
    std::unique_ptr<users::CEditUser> editUser_;

    QTimer clock_;
    QTimer stateTimer_;
    QTimer smsTimer_;
    widgets::RequestTimer retireTimer_;  // follows the close of a deleted line's port
    unsigned editData_ = 0;  // item data remembered when a label edit begins
    bool stopped_ = false;
    bool closing_ = false;
};

}  // namespace tovanix::app

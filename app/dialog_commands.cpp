#include "app/dialog_commands.h"

#include <QTreeWidgetItem>
#include <QTreeWidgetItemIterator>

#include "app/commands.h"
#include "app/main_window.h"
#include "app/node_data.h"
#include "app/status_view.h"
#include "config/add_group_dialog.h"
#include "config/add_line_dialog.h"
#include "config/edit_line_dialog.h"
#include "config/system_set_dialog.h"
#include "config/system_setting_page.h"
#include "data/backup_dialog.h"
#include "data/system_data_page.h"
#include "devices/add_device_dialog.h"
#include "devices/engine.h"
#include "devices/set_device_dialog.h"
#include "users/current_user.h"
#include "users/user_manage_page.h"
#include "widgets/tree_ctrl_ex.h"

namespace tovanix::app {

namespace {

QString nodeText(const CTovanixDlg& w, unsigned data) {
    QTreeWidgetItem* item = w.findNode(data);
    return item != nullptr ? item->text(0) : QString();
}

// A restore begins once no reading is being stored (the store lock is free)
// and the scans store nothing until it ends. Runs on the panel's worker
// thread: a store may hold the lock for a whole connect time-out.
void pauseStoring(devices::Engine& engine, bool pause) {
    engine.storingPaused.store(pause);
    if (pause) std::lock_guard<std::mutex> wait(engine.storeLock());
}

}  // namespace

void registerDialogCommands(const DialogContext& context) {
    CTovanixDlg& w = context.window;
    w.setCommandHandler(kCmdChangePassword, [&w](unsigned) { w.editUser(); });
    w.setCommandHandler(kCmdChangeUser, [&w](unsigned) { w.changeUser(); });
    w.setCommandHandler(kCmdAbout, [&w](unsigned) { w.showAbout(); });
    w.setCommandHandler(kCmdTrayAbout, [&w](unsigned) { w.showAbout(); });

    // The dialogs are children of the window and keep their fields between uses.
    auto* addLine = new config::CAddLine(
        context.prompter, context.engine, [&w] { return w.lineRetirement().busy(); }, &w);
    w.setCommandHandler(kCmdAddLine, [&w, addLine](unsigned) {
        if (addLine->exec() != QDialog::Accepted) return;
        w.nodeAdded(kRootData, lineNode(addLine->lineid()), addLine->lineName().toStdString());
    });
    auto* editLine = new config::CEditLine(context.prompter, context.engine, &w);
    w.setCommandHandler(kCmdLineSettings, [&w, editLine](unsigned data) { editLine->exec(data, nodeText(w, data)); });
    auto* addRoom = new config::CAddRoom(context.prompter, context.engine.table(), &w);
    w.setCommandHandler(kCmdAddGroup, [&w, addRoom](unsigned data) {
        if (addRoom->exec(data) != QDialog::Accepted) return;
        w.nodeAdded(data, groupNode(addRoom->roomid()), addRoom->groupName().toStdString());
    });
    auto* addDevice = new devices::CAddDevice(context.prompter, context.engine, &w);
    auto addDeviceHandler = [&w, addDevice](unsigned data) {
        if (addDevice->exec(data, nodeText(w, data)) != QDialog::Accepted) return;
        w.nodeAdded(data, deviceNode(addDevice->lineid(), addDevice->roomid(), addDevice->address()),
                    addDevice->deviceName().toStdString());
    };
    w.setCommandHandler(kCmdAddDeviceToLine, addDeviceHandler);
    w.setCommandHandler(kCmdAddDeviceToGroup, addDeviceHandler);

    // The logger settings window; a rename or re-address takes the tree node
    // and the tiles along at once.
    auto* setDevice = new devices::CSetDevice(context.prompter, context.engine, &w);
    setDevice->setRenamed([&w](int lineid, int oldAddress, int newAddress, const std::string& name) {
        QTreeWidgetItem* node = nullptr;
        for (QTreeWidgetItemIterator it(w.tree()); *it != nullptr; ++it) {
            const unsigned data = widgets::CTreeCtrlEx::itemData(*it);
            if (nodeKind(data) == NodeKind::Device && lineOf(data) == lineid && addressOf(data) == oldAddress) {
                node = *it;
                break;
            }
        }
        if (node != nullptr) {
            const unsigned data = widgets::CTreeCtrlEx::itemData(node);
            node->setText(0, QString::fromStdString(name));
            w.tree()->setItemData(node, data - static_cast<unsigned>(oldAddress) + static_cast<unsigned>(newAddress));
        }
        if (oldAddress == newAddress)
            w.statusView()->redrawDevice(lineid, newAddress);
        else
            w.statusView()->refill();  // the tile's code names the address
    });
    // A stopped network logger's node is red, a started one's black again.
    setDevice->setRunningChanged([&w](int lineid, int address, bool running) {
        for (QTreeWidgetItemIterator it(w.tree()); *it != nullptr; ++it) {
            const unsigned data = widgets::CTreeCtrlEx::itemData(*it);
            if (nodeKind(data) != NodeKind::Device || lineOf(data) != lineid || addressOf(data) != address) continue;
            w.tree()->setNodeColour(*it, running ? widgets::rgb(0, 0, 0) : widgets::rgb(255, 0, 0));
            break;
        }
    });
    w.setCommandHandler(kCmdDeviceSettings, [setDevice](unsigned data) {
        setDevice->exec(data, users::hasRight(users::Right::AlarmSetting));
    });

    // Its pages gate their own controls by the rights of the current user.
    auto* systemSet = new config::CSystemSet(context.prompter, context.engine, &w);
    auto* userPage = new users::CUserManage(context.prompter);
    systemSet->setUserPage(
        userPage, [userPage](bool canEdit) { userPage->open(canEdit); },
        [userPage](QWidget* section) { userPage->addSection(section); });
    QObject::connect(systemSet->companyInfo(), &config::CCompanyInfo::companyChanged, &w,
                     [&w](const QString& name, const QString& url) { w.setCompany(name.toStdString(), url.toStdString()); });
    auto* backupDialog = new data::CBackup(context.prompter, &w);
    devices::Engine& engine = context.engine;
    backupDialog->panel()->setStoringPause([&engine](bool pause) { pauseStoring(engine, pause); });
    w.setCommandHandler(kCmdDatabaseBackup, [backupDialog](unsigned) {
        backupDialog->exec(users::hasRight(users::Right::DatabaseManage));
    });
    auto* dataPage = new data::CSystemData(context.prompter, context.engine);
    dataPage->backupPanel()->setStoringPause([&engine](bool pause) { pauseStoring(engine, pause); });
    systemSet->setDataPage(
        dataPage, [dataPage](bool canManage) { dataPage->open(canManage); }, [dataPage] { dataPage->closePage(); });
    w.setCommandHandler(kCmdSystemConfig, [systemSet](unsigned) {
        systemSet->exec({users::hasRight(users::Right::AlarmSetting), users::hasRight(users::Right::UserManage),
                         users::hasRight(users::Right::DatabaseManage)});
    });
}

}  // namespace tovanix::app

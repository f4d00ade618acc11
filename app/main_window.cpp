#include "app/main_window.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTableView>
#include <QSystemTrayIcon>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include <ctime>

#include "app/about_dialog.h"
#include "app/dialog_commands.h"
#include "app/node_data.h"
#include "platform/local_time.h"
#include "platform/prompter.h"
#include "app/status_view.h"
#include "data/backup_actions.h"
#include "data/data_page.h"
#include "data/system_data_page.h"
#include "devices/config_load.h"
#include "devices/engine.h"
#include "devices/messages.h"
#include "users/current_user.h"
#include "users/edit_user_dialog.h"
#include "users/user_login_dialog.h"
#include "widgets/artwork.h"
#include "widgets/bitmap_button.h"
#include "widgets/tree_ctrl_ex.h"

namespace tovanix::app {

namespace {

constexpr int kPaneRightEdges[] = {200, 400, 650};
constexpr int kStatusBarHeight = 20;
constexpr int kBannerHeight = 40;
constexpr int kBannerButtonWidth = 400;
constexpr int kBannerButtonHeight = 25;
constexpr int kBannerButtonTop = 7;
constexpr int kBannerWidth = 420;
constexpr int kRetirePollMs = 100;
constexpr int kPageMarginRight = 30;  // the pages are (client width - 330) wide beside the 300 px tree

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

QImage companyPicture(const std::string& company, const std::string& url) {
    QImage img(kBannerButtonWidth, kBannerButtonHeight, QImage::Format_RGB32);
    img.fill(QColor(233, 238, 245));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(22, 66, 120));
    p.drawText(img.rect().adjusted(6, 0, -6, 0), Qt::AlignVCenter | Qt::AlignRight,
               qs(company) + QStringLiteral("  ") + qs(url));
    return img;
}

}  // namespace

CTovanixDlg::CTovanixDlg(devices::Engine& engine, Prompter& prompter, QWidget* parent)
    : QMainWindow(parent), engine_(engine), prompter_(prompter), retirement_(engine) {
    // 1-4: title, icon, minimum size, layout, icon buttons, status bar.
    setWindowTitle(QString::fromUtf8(kWindowTitle));
    setWindowIcon(widgets::programIcon());
    setMinimumSize(kMinimumSide, kMinimumSide);
    buildLayout();
    buildStatusBar();

    // 5: timers 0, 2 and 11 (timer 5 and the one-second counters are the
    // engine's).
    connect(&clock_, &QTimer::timeout, this, &CTovanixDlg::tickClock);
    connect(&stateTimer_, &QTimer::timeout, this, &CTovanixDlg::tickState);
    connect(&smsTimer_, &QTimer::timeout, this, &CTovanixDlg::tickSmsStatus);
    clock_.start(kClockTimerMs);
    stateTimer_.start(kStateTimerMs);
    smsTimer_.start(kSmsStatusTimerMs);

    // 6: configuration and tree.
    loadConfigurationAndTree();

    // 8: menus; the tray icon where the desktop has a tray.
    registerOwnCommands();
    setUpTray();

    // 9, 11: the status view with all devices.
    status_->setUpScrolling();
    status_->fill(ViewMode::All);

    // 12-14: the threads, the first messages, timer 5.
    engine_.start();
    engine_.post(devices::kMsgOpenPorts);
    engine_.post(devices::kMsgReadSettings);
    engine_.post(devices::kMsgQuickRead);
    tickClock();
}

CTovanixDlg::~CTovanixDlg() {
    if (!stopped_) {
        engine_.post(devices::kMsgCloseAllPorts);
        engine_.stop();
    }
}

void CTovanixDlg::buildLayout() {
    auto* central = new QWidget(this);
    auto* top = new QWidget(central);
    top->setFixedHeight(kBannerHeight);
    auto* bannerLabel = new QLabel(top);
    bannerLabel->setProperty("controlId", 1054);
    bannerLabel->setPixmap(
        QPixmap::fromImage(widgets::banner(kBannerWidth, kBannerHeight - 4, QString::fromUtf8(widgets::kStationTitle))));
    currentStatusButton_ =
        new QPushButton(widgets::buttonIcon(widgets::ButtonIcon::CurrentStatus), QStringLiteral("当前状态"), top);
    currentStatusButton_->setProperty("controlId", 1000);
    connect(currentStatusButton_, &QPushButton::clicked, this, &CTovanixDlg::showCurrentStatus);
    systemConfigButton_ =
        new QPushButton(widgets::buttonIcon(widgets::ButtonIcon::SystemConfig), QStringLiteral("系统配置"), top);
    systemConfigButton_->setProperty("controlId", 1005);
    systemConfigButton_->setAccessibleName(systemConfigButton_->text());
    connect(systemConfigButton_, &QPushButton::clicked, this, [this] { runCommand(kCmdSystemConfig); });
    bannerButton_ = new widgets::BitmapButton(top);
    bannerButton_->setProperty("controlId", 1028);
    bannerButton_->setFixedSize(kBannerButtonWidth, kBannerButtonHeight);
    auto* topLayout = new QHBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->addWidget(bannerLabel);
    topLayout->addSpacing(12);
    topLayout->addWidget(currentStatusButton_);
    topLayout->addWidget(systemConfigButton_);
    topLayout->addStretch();
    auto* buttonColumn = new QVBoxLayout;
    buttonColumn->setContentsMargins(0, kBannerButtonTop, 0, 0);
    buttonColumn->addWidget(bannerButton_);
    buttonColumn->addStretch();
    topLayout->addLayout(buttonColumn);

    tree_ = new widgets::CTreeCtrlEx(central);
    tree_->setProperty("controlId", 1001);
    tree_->setFixedWidth(kTreeWidth);
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tree_, &QTreeWidget::customContextMenuRequested, this, &CTovanixDlg::onTreeContextMenu);
    connect(tree_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) { clickNode(item); });
    connect(tree_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) { doubleClickNode(item); });
    connect(tree_, &widgets::CTreeCtrlEx::beginLabelEdit, this, &CTovanixDlg::onBeginLabelEdit);
    connect(tree_, &widgets::CTreeCtrlEx::endLabelEdit, this, &CTovanixDlg::onEndLabelEdit);

    pages_ = new QStackedWidget(central);
    pages_->setObjectName(QStringLiteral("pages"));
    pages_->setProperty("controlId", 1002);
    status_ = new CCurrentStatus(engine_, pages_);
    pages_->addWidget(status_);
    pages_->setCurrentWidget(status_);
    connect(status_, &CCurrentStatus::tileClicked, this, &CTovanixDlg::tileClicked);
    dataPage_ = new data::CDataManage(engine_, prompter_, pages_);
    dataPage_->setObjectName(QStringLiteral("dataPage"));
    pages_->addWidget(dataPage_);
    // The history list takes the tree's place while the data page shows.
    historyList_ = dataPage_->historyView();
    historyList_->setParent(central);
    historyList_->setProperty("controlId", 1034);
    historyList_->setFixedWidth(kTreeWidth);
    dataPage_->sizeHistoryColumns(kTreeWidth);
    dataPage_->setOperator({[] { return users::hasRight(users::Right::AlarmAck); }, [] { return users::current().name; }});
    historyList_->hide();
    connect(this, &CTovanixDlg::dataPageRequested, this, &CTovanixDlg::showDataPage);

    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, kPageMarginRight, 0);
    body->addWidget(tree_);
    body->addWidget(historyList_);
    body->addWidget(pages_, 1);
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(top);
    layout->addLayout(body, 1);
    setCentralWidget(central);
}

void CTovanixDlg::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setProperty("controlId", 3000);
    bar->setSizeGripEnabled(false);
    bar->setFixedHeight(kStatusBarHeight);
    int left = 0;
    for (int i = 0; i < kStatusPaneCount; ++i) {
        panes_[i] = new QLabel(bar);
        panes_[i]->setObjectName(QStringLiteral("pane%1").arg(i));
        if (i < kStatusPaneCount - 1) {
            panes_[i]->setFixedWidth(kPaneRightEdges[i] - left);
            left = kPaneRightEdges[i];
            bar->addWidget(panes_[i]);
        } else {
            bar->addWidget(panes_[i], 1);
        }
    }
    writeUserPane();
    panes_[1]->setText(QString::fromUtf8(kInitialStateText));
    tickSmsStatus();
}

void CTovanixDlg::writeUserPane() {
    panes_[0]->setText(qs(users::statusPaneText(users::current())));
}

void CTovanixDlg::loadConfigurationAndTree() {
    devices::ConfigLoadResult r = engine_.loadConfiguration();
    if (!r.connected) {
        prompter_.inform(devices::kCannotOpenDatabase, kCaptionInfo);
        tree_->clear();
        return;
    }
    showCompany(r.system.companyName, r.system.url);
    buildTree();
    // 15: once the window runs (the polling thread is started by then).
    if (r.lostRecords) QTimer::singleShot(0, this, [this, oldest = r.oldestLost] { showLostRecords(oldest); });
}

void CTovanixDlg::showLostRecords(std::time_t oldestLost) {
    // Window-modal without a nested event loop: the status view keeps
    // updating behind it.
    auto* dialog = new data::CLoadLostRecord(prompter_, engine_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setObjectName(QStringLiteral("CLoadLostRecord"));
    dialog->start(oldestLost);
    dialog->open();
}

void CTovanixDlg::setCompany(const std::string& companyName, const std::string& url) {
    engine_.setCompany(companyName, url);  // the reports name the company too
    showCompany(companyName, url);
}

void CTovanixDlg::showCompany(const std::string& companyName, const std::string& url) {
    bannerButton_->setPicture(companyPicture(companyName, url));
    // The picture may cut a long name: the whole text on hovering, and for
    // screen readers.
    bannerButton_->setToolTip(qs(companyName) + QStringLiteral("  ") + qs(url));
    bannerButton_->setAccessibleName(bannerButton_->toolTip());
}

void CTovanixDlg::buildTree() {
    const std::vector<devices::LineEntry> lines = engine_.table().snapshot();
    const devices::SystemInfo info = engine_.systemInfo();
    tree_->clear();
    auto* root = new QTreeWidgetItem(tree_, QStringList(qs(info.systemName)));
    root->setFlags(root->flags() | Qt::ItemIsEditable);
    tree_->setItemData(root, kRootData);
    auto node = [this](QTreeWidgetItem* parent, const std::string& text, unsigned data) {
        auto* item = new QTreeWidgetItem(parent, QStringList(qs(text)));
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        tree_->setItemData(item, data);
        return item;
    };
    for (const auto& l : lines) {
        QTreeWidgetItem* lineItem = node(root, l.name, lineNode(l.lineid));
        for (const auto& g : l.groups) {
            QTreeWidgetItem* groupItem = node(lineItem, g.name, groupNode(g.roomid));
            for (const auto& d : l.devices) {
                if (d.groupId == g.roomid) node(groupItem, d.name, deviceNode(l.lineid, g.roomid, d.address));
            }
            groupItem->setExpanded(true);
        }
        for (const auto& d : l.devices) {
            if (d.groupId == 0) node(lineItem, d.name, deviceNode(l.lineid, 0, d.address));
        }
        lineItem->setExpanded(true);
    }
    root->setExpanded(true);
}

void CTovanixDlg::registerOwnCommands() {
    handlers_[kCmdCurrentStatus] = [this](unsigned) { showCurrentStatus(); };
    handlers_[kCmdCheckAll] = [this](unsigned) { checkAll(); };
    handlers_[kCmdBackground] = [this](unsigned) { hideToTray(); };
    handlers_[kCmdExit] = [this](unsigned) { requestExit(false); };
    handlers_[kCmdDeleteLine] = [this](unsigned data) {
        if (deleteLine(prompter_, engine_, retirement_, *this, data) == EditOutcome::Done) advanceRetirement();
    };
    handlers_[kCmdDeleteGroup] = [this](unsigned data) { deleteGroup(prompter_, engine_, *this, data); };
    handlers_[kCmdDeleteDevice] = [this](unsigned data) { deleteDevice(prompter_, engine_, *this, data); };
    handlers_[kCmdRestore] = [this](unsigned) { restoreFromTray(); };
    handlers_[kCmdClose] = [this](unsigned) { requestExit(true); };
    registerDialogCommands({*this, engine_, prompter_});
    rebuildMenus();
}

void CTovanixDlg::advanceRetirement() {
    if (retireTimer_.busy()) return;
    auto close = retirement_.nextClose();
    if (!close) return;
    retireTimer_.follow(std::move(*close), kRetirePollMs, [this](widgets::RequestTimer::Step, int) {
        retirement_.closed();
        advanceRetirement();
    });
}

void CTovanixDlg::setCommandHandler(int id, CommandHandler handler) {
    if (handler)
        handlers_[id] = std::move(handler);
    else
        handlers_.erase(id);
    rebuildMenus();
}

void CTovanixDlg::rebuildMenus() {
    auto fillMenu = [this](QMenu* m, MenuId id) {
        m->clear();
        for (const CommandEntry* c : commandsOf(id)) {
            if (!hasCommand(c->id)) continue;
            // The about entry stands apart, as in the system menu.
            if (c->id == kCmdAbout && !m->isEmpty()) m->addSeparator();
            QAction* a = m->addAction(QString::fromUtf8(c->text));
            a->setData(c->id);
            if (c->greyedWithoutRight && c->right) a->setEnabled(users::hasRight(*c->right));
            const int cmd = c->id;
            connect(a, &QAction::triggered, this, [this, cmd] { runCommand(cmd); });
        }
    };
    if (windowMenu_ == nullptr) windowMenu_ = menuBar()->addMenu(QStringLiteral("系统(&S)"));
    fillMenu(windowMenu_, MenuId::Window);
    menus_[MenuId::Window] = windowMenu_;
    for (MenuId id : {MenuId::Root, MenuId::Line, MenuId::Group, MenuId::Device, MenuId::TrayIcon}) {
        QMenu*& m = menus_[id];
        if (m == nullptr) m = new QMenu(this);
        fillMenu(m, id);
    }
    if (tray_ != nullptr) tray_->setContextMenu(menus_[MenuId::TrayIcon]);
}

QMenu* CTovanixDlg::menu(MenuId id) const {
    auto it = menus_.find(id);
    if (it == menus_.end() || it->second->isEmpty()) return nullptr;
    return it->second;
}

bool CTovanixDlg::runCommand(int id) {
    const CommandEntry* entry = findCommand(id);
    auto h = handlers_.find(id);
    if (entry == nullptr || h == handlers_.end()) return false;
    if (entry->right && !users::hasRight(*entry->right)) {
        prompter_.inform(entry->refusal, entry->refusalCaption != nullptr ? entry->refusalCaption : kCaptionInfo);
        return false;
    }
    // The handler may replace itself (or the menus): run a copy.
    CommandHandler handler = h->second;
    handler(selectedData());
    return true;
}

unsigned CTovanixDlg::selectedData() const {
    return widgets::CTreeCtrlEx::itemData(tree_->currentItem());
}

QMenu* CTovanixDlg::contextMenuAt(const QPoint& treePos) {
    QTreeWidgetItem* item = tree_->itemAt(treePos);
    if (item == nullptr) return nullptr;
    tree_->setCurrentItem(item);
    switch (nodeKind(widgets::CTreeCtrlEx::itemData(item))) {
        case NodeKind::Root:
            return menu(MenuId::Root);
        case NodeKind::Line:
            return menu(MenuId::Line);
        case NodeKind::Group:
            return menu(MenuId::Group);
        case NodeKind::Device:
            return menu(MenuId::Device);
    }
    return nullptr;
}

void CTovanixDlg::onTreeContextMenu(const QPoint& pos) {
    if (QMenu* m = contextMenuAt(pos)) m->exec(tree_->viewport()->mapToGlobal(pos));
}

void CTovanixDlg::clickNode(QTreeWidgetItem* item) {
    if (item == nullptr) return;
    tree_->setCurrentItem(item);
    const unsigned data = widgets::CTreeCtrlEx::itemData(item);
    switch (nodeKind(data)) {
        case NodeKind::Root:
            status_->fill(ViewMode::All, data);
            break;
        case NodeKind::Line:
            status_->fill(ViewMode::Line, data);
            break;
        case NodeKind::Group:
            status_->fill(ViewMode::Group, data);
            break;
        case NodeKind::Device:
            break;
    }
}

void CTovanixDlg::doubleClickNode(QTreeWidgetItem* item) {
    if (item == nullptr) return;
    const unsigned data = widgets::CTreeCtrlEx::itemData(item);
    if (nodeKind(data) != NodeKind::Device) return;
    if (!users::hasRight(users::Right::DataView)) {
        prompter_.inform(kNoDataViewRight, kCaptionInfo);
        return;
    }
    emit dataPageRequested(data, kDataLoadDelayMs);
}

void CTovanixDlg::tileClicked(int code) {
    if (!users::hasRight(users::Right::DataView)) {
        prompter_.inform(kNoDataViewRight, kCaptionInfo);
        return;
    }
    emit dataPageRequested(nodeOfTileCode(code), kTileDataLoadDelayMs);
}

void CTovanixDlg::deviceCountChanged() {
    engine_.restartScanTimer();
}

void CTovanixDlg::onBeginLabelEdit(QTreeWidgetItem* item) {
    editData_ = widgets::CTreeCtrlEx::itemData(item);
}

void CTovanixDlg::onEndLabelEdit(QTreeWidgetItem* item, const QString& text) {
    if (item == nullptr) return;
    // An empty name, or one the database did not take, leaves the old name.
    if (!renameNode(engine_, editData_, text.toStdString())) return;
    item->setText(0, text);
    if (nodeKind(editData_) == NodeKind::Device) status_->redrawDevice(lineOf(editData_), addressOf(editData_));
}

QTreeWidgetItem* CTovanixDlg::findNode(unsigned data) const {
    QTreeWidgetItemIterator it(tree_);
    while (*it != nullptr) {
        if (widgets::CTreeCtrlEx::itemData(*it) == data) return *it;
        ++it;
    }
    return nullptr;
}

void CTovanixDlg::removeNode(unsigned data) {
    delete findNode(data);
}

void CTovanixDlg::addDeviceUnderLine(int lineid, unsigned data, const std::string& name) {
    QTreeWidgetItem* line = findNode(lineNode(lineid));
    if (line == nullptr) return;
    auto* item = new QTreeWidgetItem(line, QStringList(qs(name)));
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    tree_->setItemData(item, data);
    line->setExpanded(true);
}

void CTovanixDlg::insertNode(unsigned parentData, unsigned data, const std::string& name) {
    QTreeWidgetItem* parent = findNode(parentData);
    if (parent == nullptr) return;
    auto* item = new QTreeWidgetItem(parent, QStringList(qs(name)));
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    tree_->setItemData(item, data);
    parent->setExpanded(true);
    tree_->setCurrentItem(item);
}

void CTovanixDlg::nodeAdded(unsigned parentData, unsigned data, const std::string& name) {
    app::nodeAdded(engine_, *this, parentData, data, name);
}

void CTovanixDlg::refillAll() {
    status_->fill(ViewMode::All);
}

void CTovanixDlg::refillCurrent() {
    status_->refill();
}

void CTovanixDlg::tickClock() {
    const std::string text = platform::localDateTime(std::time(nullptr));
    panes_[2]->setText(QStringLiteral("当前时间:") + QString::fromLatin1(text.c_str()));
}

void CTovanixDlg::tickState() {
    if (auto text = state_.tick(engine_.driverState.load())) {
        const std::string notice = engine_.gapNotice();
        panes_[1]->setText(qs(withGapNotice(*text, notice)));
        panes_[1]->setToolTip(qs(notice));
    }
}

void CTovanixDlg::tickSmsStatus() {
    const std::string status = engine_.alarmShared().statusText();
    panes_[3]->setText(status.empty() ? QString::fromUtf8(kServiceLine) : qs(status));
}

void CTovanixDlg::showCurrentStatus() {
    historyList_->hide();
    tree_->show();
    pages_->setCurrentWidget(status_);
}

void CTovanixDlg::showDataPage(unsigned nodeData, int delayMs) {
    tree_->hide();
    historyList_->show();
    pages_->setCurrentWidget(dataPage_);
    if (engine_.table().deviceCount() == 0) return;
    dataPage_->openLater(lineOf(nodeData), addressOf(nodeData), delayMs);
}

void CTovanixDlg::checkAll() {
    engine_.post(devices::kMsgReadSettings);
    engine_.post(devices::kMsgQuickRead);
}

void CTovanixDlg::changeUser() {
    if (!userLogin_) userLogin_ = std::make_unique<users::CUserLogin>(prompter_, this);
    if (userLogin_->exec() != QDialog::Accepted) return;
    writeUserPane();
    rebuildMenus();  // items greyed by the new user's rights
}

void CTovanixDlg::editUser() {
    if (!editUser_) editUser_ = std::make_unique<users::CEditUser>(prompter_, this);
    if (editUser_->exec() == QDialog::Accepted) writeUserPane();
}

void CTovanixDlg::showAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CTovanixDlg::setUpTray() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    tray_ = new QSystemTrayIcon(widgets::programIcon(), this);
    tray_->setToolTip(QString::fromUtf8(kTrayTip));
    tray_->setContextMenu(menus_[MenuId::TrayIcon]);
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::DoubleClick) restoreFromTray();
    });
}

void CTovanixDlg::hideToTray() {
    // Without a tray the icon could never bring the window back: minimise.
    if (tray_ == nullptr) {
        showMinimized();
        return;
    }
    tray_->show();
    tray_->showMessage(QString::fromUtf8(kTrayTip), QString::fromUtf8(kTrayBalloon), QSystemTrayIcon::Information,
                       kTrayBalloonMs);
    hide();
}

void CTovanixDlg::restoreFromTray() {
    showMaximized();
    raise();
    activateWindow();
    if (tray_ != nullptr) tray_->hide();
}

void CTovanixDlg::requestExit(bool fromTray) {
    if (data::backup::running()) {
        prompter_.inform(kExitWhileBackup, kCaptionWarning, PromptIcon::Warning);
        return;
    }
    if (prompter_.ask(kExitQuestion, kCaptionWarning, PromptIcon::Warning, PromptButtons::OkCancel) != PromptAnswer::Ok) {
        return;
    }
    if (fromTray && tray_ != nullptr) tray_->hide();
    stopAndClose();
}

void CTovanixDlg::stopAndClose() {
    // The window and the icon go at once; the threads may take a moment.
    closing_ = true;
    close();
    if (tray_ != nullptr) tray_->hide();
    if (!stopped_) {
        clock_.stop();
        stateTimer_.stop();
        smsTimer_.stop();
        retireTimer_.cancel();
        // The ports close in the polling thread; then both threads end.
        engine_.post(devices::kMsgCloseAllPorts);
        engine_.stop();
        stopped_ = true;
    }
    // The backup panels wait for it when the window goes.
    if (data::backup::running()) engine_.log("waiting for the database backup or restore to end");
    emit stationStopped();
}

void CTovanixDlg::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        return;
    }
    // The close box asks the exit question.
    event->ignore();
    requestExit(false);
}

void CTovanixDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            event->accept();
            return;
        default:
            QMainWindow::keyPressEvent(event);
    }
}

void CTovanixDlg::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() && tray_ != nullptr) {
        // Minimising hides to the notification area, after the state change.
        QTimer::singleShot(0, this, &CTovanixDlg::hideToTray);
    }
}

}  // namespace tovanix::app

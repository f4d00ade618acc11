#include "tests/gui/gui_support.h"

#include <QApplication>
#include <QTimer>

#include "db/connection.h"
#include "db/defaults.h"
#include "db/schema.h"
#include "tests/support/test_db.h"
#include "users/current_user.h"
#include "users/login.h"
#include "widgets/tree_ctrl_ex.h"
#include "tests/support/prompt_recorder.h"

namespace tovanix::test {

namespace {
constexpr int kModalPollMs = 10;
constexpr int kModalWaitMs = 10000;
}  // namespace

bool connectTestServer(QString* why) {
    const TestServer& s = testServer();
    if (!s.available) {
        *why = QStringLiteral("no test database (set TOVANIX_TEST_DB_CNF)");
        return false;
    }
    db::setAccount(s.account);
    return true;
}

bool sql(const std::string& statement) {
    db::Connection c;
    if (!c.open()) return false;
    if (!c.exec(statement)) {
        qWarning("%s: %s", statement.c_str(), c.lastError().c_str());
        return false;
    }
    return true;
}

std::string sqlScalar(const std::string& query) {
    db::Connection c;
    if (!c.open()) return "<no connection>";
    auto rows = c.query(query);
    if (!rows) return "<" + c.lastError() + ">";
    if (rows->empty()) return {};
    return rows->front().text(0);
}

int sqlRows(const std::string& query) {
    db::Connection c;
    if (!c.open()) return -1;
    auto rows = c.query(query);
    return rows ? static_cast<int>(rows->size()) : -1;
}

bool tableExists(const std::string& name) {
    return sqlRows("select * from information_schema.tables where table_schema='TovanDatabase' and table_name='" +
                   name + "'") == 1;
}

bool resetDatabase() {
    db::Connection c;
    if (!c.open(testServer().account, false)) return false;
    if (!c.exec("drop database if exists TovanDatabase")) return false;
    if (!c.exec(db::schema::kCreateDatabase) || !c.exec(db::kUseDatabase)) return false;
    if (!db::schema::createConfigurationTables(c)) return false;
    return db::ensureUserTable(c);
}

bool seedLine(int lineid, const std::string& name, int port) {
    db::Connection c;
    if (!c.open()) return false;
    return c.exec(
        db::sqlf("insert into TovanLineTable (EraseSign,lineid,lineName,ComType,TCPIPPORT,HubIPAddr,"
                 "SerialPortNum,ScantimerInter,scantimerInterUpper,wired) "
                 "values('0','%d','%s','1','0','','%d','3','0','1');",
                 lineid, c.escape(name).c_str(), port));
}

bool seedGroup(int lineid, int roomid, const std::string& name) {
    db::Connection c;
    if (!c.open()) return false;
    return c.exec(db::sqlf("insert into tovanroomtable (RoomName,LineID,EraseSign,roomid) values('%s','%d','0','%d');",
                           c.escape(name).c_str(), lineid, roomid));
}

bool seedDevice(int lineid, int address, const std::string& name, int roomid, int deviceid) {
    db::Connection c;
    if (!c.open()) return false;
    // The columns the load reads; the others keep their defaults. Read
    // just now: a station with missing records would open the lost-record
    // dialog at start.
    return c.exec(
        db::sqlf("insert into TovanDeviceTable (DeviceEraseSign,deviceid,LineID,DeviceName,DeviceNumber,"
                 "DeviceProbeType,AlarmGetSign,CHL1Enable,CHL2Enable,RecordInter,DownLastTime,DownTime3Hour,"
                 "RoomID,SqlRecord) values('0','%d','%d','%s','%d','4','0','0','0','1',"
                 "now(),now(),'%d','0');",
                 deviceid, lineid, c.escape(name).c_str(), address, roomid));
}

bool logInRoot() {
    PromptRecorder p;
    users::openLogin();
    return users::submitLogin(p, db::kRootUser, db::kRootInitialPassword) == users::LoginOutcome::LoggedIn;
}

void setGuest(bool dataView) {
    users::CurrentUser u;
    u.name = "guest";
    u.level = db::kLevelGuest;
    u.dataView = dataView ? 1 : 0;
    users::setCurrent(u);
}

devices::EngineTiming quickTiming(int firstScanMs, int scanUnitMs) {
    devices::EngineTiming t;
    t.beforeReadMs = 1;
    t.afterReadMs = 1;
    t.settingsPauseMs = 1;
    t.downloadEndMs = 1;
    t.firstScanMs = firstScanMs;
    t.scanUnitMs = scanUnitMs;
    return t;
}

void bindDrivers(devices::Engine& engine) {
    engine.setDriverFolder(TOVANIX_BIN_DIR);
}

void whenModal(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    auto started = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, act, started] {
        QWidget* modal = QApplication::activeModalWidget();
        *started += kModalPollMs;
        if (modal == nullptr && *started < kModalWaitMs) return;
        timer->stop();
        timer->deleteLater();
        if (modal != nullptr) act(modal);
    });
    timer->start(kModalPollMs);
}

}  // namespace tovanix::test

namespace tovanix::test {

bool seedStandardStation() {
    return seedLine(1, "一号线", 0) && seedDevice(1, 1, "A1", 0, 1) && seedDevice(1, 2, "A2", 0, 2) &&
           seedLine(3, "三号线", 0) && seedGroup(3, 301, "一组") && seedGroup(3, 302, "二组") &&
           seedDevice(3, 7, "G7", 302, 1) && seedDevice(3, 8, "G8", 302, 2) && seedDevice(3, 1, "G1", 301, 3) &&
           seedDevice(3, 2, "L2", 0, 4);
}

app::CTovanixDlg& WindowFixture::open() {
    window_.reset();
    engine_ = std::make_unique<devices::Engine>(quickTiming());
    if (withDrivers_) bindDrivers(*engine_);
    prompts_ = std::make_unique<PromptRecorder>();
    window_ = std::make_unique<app::CTovanixDlg>(*engine_, *prompts_);
    window_->show();
    return *window_;
}

bool WindowFixture::select(unsigned data) {
    QTreeWidgetItem* item = window_->findNode(data);
    if (item == nullptr) return false;
    window_->tree()->setCurrentItem(item);
    return true;
}

}  // namespace tovanix::test

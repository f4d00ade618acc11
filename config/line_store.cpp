#include "config/line_store.h"

#include "db/connection.h"
#include "db/schema.h"

namespace tovanix::config {

namespace {
bool preamble(db::Connection& c) {
    return c.exec(db::schema::kCreateLineTable);
}
}  // namespace

PortCheck portHeldByLiveLine(int port, int exceptLineid) {
    PortCheck check;
    check.result = db::onOwnConnection([&](db::Connection& c) {
        if (!preamble(c)) return false;
        auto rows = c.query(db::sqlf("select * from tovanlinetable WHERE SerialPortNum = '%d' and EraseSign='0';", port));
        if (!rows) return false;
        for (const auto& r : *rows) check.held = check.held || r.integer(db::schema::line::lineid) != exceptLineid;
        return true;
    });
    return check;
}

LineAdd addLineRow(const db::LineSettings& line) {
    LineAdd add;
    add.result = db::onOwnConnection([&](db::Connection& c) {
        if (!preamble(c)) return false;
        add.allocation = db::allocateLine(c, line);
        return add.allocation.result != db::AllocationResult::Failed;
    });
    return add;
}

StoredLine loadLineRow(int lineid) {
    StoredLine s;
    s.result = db::onOwnConnection([&](db::Connection& c) {
        if (!preamble(c)) return false;
        auto rows = c.query(db::sqlf("select * from tovanlinetable WHERE lineid = '%d';", lineid));
        if (!rows) return false;
        if (rows->empty()) return true;
        using namespace db::schema::line;
        const db::Row& r = rows->front();
        s.found = true;
        s.settings.name = r.text(lineName);
        s.settings.tcpPort = r.integer(TCPIPPort);
        s.settings.hubAddress = r.text(HubIPAddr);
        s.settings.serialPort = r.integer(SerialPortNum);
        s.settings.scanInterval = r.integer(scantimerInter);
        s.settings.scanIntervalUpper = r.integer(scantimerInterUpper);
        s.settings.wired = r.integer(wired);
        return true;
    });
    return s;
}

db::StoreResult updateLineRow(int lineid, const db::LineSettings& line) {
    return db::onOwnConnection([&](db::Connection& c) {
        if (!preamble(c)) return false;
        const std::string hub = c.escape(line.hubAddress);
        return c.exec(db::sqlf("Update  TovanLineTable set ComType=1,TCPIPPORT=%d,HubIPAddr='%s',SerialPortNum=%d,"
                               "ScantimerInter=%d,scantimerInterUpper=%d,wired='%d' where lineid='%d';",
                               line.tcpPort, hub.c_str(), line.serialPort, line.scanInterval, line.scanIntervalUpper,
                               line.wired, lineid));
    });
}

}  // namespace tovanix::config

#include "config/system_setting_store.h"

#include "db/connection.h"
#include "db/defaults.h"
#include "db/schema.h"

namespace tovanix::config {

namespace col = db::schema::system;

SystemRowRead readSystemRow() {
    SystemRowRead r;
    r.result = db::onOwnConnection([&](db::Connection& c) {
        auto rows = c.query("select * from tovansystrmtable;");
        if (!rows) return false;
        if (rows->empty()) return true;
        const db::Row& row = rows->front();
        r.remote.enabled = row.integer(col::ServerOpen) != 0;
        r.remote.address = row.text(col::ServerIP);
        r.remote.port = row.integer(col::ServerPort);
        r.remote.modelId = row.text(col::ModelID);
        r.systemName = row.text(col::SystemName);
        r.companyName = row.text(col::CompanyName);
        r.url = row.text(col::URL);
        return true;
    });
    return r;
}

db::StoreResult saveRemoteService(const RemoteService& remote) {
    return db::onOwnConnection([&](db::Connection& c) {
        return db::ensureSystemRow(c) &&
               c.exec(db::sqlf("update tovansystrmtable set ServerOpen='%d',ServerIP='%s',ServerPort='%d',ModelID='%s';",
                               remote.enabled ? 1 : 0, c.escape(remote.address).c_str(), remote.port,
                               c.escape(remote.modelId).c_str()));
    });
}

db::StoreResult saveCompanyInfo(const std::string& companyName, const std::string& url) {
    return db::onOwnConnection([&](db::Connection& c) {
        return db::ensureSystemRow(c) && c.exec(db::sqlf("update tovansystrmtable set CompanyName='%s',URL='%s'",
                                                         c.escape(companyName).c_str(), c.escape(url).c_str()));
    });
}

}  // namespace tovanix::config

// The statements of the remote-service page and of the company information,
// on connections of their own. Both live in the one row of TovanSystrmTable.
#pragma once

#include <string>

#include "db/store.h"

namespace tovanix::config {

// What the page shows when the server cannot be reached.
inline constexpr const char* kDefaultRemoteAddress = "192.168.1.1";
inline constexpr int kDefaultRemotePort = 5000;

struct RemoteService {
    bool enabled = false;
    std::string address = kDefaultRemoteAddress;
    int port = kDefaultRemotePort;
    std::string modelId;
};

struct SystemRowRead {
    db::StoreResult result = db::StoreResult::ConnectFailed;
    RemoteService remote;  // the defaults above when there is no row
    std::string systemName;
    std::string companyName;
    std::string url;
};
SystemRowRead readSystemRow();

// Both updates write the one system row, created first when it is missing.
db::StoreResult saveRemoteService(const RemoteService& remote);
db::StoreResult saveCompanyInfo(const std::string& companyName, const std::string& url);

}  // namespace tovanix::config

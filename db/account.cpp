#include "db/account.h"

#include <cstdlib>
#include <fstream>
#include <mutex>

#include "platform/paths.h"

namespace tovanix::db {

namespace {
std::mutex accountMutex;  // guards currentAccount
Account currentAccount;

std::string trim(const std::string& s) {
    auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    auto e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}
}  // namespace

void setAccount(const Account& account) {
    std::lock_guard<std::mutex> lock(accountMutex);
    currentAccount = account;
}

Account account() {
    std::lock_guard<std::mutex> lock(accountMutex);
    return currentAccount;
}

namespace {

bool readOptionFile(const std::string& path, ServerAddress& into, Account* account) {
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == '#' || line[0] == '[') continue;
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = trim(line.substr(0, eq));
        std::string value = trim(line.substr(eq + 1));
        if (key == "socket") into.socket = value;
        else if (key == "host") into.host = value;
        else if (key == "port") into.port = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10));
        else if (account != nullptr && key == "user") account->user = value;
        else if (account != nullptr && key == "password") account->password = value;
    }
    return true;
}

}  // namespace

bool readServerFile(const std::string& path, ServerAddress& into) { return readOptionFile(path, into, nullptr); }

bool readClientFile(const std::string& path, ServerAddress& address, Account& account) {
    return readOptionFile(path, address, &account);
}

ServerAddress serverAddress() {
    ServerAddress address;
    readServerFile(platform::stationFolderPath() + "/" + kServerFileName, address);
    if (const char* s = std::getenv(kSocketEnv); s != nullptr && *s != '\0') address.socket = s;
    if (const char* h = std::getenv(kHostEnv); h != nullptr && *h != '\0') address.host = h;
    if (const char* p = std::getenv(kPortEnv); p != nullptr && *p != '\0') {
        address.port = static_cast<unsigned>(std::strtoul(p, nullptr, 10));
    }
    return address;
}

}  // namespace tovanix::db

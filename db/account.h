// The database account every operation connects with (read from the
// credentials file at start-up) and where the server is.
#pragma once

#include <string>

namespace tovanix::db {

struct Account {
    std::string user;
    std::string password;
};

// Process-wide current account; a copy is handed out, guarded by a lock.
void setAccount(const Account& account);
Account account();

// Where the server listens. Empty host and socket mean the local server at
// its default socket.
struct ServerAddress {
    std::string host;
    unsigned port = 0;
    std::string socket;
};

inline constexpr const char* kSocketEnv = "TOVANIX_DB_SOCKET";
inline constexpr const char* kHostEnv = "TOVANIX_DB_HOST";
inline constexpr const char* kPortEnv = "TOVANIX_DB_PORT";
// Optional station setting, one "key=value" per line (socket, host, port).
inline constexpr const char* kServerFileName = "database.conf";

// The environment wins over the station setting; both over the default.
ServerAddress serverAddress();
// Reads a server file; keys that are absent stay as they are in `into`.
bool readServerFile(const std::string& path, ServerAddress& into);
// The same, with the account ("user", "password") of a client option file
// such as the one the private server writes.
bool readClientFile(const std::string& path, ServerAddress& address, Account& account);

}  // namespace tovanix::db

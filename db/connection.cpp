#include "db/connection.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <errmsg.h>
#include <mysql.h>

#include "platform/format.h"

namespace tovanix::db {

namespace {
// The server's own database, as the connection pattern names it; the server
// folds its case (lower_case_table_names=1).
constexpr const char* kInitialDatabase = "MySQL";
constexpr const char* kCharset = "utf8mb4";
constexpr unsigned kConnectTimeoutS = 10;
}  // namespace

std::string Row::text(std::size_t i) const {
    if (isNull(i)) return {};
    return *cols_[i];
}

int Row::integer(std::size_t i) const {
    if (isNull(i)) return 0;
    int v = 0;
    if (std::sscanf(cols_[i]->c_str(), "%d", &v) != 1) return 0;
    return v;
}

double Row::real(std::size_t i) const {
    if (isNull(i)) return 0.0;
    char* end = nullptr;
    double v = std::strtod(cols_[i]->c_str(), &end);
    return end == cols_[i]->c_str() ? 0.0 : v;
}

Connection::Connection() = default;

Connection::~Connection() { close(); }

bool Connection::open() { return open(account(), true); }

bool Connection::open(const Account& acc, bool selectDatabase) {
    close();
    mysql_ = mysql_init(nullptr);
    if (mysql_ == nullptr) {
        error_ = "mysql_init failed";
        return false;
    }
    unsigned timeout = kConnectTimeoutS;
    mysql_options(mysql_, MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
    ServerAddress addr = serverAddress();
    const char* host = addr.host.empty() ? nullptr : addr.host.c_str();
    const char* socket = addr.socket.empty() ? nullptr : addr.socket.c_str();
    if (mysql_real_connect(mysql_, host, acc.user.c_str(), acc.password.c_str(), kInitialDatabase, addr.port,
                           socket, 0) == nullptr) {
        recordError();
        mysql_close(mysql_);
        mysql_ = nullptr;
        return false;
    }
    connected_ = true;
    // Text is UTF-8 end to end; the server is asked for it explicitly.
    if (mysql_set_character_set(mysql_, kCharset) != 0) recordError();
    if (selectDatabase) exec(kUseDatabase);
    return true;
}

void Connection::close() {
    if (mysql_ != nullptr) {
        mysql_close(mysql_);
        mysql_ = nullptr;
    }
    connected_ = false;
}

bool Connection::connectionLost() const {
    return !connected_ || errno_ == CR_SERVER_GONE_ERROR || errno_ == CR_SERVER_LOST;
}

bool Connection::serverUnreachable() const {
    switch (errno_) {
    case CR_SOCKET_CREATE_ERROR:
    case CR_CONNECTION_ERROR:
    case CR_CONN_HOST_ERROR:
    case CR_IPSOCK_ERROR:
    case CR_UNKNOWN_HOST:
    case CR_SERVER_GONE_ERROR:
    case CR_SERVER_LOST:
        return true;
    default:
        return false;
    }
}

void Connection::recordError() {
    if (mysql_ == nullptr) return;
    error_ = mysql_error(mysql_);
    errno_ = mysql_errno(mysql_);
}

bool Connection::exec(const std::string& sql) {
    affected_ = 0;
    if (!connected_) {
        error_ = "not connected";
        return false;
    }
    if (mysql_real_query(mysql_, sql.data(), sql.size()) != 0) {
        recordError();
        return false;
    }
    // A statement that unexpectedly returns rows must not leave them pending.
    if (MYSQL_RES* res = mysql_store_result(mysql_)) mysql_free_result(res);
    my_ulonglong n = mysql_affected_rows(mysql_);
    affected_ = n == static_cast<my_ulonglong>(-1) ? 0 : n;
    return true;
}

std::optional<Rows> Connection::query(const std::string& sql) {
    if (!connected_) {
        error_ = "not connected";
        return std::nullopt;
    }
    if (mysql_real_query(mysql_, sql.data(), sql.size()) != 0) {
        recordError();
        return std::nullopt;
    }
    MYSQL_RES* res = mysql_store_result(mysql_);
    if (res == nullptr) {
        if (mysql_field_count(mysql_) != 0) {
            recordError();
            return std::nullopt;
        }
        return Rows{};
    }
    Rows rows;
    rows.reserve(static_cast<std::size_t>(mysql_num_rows(res)));
    unsigned fields = mysql_num_fields(res);
    while (MYSQL_ROW row = mysql_fetch_row(res)) {
        unsigned long* lengths = mysql_fetch_lengths(res);
        std::vector<std::optional<std::string>> cols;
        cols.reserve(fields);
        for (unsigned i = 0; i < fields; ++i) {
            if (row[i] == nullptr) cols.emplace_back(std::nullopt);
            else cols.emplace_back(std::string(row[i], lengths[i]));
        }
        rows.emplace_back(std::move(cols));
    }
    mysql_free_result(res);
    return rows;
}

bool Connection::streamRows(const std::string& sql, RowVisitor visitor, void* context) {
    if (!connected_) {
        error_ = "not connected";
        return false;
    }
    if (mysql_real_query(mysql_, sql.data(), sql.size()) != 0) {
        recordError();
        return false;
    }
    MYSQL_RES* res = mysql_use_result(mysql_);
    if (res == nullptr) {
        if (mysql_field_count(mysql_) != 0) {
            recordError();
            return false;
        }
        return true;
    }
    const unsigned fields = mysql_num_fields(res);
    bool completed = true;
    while (MYSQL_ROW row = mysql_fetch_row(res)) {
        if (!visitor(context, row, mysql_fetch_lengths(res), fields)) {
            completed = false;
            break;
        }
    }
    // A fetch that ended on an error (server gone) is no complete result.
    if (completed && mysql_errno(mysql_) != 0) {
        recordError();
        completed = false;
    }
    // Frees the rest of an unfinished result too.
    mysql_free_result(res);
    return completed;
}

std::string Connection::escape(std::string_view text) const {
    std::string out(text.size() * 2 + 1, '\0');
    unsigned long n;
    if (mysql_ != nullptr) {
        n = mysql_real_escape_string(mysql_, out.data(), text.data(), static_cast<unsigned long>(text.size()));
    } else {
        n = mysql_escape_string(out.data(), text.data(), static_cast<unsigned long>(text.size()));
    }
    out.resize(n);
    return out;
}

std::string sqlf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = platform::vformat(format, args);
    va_end(args);
    return out;
}

}  // namespace tovanix::db

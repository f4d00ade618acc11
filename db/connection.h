// One database connection per operation: connect, character set, "use
// TovanDatabase", the operation's statements, close — on every path, by the
// destructor. No pooling, no transactions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "db/account.h"

struct st_mysql;

namespace tovanix::db {

inline constexpr const char* kDatabaseName = "TovanDatabase";
inline constexpr const char* kUseDatabase = "use TovanDatabase";

// One row of a "select *", read by column position as text.
class Row {
public:
    Row() = default;
    explicit Row(std::vector<std::optional<std::string>> cols) : cols_(std::move(cols)) {}
    std::size_t size() const { return cols_.size(); }
    bool isNull(std::size_t i) const { return i >= cols_.size() || !cols_[i].has_value(); }
    // Text of column i; empty for NULL or a missing column.
    std::string text(std::size_t i) const;
    // Column i read with "%d"; 0 when NULL, missing or not a number.
    int integer(std::size_t i) const;
    // Column i read as a float; 0 when NULL, missing or not a number.
    double real(std::size_t i) const;

private:
    std::vector<std::optional<std::string>> cols_;
};

using Rows = std::vector<Row>;

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Connects with the process-wide account to the configured server, sets
    // utf8mb4 and selects TovanDatabase. False when the server refuses; the
    // result of "use" does not count.
    bool open();
    // Same with an explicit account; selectDatabase false skips "use".
    bool open(const Account& account, bool selectDatabase = true);
    bool isOpen() const { return connected_; }
    void close();

    // Runs one statement that returns no rows. False on failure.
    bool exec(const std::string& sql);
    // Runs a SELECT; nullopt on failure.
    std::optional<Rows> query(const std::string& sql);
    // Runs a SELECT and hands each row to `each` as the server sends it,
    // without keeping the result in memory (the history of a year is half a
    // million rows). `each` returns false to stop early. False when the
    // statement failed or was stopped.
    using RowVisitor = bool (*)(void* context, const char* const* cols, const unsigned long* lengths,
                                unsigned count);
    template <typename Each>
    bool forEachRow(const std::string& sql, Each&& each) {
        return streamRows(sql, &Connection::visit<Each>, &each);
    }
    // Rows affected by the last exec().
    std::uint64_t affectedRows() const { return affected_; }

    // Escapes text for use inside '...' of a statement.
    std::string escape(std::string_view text) const;

    const std::string& lastError() const { return error_; }
    // True when the last failure was the server going away (it restarted or
    // dropped the connection): opening again may help.
    bool connectionLost() const;
    // True when the last failure was not reaching the server at all (no
    // socket, no host, nothing listening), as against the server refusing
    // the account.
    bool serverUnreachable() const;
    unsigned lastErrno() const { return errno_; }

private:
    template <typename Each>
    static bool visit(void* context, const char* const* cols, const unsigned long* lengths, unsigned count) {
        return (*static_cast<std::remove_reference_t<Each>*>(context))(cols, lengths, count);
    }
    bool streamRows(const std::string& sql, RowVisitor visitor, void* context);
    void recordError();

    st_mysql* mysql_ = nullptr;
    bool connected_ = false;
    std::uint64_t affected_ = 0;
    std::string error_;
    unsigned errno_ = 0;
};

// printf-style statement building into a string of any length. Text
// arguments must already be escaped.
std::string sqlf(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tovanix::db

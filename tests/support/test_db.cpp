#include "tests/support/test_db.h"

#include <cstdlib>

#include "db/defaults.h"
#include "db/schema.h"

namespace tovanix::test {

namespace {

TestServer load() {
    TestServer s;
    const char* cnf = std::getenv("TOVANIX_TEST_DB_CNF");
    if (cnf == nullptr || *cnf == '\0') return s;
    db::ServerAddress addr;
    if (!db::readClientFile(cnf, addr, s.account)) return s;
    s.socket = addr.socket;
    ::setenv(db::kSocketEnv, s.socket.c_str(), 1);
    db::setAccount(s.account);
    s.available = !s.socket.empty() && !s.account.user.empty();
    return s;
}

}  // namespace

const TestServer& testServer() {
    static const TestServer server = load();
    return server;
}

void DbTest::SetUp() {
    const TestServer& s = testServer();
    if (!s.available) {
        const char* require = std::getenv("TOVANIX_TEST_REQUIRE_DB");
        if (require != nullptr && std::string(require) == "1") FAIL() << "TOVANIX_TEST_DB_CNF is not usable";
        GTEST_SKIP() << "no test database (set TOVANIX_TEST_DB_CNF)";
    }
    db::setAccount(s.account);
    dropDatabase();
}

void DbTest::dropDatabase() {
    db::Connection c;
    ASSERT_TRUE(c.open(testServer().account, false)) << c.lastError();
    ASSERT_TRUE(c.exec("drop database if exists TovanDatabase")) << c.lastError();
}

void DbTest::createDatabase() {
    db::Connection c;
    ASSERT_TRUE(c.open(testServer().account, false)) << c.lastError();
    ASSERT_TRUE(c.exec(db::schema::kCreateDatabase)) << c.lastError();
    ASSERT_TRUE(c.exec(db::kUseDatabase)) << c.lastError();
    ASSERT_TRUE(db::schema::createConfigurationTables(c)) << c.lastError();
}

void execOrFail(const std::string& sql) {
    db::Connection c;
    ASSERT_TRUE(c.open()) << c.lastError();
    ASSERT_TRUE(c.exec(sql)) << sql << ": " << c.lastError();
}

std::string scalar(const std::string& sql) {
    db::Connection c;
    if (!c.open()) {
        ADD_FAILURE() << c.lastError();
        return {};
    }
    auto rows = c.query(sql);
    if (!rows) {
        ADD_FAILURE() << sql << ": " << c.lastError();
        return {};
    }
    if (rows->empty()) return {};
    return rows->front().text(0);
}

int rowCount(const std::string& sql) {
    db::Connection c;
    if (!c.open()) {
        ADD_FAILURE() << c.lastError();
        return -1;
    }
    auto rows = c.query(sql);
    if (!rows) {
        ADD_FAILURE() << sql << ": " << c.lastError();
        return -1;
    }
    return static_cast<int>(rows->size());
}

}  // namespace tovanix::test

// The private server that scripts/test starts: its option file is named by
// TOVANIX_TEST_DB_CNF. Tests that need the server use DbTest; when the
// variable is missing they are skipped, unless TOVANIX_TEST_REQUIRE_DB=1
// (as scripts/test sets it), where they fail.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "db/account.h"
#include "db/connection.h"

namespace tovanix::test {

struct TestServer {
    std::string socket;
    db::Account account;
    bool available = false;
};

// Reads TOVANIX_TEST_DB_CNF once, points the station at that socket and
// sets the process-wide account.
const TestServer& testServer();

// Runs a statement on a fresh connection; fails the test when it fails.
void execOrFail(const std::string& sql);
// First column of the first row, or "" when no row.
std::string scalar(const std::string& sql);
// Number of rows of a query.
int rowCount(const std::string& sql);

class DbTest : public ::testing::Test {
protected:
    void SetUp() override;
    // Drops TovanDatabase so each test starts empty.
    static void dropDatabase();
    // Creates it with every configuration table.
    static void createDatabase();
};

}  // namespace tovanix::test

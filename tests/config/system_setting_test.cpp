// The remote-service settings and the company information against the
// private server, and the connection test against sockets of this machine.
#include <gtest/gtest.h>

#include "config/system_setting.h"
#include "db/account.h"
#include "db/defaults.h"
#include "platform/prompter.h"
#include "tests/support/local_tcp.h"
#include "tests/support/prompt_recorder.h"
#include "tests/support/test_db.h"

namespace tovanix::config {
namespace {

using test::DbTest;
using test::execOrFail;
using test::PromptRecorder;
using test::scalar;

TEST(ConnectionTest, AnswersAsTheAddressDoes) {
    test::LocalTcp server(test::LocalTcp::Kind::Accepting);
    test::LocalTcp nobody(test::LocalTcp::Kind::Refusing);
    ASSERT_NE(server.port(), 0);
    ASSERT_NE(nobody.port(), 0);
    struct Case {
        const char* address;
        int port;
        bool connected;
        std::vector<std::string> messages;
    } cases[] = {
        {"127.0.0.1", server.port(), true, {kConnected}},
        {"localhost", server.port(), true, {kConnected}},
        {"127.0.0.1", nobody.port(), false, {kConnectFailed}},
        {"", server.port(), false, {kConnectFailed}},
        {"127.0.0.1", 0, false, {kConnectFailed}},
        {"no such host.invalid", server.port(), false, {kConnectFailed}},
    };
    for (const Case& c : cases) {
        RemoteService r;
        r.address = c.address;
        r.port = c.port;
        const platform::TcpProbeResult result = testRemoteConnection(r);
        EXPECT_TRUE(result.socketCreated) << c.address;
        EXPECT_EQ(result.connected, c.connected) << c.address << ":" << c.port;
        PromptRecorder prompts;
        reportConnectionTest(prompts, result);
        EXPECT_EQ(prompts.texts(), c.messages) << c.address;
    }
}

TEST(ConnectionTest, AnAddressThatNeverAnswersIsGivenUp) {
    test::LocalTcp silent(test::LocalTcp::Kind::Silent);
    ASSERT_NE(silent.port(), 0);
    RemoteService r;
    r.address = "127.0.0.1";
    r.port = silent.port();
    const platform::TcpProbeResult result = testRemoteConnection(r, std::chrono::milliseconds(200));
    EXPECT_TRUE(result.socketCreated);
    EXPECT_FALSE(result.connected);
}

TEST(ConnectionTest, NoSocketIsToldBeforeTheFailure) {
    PromptRecorder prompts;
    reportConnectionTest(prompts, {false, false});
    EXPECT_EQ(prompts.texts(), (std::vector<std::string>{kSocketFailed, kConnectFailed}));
}

class SystemSettingTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (IsSkipped() || HasFailure()) return;
        createDatabase();
        execOrFail("insert into TovanSystrmTable (SystemName,ServerOpen,ServerIP,ServerPort,CompanyName,URL,ModelID) "
                   "values('系统','0','192.168.1.1','5000','','','')");
    }
    PromptRecorder prompts;
};

TEST_F(SystemSettingTest, ModelIdOfSixCharactersWhenTheServiceIsOn) {
    struct Case {
        bool enabled;
        const char* modelId;
        bool saved;
        const char* message;
    } cases[] = {
        {true, "C0000", false, kModelIdLength},
        {true, "C00001", true, nullptr},
        {true, "C000001", false, kModelIdLength},
        {true, "", false, kModelIdLength},
        {true, "型号一二三四", true, nullptr},  // characters, not bytes
        {false, "C0000", true, nullptr},
        {false, "C00002", true, nullptr},
        {false, "", true, nullptr},
        {false, "C000003", false, kModelIdTooLong},  // the column holds six
    };
    for (const Case& c : cases) {
        execOrFail("update tovansystrmtable set ModelID='before'");
        prompts.prompts.clear();
        RemoteService r;
        r.enabled = c.enabled;
        r.address = "10.0.0.7";
        r.port = 6001;
        r.modelId = c.modelId;
        EXPECT_EQ(submitRemoteService(prompts, r), c.saved) << c.modelId << " " << c.enabled;
        if (c.message != nullptr) {
            EXPECT_EQ(prompts.texts(), std::vector<std::string>{c.message}) << c.modelId;
            EXPECT_EQ(scalar("select ModelID from tovansystrmtable"), "before") << c.modelId;
        } else {
            EXPECT_TRUE(prompts.prompts.empty()) << c.modelId;
            EXPECT_EQ(scalar("select ModelID from tovansystrmtable"), c.modelId);
            EXPECT_EQ(scalar("select ServerOpen from tovansystrmtable"), c.enabled ? "1" : "0");
        }
    }
}

TEST_F(SystemSettingTest, SavedSettingsReadBackAndTheSystemNameStays) {
    execOrFail("update tovansystrmtable set SystemName='冷链监测站'");
    RemoteService r;
    r.enabled = true;
    r.address = "srv'1\\\"x";
    r.port = 6553;
    r.modelId = "A'B\\CD";
    ASSERT_TRUE(submitRemoteService(prompts, r));
    const RemoteService back = openRemoteService();
    EXPECT_TRUE(back.enabled);
    EXPECT_EQ(back.address, r.address);
    EXPECT_EQ(back.port, 6553);
    EXPECT_EQ(back.modelId, r.modelId);
    EXPECT_EQ(scalar("select SystemName from tovansystrmtable"), "冷链监测站");
    EXPECT_EQ(test::rowCount("select * from tovansystrmtable"), 1);
}

TEST_F(SystemSettingTest, AMissingSystemRowIsCreatedBySaving) {
    execOrFail("delete from tovansystrmtable");
    // Nothing to read: the page's defaults.
    const RemoteService shown = openRemoteService();
    EXPECT_FALSE(shown.enabled);
    EXPECT_EQ(shown.address, kDefaultRemoteAddress);
    EXPECT_EQ(shown.port, kDefaultRemotePort);
    EXPECT_EQ(shown.modelId, "");
    ASSERT_TRUE(submitCompanyInfo(prompts, "甲公司", "http://a.example"));
    EXPECT_EQ(test::rowCount("select * from tovansystrmtable"), 1);
    EXPECT_EQ(scalar("select SystemName from tovansystrmtable"), db::kDefaultSystemName);
    EXPECT_EQ(scalar("select CompanyName from tovansystrmtable"), "甲公司");
}

TEST_F(SystemSettingTest, CompanyTextsRoundTripAsTyped) {
    for (const char* name : {"O'Brien \"冷链\" 有限公司", "a\\b%c_d", ""}) {
        ASSERT_TRUE(submitCompanyInfo(prompts, name, std::string("http://x.example/?q='") + name));
        const SystemRowRead r = readSystemRow();
        EXPECT_EQ(r.companyName, name);
        EXPECT_EQ(r.url, std::string("http://x.example/?q='") + name);
    }
    EXPECT_TRUE(prompts.prompts.empty());
}

TEST_F(SystemSettingTest, ACompanyNameTooLongForItsColumnIsToldAndNotCut) {
    ASSERT_TRUE(submitCompanyInfo(prompts, "甲公司", ""));
    const std::string tooLong(kSystemTextCharacters + 1, 'x');
    EXPECT_FALSE(submitCompanyInfo(prompts, tooLong, ""));
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kCompanyWriteFailed});
    EXPECT_EQ(scalar("select CompanyName from tovansystrmtable"), "甲公司");
}

TEST_F(SystemSettingTest, UnreachableServerKeepsTheDefaultsAndSavesNothing) {
    submitCompanyInfo(prompts, "甲公司", "");
    const db::Account good = db::account();
    db::setAccount({good.user, good.password + "x"});
    const RemoteService shown = openRemoteService();
    RemoteService r;
    r.enabled = true;
    r.modelId = "C00001";
    const bool saved = submitRemoteService(prompts, r);
    const bool companySaved = submitCompanyInfo(prompts, "乙公司", "");
    db::setAccount(good);
    EXPECT_EQ(shown.address, kDefaultRemoteAddress);
    EXPECT_EQ(shown.port, kDefaultRemotePort);
    EXPECT_FALSE(saved);
    EXPECT_FALSE(companySaved);
    // The remote page says nothing; the company information tells it.
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kCompanyWriteFailed});
    EXPECT_EQ(scalar("select CompanyName from tovansystrmtable"), "甲公司");
    EXPECT_EQ(scalar("select ModelID from tovansystrmtable"), "");
}

}  // namespace
}  // namespace tovanix::config

// The user-management page and the add-user dialog without their windows,
// against the private server: accounts, rights rows, the root password.
#include <gtest/gtest.h>

#include "db/connection.h"
#include "db/schema.h"
#include "platform/prompter.h"
#include "tests/support/prompt_recorder.h"
#include "tests/support/test_db.h"
#include "users/current_user.h"
#include "users/login.h"
#include "users/user_manage.h"

namespace tovanix::users {
namespace {

using test::DbTest;
using test::execOrFail;
using test::PromptRecorder;
using test::rowCount;
using test::scalar;

class UserManageTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (IsSkipped() || HasFailure()) return;
        createDatabase();
        execOrFail(db::schema::kCreateUserTable);
        execOrFail("insert into tovanusertable (User_Name,PassWord,User_Right) values('root','582046','2');");
        CurrentUser root;
        root.name = "root";
        root.password = "582046";
        root.level = 2;
        root.grantAll();
        setCurrent(root);
    }
    static std::vector<std::string> names() {
        std::vector<std::string> out;
        for (const ListedUser& u : listUsers().users) out.push_back(u.name);
        return out;
    }
    PromptRecorder prompts;
};

TEST_F(UserManageTest, AddUserChecksInOrder) {
    struct Case {
        std::string name, password, confirm;
        int level;
        bool close;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"", "1", "1", 1, false, kNameEmpty},
        {"alice", "", "", 1, false, kPasswordEmpty},
        {"alice", "a", "b", 1, false, kPasswordsDiffer},
        {"a234567890123456x", "1", "1", 1, false, kNameTooLong},
        {"一二三四五六七八九十一二三四五六", "1", "1", 0, true, kUserAdded},  // sixteen characters fit
        {"alice", "Pa'ss\"\\", "Pa'ss\"\\", 1, true, kUserAdded},
        {"ALICE", "1", "1", 0, false, "用户名  ALICE  已经存在！"},
        {"Root", "1", "1", 1, false, "用户名  Root  已经存在！"},
        {"o'neil", "x", "x", 0, true, kUserAdded},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        prompts.prompts.clear();
        EXPECT_EQ(submitAddUser(prompts, c.name, c.password, c.confirm, c.level).close, c.close);
        ASSERT_EQ(prompts.texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(prompts.prompts[0].caption, kCaptionApplication);
    }
    EXPECT_EQ(names(), (std::vector<std::string>{"一二三四五六七八九十一二三四五六", "alice", "o'neil"}));
    EXPECT_EQ(scalar("select User_Right from tovanusertable where User_Name='o''neil'"), "0");
    // Quotes round-trip and log in; a password differing in case does not.
    PromptRecorder login;
    EXPECT_EQ(submitLogin(login, "alice", "pa'ss\"\\"), LoginOutcome::Stay);
    EXPECT_EQ(submitLogin(login, "alice", "Pa'ss\"\\"), LoginOutcome::LoggedIn);
    EXPECT_EQ(current().name, "alice");
    EXPECT_EQ(submitLogin(login, "o'neil", "x"), LoginOutcome::LoggedIn);
}

TEST_F(UserManageTest, RootIsNeitherListedNorDeleted) {
    execOrFail("insert into tovanusertable (User_Name,PassWord,User_Right) values('Root2','1','1'),('bob','1','0');");
    EXPECT_EQ(names(), (std::vector<std::string>{"Root2", "bob"}));
    UserDeletion d = deleteUsers(prompts, {{1, "root"}, {3, "bob"}});
    EXPECT_FALSE(d.changed);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kRootNotDeleted});
    EXPECT_EQ(rowCount("select * from tovanusertable"), 3);
}

TEST_F(UserManageTest, DeletionAsksForEachAndCancelEndsIt) {
    execOrFail("insert into tovanusertable (User_Name,PassWord,User_Right) values('ann','1','1'),('bob','1','0');");
    const std::vector<ListedUser> both = listUsers().users;
    ASSERT_EQ(both.size(), 2u);
    prompts.answers = {PromptAnswer::Cancel};
    EXPECT_FALSE(deleteUsers(prompts, both).changed);
    EXPECT_EQ(rowCount("select * from tovanusertable"), 3);
    prompts.prompts.clear();
    UserDeletion d = deleteUsers(prompts, both);
    EXPECT_TRUE(d.changed);
    EXPECT_TRUE(d.users.empty());
    EXPECT_EQ(prompts.texts(), (std::vector<std::string>{"确定删除用户: ann ？", kUserDeleted, "确定删除用户: bob ？",
                                                         kUserDeleted}));
    EXPECT_EQ(prompts.prompts[0].caption, kCaptionConfirm);
    EXPECT_EQ(rowCount("select * from tovanusertable where binary User_Name='root'"), 1);
}

TEST_F(UserManageTest, RightsRowsCreatedAndSavedWithCompanyInfo) {
    RightsRead user = readRights(1);
    ASSERT_EQ(user.result, db::StoreResult::Done);
    EXPECT_EQ(user.flags, (RightFlags{0, 0, 0, 1, 0, 0, 0, 0}));
    RightsRead guest = readRights(0);
    EXPECT_EQ(guest.flags, RightFlags{});
    EXPECT_EQ(rowCount("select * from tovanuserrighttable"), 2);
    readRights(1);
    EXPECT_EQ(rowCount("select * from tovanuserrighttable"), 2);

    execOrFail("update tovanuserrighttable set Setting=1 where User_Right=0");
    EXPECT_TRUE(saveLevelRights(prompts, 0, {0, 0, 1, 0, 0, 0}, readRights(0).flags[kSetting]));
    EXPECT_EQ(readRights(0).flags, (RightFlags{0, 0, 1, 0, 0, 0, 1, 1}));
    EXPECT_TRUE(prompts.prompts.empty());

    execOrFail("drop table tovanuserrighttable");
    EXPECT_FALSE(saveLevelRights(prompts, 1, {1, 1, 1, 1, 1, 1}, 0));
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kRightsSaveFailed});
}

TEST_F(UserManageTest, RightsTakeEffectAtTheNextLogin) {
    execOrFail("insert into tovanusertable (User_Name,PassWord,User_Right) values('ann','1','1'),('gus','1','0');");
    PromptRecorder login;
    // No rights row yet: the login works and grants nothing.
    ASSERT_EQ(submitLogin(login, "gus", "1"), LoginOutcome::LoggedIn);
    for (Right r : {Right::DeviceManagement, Right::AlarmSetting, Right::AlarmAck, Right::DataView,
                    Right::UserManage, Right::DatabaseManage})
        EXPECT_FALSE(hasRight(r));
    // Each of the six rights alone, for both levels.
    const Right order[6] = {Right::DeviceManagement, Right::AlarmSetting, Right::AlarmAck,
                            Right::DataView,         Right::UserManage,   Right::DatabaseManage};
    for (int level : {1, 0}) {
        readRights(level);
        for (int i = 0; i < 6; ++i) {
            std::array<int, 6> rights{};
            rights[i] = 1;
            ASSERT_TRUE(saveLevelRights(login, level, rights, 0));
            ASSERT_EQ(submitLogin(login, level == 1 ? "ann" : "gus", "1"), LoginOutcome::LoggedIn);
            for (int j = 0; j < 6; ++j) EXPECT_EQ(hasRight(order[j]), i == j) << level << ' ' << i << ' ' << j;
        }
    }
}

TEST_F(UserManageTest, RootPassword) {
    execOrFail("insert into tovanusertable (User_Name,PassWord,User_Right) values('ROOT','keep','1');");
    struct Case {
        std::string oldPw, newPw, repeat;
        bool changed;
        std::string message, caption;
        UserField focus;
    };
    const Case cases[] = {
        {"", "n", "n", false, kPasswordEmpty, kCaptionInfo, UserField::None},
        {"582046", "n", "m", false, kNewPasswordsDiffer, kNewPasswordLabel, UserField::NewPassword},
        {"wrong", "n", "n", false, kOldPasswordWrong, kOldPasswordLabel, UserField::OldPassword},
        {"582046", "N'ew", "N'ew", true, "", "", UserField::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.oldPw + "/" + c.newPw);
        prompts.prompts.clear();
        RootPasswordOutcome out = changeRootPassword(prompts, c.oldPw, c.newPw, c.repeat);
        EXPECT_EQ(out.changed, c.changed);
        EXPECT_EQ(out.focus, c.focus);
        if (c.message.empty()) {
            EXPECT_TRUE(prompts.prompts.empty());
        } else {
            ASSERT_EQ(prompts.texts(), std::vector<std::string>{c.message});
            EXPECT_EQ(prompts.prompts[0].caption, c.caption);
        }
    }
    EXPECT_EQ(scalar("select PassWord from tovanusertable where binary User_Name='root'"), "N'ew");
    EXPECT_EQ(scalar("select PassWord from tovanusertable where binary User_Name='ROOT'"), "keep");
    EXPECT_EQ(current().password, "N'ew");
}

}  // namespace
}  // namespace tovanix::users

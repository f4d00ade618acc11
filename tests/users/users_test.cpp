#include <gtest/gtest.h>

#include "db/connection.h"
#include "db/defaults.h"
#include "db/schema.h"
#include "tests/support/prompt_recorder.h"
#include "tests/support/test_db.h"
#include "users/current_user.h"
#include "users/edit_user.h"
#include "users/login.h"
#include "users/user_store.h"

namespace tovanix::users {
namespace {

using test::DbTest;
using test::execOrFail;
using test::PromptRecorder;
using test::rowCount;
using test::scalar;

class UsersTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (IsSkipped() || HasFailure()) return;
        createDatabase();
        db::Connection c;
        ASSERT_TRUE(c.open());
        ASSERT_TRUE(c.exec(db::schema::kCreateUserTable));
        setCurrent(CurrentUser{});
    }
    static void addUser(const std::string& name, const std::string& password, int level) {
        db::Connection c;
        ASSERT_TRUE(c.open());
        ASSERT_TRUE(
            c.exec(db::sqlf("insert into tovanusertable (User_Name,PassWord,User_Right) values('%s','%s','%d');",
                            c.escape(name).c_str(), c.escape(password).c_str(), level)));
    }
    static void logIn(const std::string& name, const std::string& password) {
        PromptRecorder p;
        ASSERT_EQ(submitLogin(p, name, password), LoginOutcome::LoggedIn);
    }
};

TEST_F(UsersTest, EmptyTableOffersOnlyRoot) {
    execOrFail("drop database TovanDatabase");
    std::vector<std::string> names = openLogin();
    ASSERT_EQ(names, std::vector<std::string>{"root"});
    EXPECT_EQ(rowCount("select * from tovanusertable"), 1);
    EXPECT_EQ(scalar("select PassWord from tovanusertable where User_Name='root'"), "582046");
    EXPECT_EQ(scalar("select User_Right from tovanusertable where User_Name='root'"), "2");
    // A second opening adds nothing.
    EXPECT_EQ(openLogin().size(), 1u);
    EXPECT_EQ(rowCount("select * from tovanusertable"), 1);
}

TEST_F(UsersTest, NamesAreSortedWithoutRegardToCase) {
    addUser("zeta", "1", 1);
    addUser("Alpha", "1", 1);
    addUser("beta", "1", 0);
    addUser("root", "582046", 2);
    EXPECT_EQ(openLogin(), (std::vector<std::string>{"Alpha", "beta", "root", "zeta"}));
}

TEST_F(UsersTest, RootLogsInWithEveryRight) {
    openLogin();
    PromptRecorder p;
    EXPECT_EQ(submitLogin(p, "root", "582046"), LoginOutcome::LoggedIn);
    EXPECT_TRUE(p.prompts.empty());
    CurrentUser me = current();
    EXPECT_EQ(me.name, "root");
    EXPECT_EQ(me.level, 2);
    for (Right r : {Right::DeviceManagement, Right::AlarmSetting, Right::AlarmAck, Right::DataView, Right::UserManage,
                    Right::DatabaseManage}) {
        EXPECT_TRUE(me.has(r));
    }
    EXPECT_EQ(statusPaneText(me), "当前用户:root[系统管理员]");
}

TEST_F(UsersTest, WrongPasswordKeepsTheDialogAndTheUser) {
    openLogin();
    PromptRecorder p;
    EXPECT_EQ(submitLogin(p, "root", "582047"), LoginOutcome::Stay);
    ASSERT_EQ(p.prompts.size(), 1u);
    EXPECT_EQ(p.prompts[0].text, "输入密码错误，请重试");
    EXPECT_EQ(p.prompts[0].caption, "登陆错误");
    EXPECT_EQ(current().name, "");
}

TEST_F(UsersTest, PasswordsDifferingInCaseAreDifferent) {
    addUser("ann", "Secret", 1);
    PromptRecorder p;
    EXPECT_EQ(submitLogin(p, "ann", "secret"), LoginOutcome::Stay);
    EXPECT_EQ(submitLogin(p, "ann", "Secret"), LoginOutcome::LoggedIn);
}

TEST_F(UsersTest, LevelWithoutRightsRowGrantsNothing) {
    addUser("guest", "g", 0);
    logIn("guest", "g");
    CurrentUser me = current();
    EXPECT_EQ(me.level, 0);
    EXPECT_FALSE(me.has(Right::DataView));
    EXPECT_EQ(statusPaneText(me), "当前用户:guest[访客]");
}

TEST_F(UsersTest, AdministratorGetsTheRightsOfLevelOne) {
    addUser("op", "o", 1);
    {
        db::Connection c;
        ASSERT_TRUE(c.open());
        ASSERT_TRUE(db::ensureRightsRow(c, db::kLevelAdministrator));
    }
    logIn("op", "o");
    CurrentUser me = current();
    EXPECT_TRUE(me.has(Right::DataView));
    EXPECT_FALSE(me.has(Right::DeviceManagement));
    EXPECT_FALSE(me.has(Right::DatabaseManage));
    EXPECT_EQ(statusPaneText(me), "当前用户:op[管理员]");
}

TEST_F(UsersTest, UnknownLevelIsTaggedUnknown) {
    CurrentUser u;
    u.name = "x";
    u.level = 7;
    EXPECT_EQ(statusPaneText(u), "当前用户:x[未知]");
}

TEST_F(UsersTest, UnreachableDatabaseClosesWithOkAndKeepsTheUser) {
    openLogin();
    logIn("root", "582046");
    const db::Account good = db::account();
    db::setAccount({good.user, good.password + "x"});
    PromptRecorder p;
    EXPECT_TRUE(openLogin().empty());
    EXPECT_EQ(submitLogin(p, "root", "582046"), LoginOutcome::DatabaseFailed);
    db::setAccount(good);
    EXPECT_EQ(p.texts(), std::vector<std::string>{"数据库打开失败"});
    EXPECT_EQ(p.prompts[0].caption, "提示");
    EXPECT_EQ(current().name, "root");
}

TEST_F(UsersTest, NamesWithQuotesLogIn) {
    addUser("o'neil", "p\"w", 1);
    EXPECT_EQ(openLogin(), (std::vector<std::string>{"o'neil"}));
    PromptRecorder p;
    EXPECT_EQ(submitLogin(p, "o'neil", "p\"w"), LoginOutcome::LoggedIn);
    EXPECT_EQ(current().name, "o'neil");
}

// The own-account dialog.
class EditUserTest : public UsersTest {
protected:
    void SetUp() override {
        UsersTest::SetUp();
        if (IsSkipped() || HasFailure()) return;
        addUser("bob", "old", 1);
        logIn("bob", "old");
    }
    static EditUserOutcome submit(PromptRecorder& p, const std::string& name, const std::string& oldPw,
                                  const std::string& newPw, const std::string& repeat) {
        return submitEditUser(p, {name, oldPw, newPw, repeat});
    }
};

TEST_F(EditUserTest, NameOnlyWithWrongOldPasswordChangesNothing) {
    PromptRecorder p;
    EditUserOutcome r = submit(p, "robert", "bad", "", "");
    EXPECT_FALSE(r.close);
    EXPECT_EQ(r.focus, EditField::OldPassword);
    ASSERT_EQ(p.prompts.size(), 1u);
    EXPECT_EQ(p.prompts[0].text, "原密码错误！");
    EXPECT_EQ(p.prompts[0].caption, "原密码");
    EXPECT_EQ(rowCount("select * from tovanusertable where User_Name='bob'"), 1);
    EXPECT_EQ(current().name, "bob");
}

TEST_F(EditUserTest, NameOnly) {
    PromptRecorder p;
    EditUserOutcome r = submit(p, "robert", "old", "", "");
    EXPECT_TRUE(r.close);
    ASSERT_EQ(p.texts(), std::vector<std::string>{"用户名修改成功！"});
    EXPECT_EQ(scalar("select PassWord from tovanusertable where User_Name='robert'"), "old");
    EXPECT_EQ(current().name, "robert");
    EXPECT_EQ(current().password, "old");
}

TEST_F(EditUserTest, NameAndPassword) {
    PromptRecorder p;
    EditUserOutcome r = submit(p, "robert", "old", "new", "new");
    EXPECT_TRUE(r.close);
    EXPECT_EQ(p.texts(), std::vector<std::string>{"用户名和密码修改成功！"});
    EXPECT_EQ(scalar("select PassWord from tovanusertable where User_Name='robert'"), "new");
    EXPECT_EQ(current().password, "new");
}

TEST_F(EditUserTest, PasswordOnlyChecks) {
    PromptRecorder p;
    EXPECT_EQ(submit(p, "bob", "", "new", "new").focus, EditField::OldPassword);
    EXPECT_EQ(submit(p, "bob", "old", "new", "neu").focus, EditField::NewPassword);
    EXPECT_EQ(submit(p, "bob", "old", "", "").focus, EditField::NewPassword);
    EXPECT_EQ(p.texts(), (std::vector<std::string>{"原密码不能为空！", "两次输入的密码不一致！", "新密码不能为空！"}));
    EXPECT_EQ(p.prompts[1].caption, "新密码");
    PromptRecorder q;
    EXPECT_TRUE(submit(q, "bob", "old", "new", "new").close);
    EXPECT_EQ(q.texts(), std::vector<std::string>{"密码修改成功！"});
    EXPECT_EQ(scalar("select PassWord from tovanusertable where User_Name='bob'"), "new");
}

TEST_F(EditUserTest, NothingChangedCloses) {
    PromptRecorder p;
    EditUserOutcome r = submit(p, "bob", "", "old", "");
    EXPECT_TRUE(r.close);
    EXPECT_TRUE(p.prompts.empty());
}

TEST_F(EditUserTest, EmptyNameIsRefused) {
    PromptRecorder p;
    EditUserOutcome r = submit(p, "", "old", "", "");
    EXPECT_FALSE(r.close);
    EXPECT_EQ(r.focus, EditField::Name);
    EXPECT_EQ(p.prompts.at(0).text, "用户名不能为空！");
    EXPECT_EQ(p.prompts.at(0).caption, "用户名");
}

TEST_F(EditUserTest, TakenNameIsRefused) {
    addUser("carol", "c", 0);
    PromptRecorder p;
    EditUserOutcome r = submit(p, "carol", "old", "", "");
    EXPECT_FALSE(r.close);
    EXPECT_EQ(p.texts(), std::vector<std::string>{"用户名  carol  已经存在！"});
    EXPECT_EQ(rowCount("select * from tovanusertable where User_Name='carol'"), 1);
}

TEST_F(EditUserTest, StatementMatchingNoRowIsAFailure) {
    // Someone else changed the password meanwhile.
    execOrFail("update tovanusertable set PassWord='other' where User_Name='bob'");
    PromptRecorder p;
    EditUserOutcome r = submit(p, "bob", "old", "new", "new");
    EXPECT_FALSE(r.close);
    EXPECT_EQ(p.texts(), std::vector<std::string>{"密码修改失败！"});
    EXPECT_EQ(current().password, "old");
}

}  // namespace
}  // namespace tovanix::users

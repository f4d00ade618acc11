#include <gtest/gtest.h>

#include <chrono>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "app/credentials.h"
#include "app/startup.h"
#include "db/connection.h"
#include "tests/support/prompt_recorder.h"
#include "tests/support/test_db.h"

namespace tovanix::credentials {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeRaw(const fs::path& p, const Bytes& b) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

const Bytes kTrailer = {'r' ^ 0x5B, 'u' ^ 0x5B, 'n' ^ 0x5B, 'e' ^ 0x5B, 0x5B};

class CredentialsFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tovanix-cred-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
        path_ = (dir_ / kFileName).string();
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
    std::string path_;
};

TEST(Scramble, RootWithEmptyPasswordIsElevenBytes) {
    Bytes plain = bytes("root\r\n");
    Bytes stored = scrambled(plain);
    ASSERT_EQ(stored.size(), 11u);
    const std::uint8_t k = 6 ^ 0x5B;
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(stored[i], plain[i] ^ k) << i;
    EXPECT_EQ(Bytes(stored.begin() + 6, stored.end()), kTrailer);
    EXPECT_EQ(stored[0], 'r' ^ 0x5D);
    EXPECT_EQ(unscrambled(stored), plain);
}

TEST(Scramble, KeyDependsOnLengthModulo256) {
    for (std::size_t n : {0u, 1u, 91u, 255u, 256u, 300u, 512u}) {
        Bytes plain(n, 'x');
        Bytes stored = scrambled(plain);
        ASSERT_EQ(stored.size(), n + 5);
        if (n > 0) {
            EXPECT_EQ(stored[0], static_cast<std::uint8_t>('x' ^ (n % 256) ^ 0x5B)) << n;
        }
        EXPECT_EQ(unscrambled(stored), plain) << n;
    }
}

TEST(Scramble, TrailerRecognition) {
    EXPECT_TRUE(hasTrailer(kTrailer));
    EXPECT_FALSE(hasTrailer(Bytes{}));
    EXPECT_FALSE(hasTrailer(Bytes(kTrailer.begin() + 1, kTrailer.end())));  // truncated
    EXPECT_FALSE(hasTrailer(bytes("root\r\n582046")));
    Bytes wrong = kTrailer;
    wrong[4] = 0;
    EXPECT_FALSE(hasTrailer(wrong));
    EXPECT_FALSE(unscrambled(bytes("abc")).has_value());
}

TEST(Parse, TwoLinesAnyLineEnd) {
    struct Case {
        std::string plain, user, password;
    };
    const Case cases[] = {
        {"root\r\n582046", "root", "582046"},
        {"root\r\n", "root", ""},
        {"", "", ""},
        {"admin\npw\nextra line", "admin", "pw"},
        {"u\r\np\r\n", "u", "p"},
        {"only-user", "only-user", ""},
        {std::string("bin\0ary\r\npa\xffss", 14), std::string("bin\0ary", 7), "pa\xffss"},
    };
    for (const auto& c : cases) {
        db::Account a = parsePlain(bytes(c.plain));
        EXPECT_EQ(a.user, c.user);
        EXPECT_EQ(a.password, c.password);
    }
}

TEST_F(CredentialsFile, FileScrambleAndUnscrambleInPlace) {
    writeRaw(path_, bytes("root\r\n"));
    ASSERT_TRUE(scrambleFile(path_));
    EXPECT_EQ(readFile(path_), scrambled(bytes("root\r\n")));
    ASSERT_TRUE(unscrambleFile(path_));
    EXPECT_EQ(readFile(path_), bytes("root\r\n"));
    EXPECT_FALSE(unscrambleFile(path_));  // no marker: untouched
    EXPECT_EQ(readFile(path_), bytes("root\r\n"));
    EXPECT_FALSE(scrambleFile((dir_ / "missing").string()));
    EXPECT_FALSE(unscrambleFile((dir_ / "missing").string()));
}

TEST_F(CredentialsFile, EmptyFileBecomesFiveBytesAndBack) {
    writeRaw(path_, {});
    ASSERT_TRUE(scrambleFile(path_));
    EXPECT_EQ(readFile(path_), kTrailer);
    ASSERT_TRUE(unscrambleFile(path_));
    EXPECT_TRUE(readFile(path_).empty());
    writeRaw(path_, {});
    Loaded l = load(path_);
    EXPECT_EQ(l.state, LoadState::Loaded);
    EXPECT_EQ(l.account.user, "");
    EXPECT_EQ(l.account.password, "");
    EXPECT_EQ(readFile(path_), kTrailer);
}

TEST_F(CredentialsFile, PlainFileIsReadAndLeftScrambled) {
    writeRaw(path_, bytes("station\r\nsecret"));
    Loaded l = load(path_);
    ASSERT_EQ(l.state, LoadState::Loaded);
    EXPECT_EQ(l.account.user, "station");
    EXPECT_EQ(l.account.password, "secret");
    EXPECT_EQ(readFile(path_), scrambled(bytes("station\r\nsecret")));
    EXPECT_EQ(db::account().user, "station");
    // Read again: same account, still scrambled.
    Loaded again = load(path_);
    EXPECT_EQ(again.account.password, "secret");
    EXPECT_EQ(readFile(path_), scrambled(bytes("station\r\nsecret")));
}

TEST_F(CredentialsFile, ScrambledFileIsReadWithoutBeingRewritten) {
    ASSERT_TRUE(writeFile(path_, {"station", "secret"}));
    const Bytes stored = readFile(path_);
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24);
    fs::last_write_time(path_, old);
    Loaded l = load(path_);
    ASSERT_EQ(l.state, LoadState::Loaded);
    EXPECT_EQ(l.account.user, "station");
    EXPECT_EQ(l.account.password, "secret");
    EXPECT_EQ(readFile(path_), stored);
    EXPECT_EQ(fs::last_write_time(path_), old) << "the account must not pass through the disk in plain";
}

TEST_F(CredentialsFile, BinaryOrTruncatedFilesNeverCrash) {
    std::vector<Bytes> inputs = {
        {0x00, 0xFF, 0x0D, 0x0A, 0x80},
        Bytes(kTrailer.begin(), kTrailer.begin() + 3),
        Bytes(4096, 0xAA),
        {0x0A, 0x0A, 0x0A},
    };
    Bytes tampered = scrambled(bytes("root\r\npw"));
    tampered.erase(tampered.begin() + 2);  // one byte lost: still has the marker
    inputs.push_back(tampered);
    for (const Bytes& in : inputs) {
        writeRaw(path_, in);
        Loaded l = load(path_);
        EXPECT_EQ(l.state, LoadState::Loaded);
        EXPECT_TRUE(hasTrailer(readFile(path_)));
    }
}

TEST_F(CredentialsFile, WriteReplacesAndIsPrivate) {
    ASSERT_TRUE(writeFile(path_, {"a-much-longer-user-name", "a-much-longer-password"}));
    ASSERT_TRUE(writeFile(path_, {"u", "p"}));
    EXPECT_EQ(readFile(path_), scrambled(bytes("u\r\np")));
    EXPECT_EQ(fs::status(path_).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(CredentialsFile, ObtainAccountAsksOnlyWhenMissing) {
    int asked = 0;
    EXPECT_FALSE(obtainAccount(path_, [&] {
        ++asked;
        return false;  // dialog cancelled: the program ends
    }));
    EXPECT_EQ(asked, 1);
    auto viaDialog = obtainAccount(path_, [&] {
        ++asked;
        return writeFile(path_, {"dlg", "pw"});
    });
    ASSERT_TRUE(viaDialog);
    EXPECT_EQ(viaDialog->user, "dlg");
    auto later = obtainAccount(path_, [&] {
        ++asked;
        return false;
    });
    ASSERT_TRUE(later);
    EXPECT_EQ(later->password, "pw");
    EXPECT_EQ(asked, 2);
}

class DatabaseLogin : public test::DbTest {
protected:
    void SetUp() override {
        test::DbTest::SetUp();
        dir_ = fs::temp_directory_path() / ("tovanix-dblogin-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        path_ = (dir_ / kFileName).string();
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
    std::string path_;
};

TEST_F(DatabaseLogin, RefusedAccountDeletesTheFile) {
    test::PromptRecorder p;
    auto r = acceptDatabaseLogin(p, path_, {test::testServer().account.user, "not-the-password"});
    EXPECT_EQ(r, DatabaseLoginResult::Refused);
    EXPECT_FALSE(fs::exists(path_));
    ASSERT_EQ(p.prompts.size(), 1u);
    EXPECT_EQ(p.prompts[0].text, "数据库密码与账号不对");
    EXPECT_EQ(p.prompts[0].caption, "数据库连接错误");
}

TEST_F(DatabaseLogin, RefusalSelectsThePasswordBeforeItsMessage) {
    test::PromptRecorder p;
    std::size_t messagesWhenSelected = 1;
    auto r = acceptDatabaseLogin(p, path_, {test::testServer().account.user, "not-the-password"},
                                 [&] { messagesWhenSelected = p.prompts.size(); });
    EXPECT_EQ(r, DatabaseLoginResult::Refused);
    EXPECT_EQ(messagesWhenSelected, 0u);
    EXPECT_EQ(p.prompts.size(), 1u);
}

TEST_F(DatabaseLogin, FileBelowARegularFileIsReported) {
    const fs::path notAFolder = dir_ / "not-a-folder";
    std::ofstream(notAFolder.string()).put('x');
    const std::string unwritable = (notAFolder / kFileName).string();
    test::PromptRecorder p;
    bool selected = false;
    EXPECT_EQ(acceptDatabaseLogin(p, unwritable, test::testServer().account, [&] { selected = true; }),
              DatabaseLoginResult::NotWritten);
    ASSERT_EQ(p.prompts.size(), 1u);
    EXPECT_EQ(p.prompts[0].text, "无法写入数据库账号文件 " + unwritable);
    EXPECT_EQ(p.prompts[0].caption, "数据库连接错误");
    EXPECT_FALSE(selected);
    EXPECT_TRUE(fs::is_regular_file(notAFolder));
}

TEST_F(DatabaseLogin, FolderNamedLikeTheFileIsReportedAndKept) {
    ASSERT_TRUE(fs::create_directory(path_));
    test::PromptRecorder p;
    EXPECT_EQ(acceptDatabaseLogin(p, path_, test::testServer().account), DatabaseLoginResult::NotWritten);
    ASSERT_EQ(p.prompts.size(), 1u);
    EXPECT_EQ(p.prompts[0].text, "无法写入数据库账号文件 " + path_);
    EXPECT_TRUE(fs::is_directory(path_));
}

TEST_F(DatabaseLogin, AcceptedAccountIsStoredAndTheDatabaseCreated) {
    test::PromptRecorder p;
    const db::Account good = test::testServer().account;
    EXPECT_EQ(acceptDatabaseLogin(p, path_, good), DatabaseLoginResult::Accepted);
    EXPECT_TRUE(p.prompts.empty());
    auto stored = unscrambled(readFile(path_));
    ASSERT_TRUE(stored);
    EXPECT_EQ(parsePlain(*stored).password, good.password);
    EXPECT_EQ(test::rowCount("show databases like 'tovandatabase'"), 1);
}

}  // namespace
}  // namespace tovanix::credentials

namespace tovanix {
namespace {

using test::rowCount;

class DeleteOldDatabase : public test::DbTest {};

TEST_F(DeleteOldDatabase, EveryOutcomeAndItsMessage) {
    createDatabase();
    test::PromptRecorder p;
    const db::Account good = test::testServer().account;

    p.answers = {PromptAnswer::Cancel};
    EXPECT_EQ(deleteOldDatabase(p, good), DeleteDatabaseResult::Cancelled);
    ASSERT_EQ(p.prompts.size(), 1u);
    EXPECT_EQ(p.prompts[0].text, kDeleteDatabaseQuestion);
    EXPECT_EQ(p.prompts[0].caption, "警告！");
    EXPECT_EQ(p.prompts[0].icon, PromptIcon::Warning);
    EXPECT_EQ(p.prompts[0].buttons, PromptButtons::OkCancel);
    EXPECT_EQ(rowCount("show databases like 'tovandatabase'"), 1);

    p.prompts.clear();
    EXPECT_EQ(deleteOldDatabase(p, {good.user, ""}), DeleteDatabaseResult::MissingCredentials);
    EXPECT_EQ(p.prompts.back().text, "请输入数据库用户名和密码");
    EXPECT_EQ(p.prompts.back().caption, "提示");

    std::size_t promptsWhenSelected = 0;
    EXPECT_EQ(deleteOldDatabase(p, {good.user, "wrong-password"}, [&] { promptsWhenSelected = p.prompts.size(); }),
              DeleteDatabaseResult::ConnectFailed);
    EXPECT_EQ(promptsWhenSelected, p.prompts.size() - 1) << "the password is selected before the message";
    EXPECT_EQ(p.prompts.back().text, "数据库密码与账号错误");
    EXPECT_EQ(p.prompts.back().caption, "数据库连接错误");
    EXPECT_EQ(db::account().password, "wrong-password");  // the typed account became current

    EXPECT_EQ(deleteOldDatabase(p, good), DeleteDatabaseResult::Deleted);
    EXPECT_EQ(p.prompts.back().text, "成功删除数据库！");
    EXPECT_EQ(rowCount("show databases like 'tovandatabase'"), 0);
}

TEST_F(DeleteOldDatabase, DropRefusedReportsFailure) {
    createDatabase();
    // An account that may create but not drop databases.
    test::execOrFail("CREATE USER IF NOT EXISTS 'nodrop'@'localhost' IDENTIFIED BY 'pw-nodrop'");
    test::execOrFail("GRANT CREATE, SELECT ON *.* TO 'nodrop'@'localhost'");
    test::PromptRecorder p;
    EXPECT_EQ(deleteOldDatabase(p, {"nodrop", "pw-nodrop"}), DeleteDatabaseResult::DeleteFailed);
    EXPECT_EQ(p.prompts.back().text, "删除数据库失败！");
    db::setAccount(test::testServer().account);
    test::execOrFail("DROP USER 'nodrop'@'localhost'");
}

}  // namespace
}  // namespace tovanix

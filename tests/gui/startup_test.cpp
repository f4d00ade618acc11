// The start-up before the main window: the single-instance refusal, the
// database login dialog with its strip and its delete button, the account
// file, and the user login dialog.
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>

#include "app/credentials.h"
#include "app/sql_login_dialog.h"
#include "app/windowed.h"
#include "db/connection.h"
#include "platform/single_instance.h"
#include "tests/gui/gui_support.h"
#include "tests/support/prompt_recorder.h"
#include "tests/support/test_db.h"
#include "users/current_user.h"
#include "users/user_login_dialog.h"

using namespace tovanix;
using test::PromptRecorder;

namespace {

bool exists(const std::string& p) {
    return std::filesystem::exists(p);
}

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    std::string path() const { return (dir_.path() + QStringLiteral("/data.drk")).toStdString(); }
    const db::Account& good() const { return test::testServer().account; }

private slots:
    void init() {
        TOVANIX_REQUIRE_SERVER();
        std::filesystem::remove(path());
        QVERIFY(test::resetDatabase());
        db::setAccount(good());
        users::setCurrent(users::CurrentUser{});
    }

    void noFileAsksForTheAccountAndCancelEnds() {
        platform::SingleInstance instance("TovanixStartupTest");
        QVERIFY(instance.acquired());
        PromptRecorder p;
        int asked = 0, logins = 0;
        auto r = app::prepareStation(p, instance, path(),
                                     {[&] {
                                          ++asked;
                                          return static_cast<int>(QDialog::Rejected);
                                      },
                                      [&] {
                                          ++logins;
                                          return static_cast<int>(QDialog::Accepted);
                                      }});
        QVERIFY(r == app::StartupResult::NoAccount);
        QCOMPARE(asked, 1);
        QCOMPARE(logins, 0);
        QVERIFY(p.prompts.empty());
    }

    void existingFileSkipsTheDatabaseDialog() {
        QVERIFY(credentials::writeFile(path(), good()));
        platform::SingleInstance instance("TovanixStartupTest");
        PromptRecorder p;
        int asked = 0;
        auto r = app::prepareStation(p, instance, path(),
                                     {[&] {
                                          ++asked;
                                          return static_cast<int>(QDialog::Accepted);
                                      },
                                      [&] { return static_cast<int>(QDialog::Rejected); }});
        QVERIFY(r == app::StartupResult::LoginCancelled);
        QCOMPARE(asked, 0);
        QCOMPARE(db::account().user, good().user);
    }

    void secondInstanceIsRefusedAndTheFirstKeepsRunning() {
        platform::SingleInstance first("TovanixStartupTest");
        QVERIFY(first.acquired());
        platform::SingleInstance second("TovanixStartupTest");
        QVERIFY(!second.acquired());
        PromptRecorder p;
        int asked = 0;
        auto r = app::prepareStation(p, second, path(), {[&] { return ++asked; }, [&] { return ++asked; }});
        QVERIFY(r == app::StartupResult::AlreadyRunning);
        QCOMPARE(asked, 0);
        QCOMPARE(p.texts(), std::vector<std::string>{"程序已经在运行，请勿重复登录"});
        QCOMPARE(p.prompts[0].caption, std::string("Tovanix"));
        QVERIFY(p.prompts[0].icon == PromptIcon::Information);
        QVERIFY(first.acquired());
    }

    void stripToggles() {
        PromptRecorder p;
        app::CSqlLogin d(p, path());
        d.show();
        QCOMPARE(d.windowTitle(), QStringLiteral("数据库登录"));
        QCOMPARE(d.size(), QSize(210, 145));
        QVERIFY(d.stripHidden());
        QCOMPARE(d.stripButton()->text(), QStringLiteral("……"));
        QCOMPARE(d.deleteDatabaseButton()->text(), QStringLiteral("删除\n旧数据库"));
        QCOMPARE(d.userEdit()->property("controlId").toInt(), 1003);
        QCOMPARE(d.passwordEdit()->property("controlId").toInt(), 1004);
        QVERIFY(d.passwordEdit()->echoMode() == QLineEdit::Password);
        // The delete button sits in the strip, cut off at first.
        QVERIFY(d.deleteDatabaseButton()->geometry().left() >= 210);
        QTest::mouseClick(d.stripButton(), Qt::LeftButton);
        QCOMPARE(d.size(), QSize(310, 149));
        QVERIFY(!d.stripHidden());
        QVERIFY(d.deleteDatabaseButton()->geometry().right() < 310);
        QTest::mouseClick(d.stripButton(), Qt::LeftButton);
        QCOMPARE(d.size(), QSize(220, 149));
        QCOMPARE(d.width(), 220);
        QVERIFY(d.stripHidden());
    }

    void refusedAccountDeletesTheFileAndStays() {
        PromptRecorder p;
        app::CSqlLogin d(p, path());
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        d.activateWindow();
        d.userEdit()->setText(QString::fromStdString(good().user));
        d.passwordEdit()->setText(QStringLiteral("wrong"));
        // The operator reads the refusal with the password already selected.
        QString selectedAtMessage;
        bool focusedAtMessage = false;
        p.onAsk = [&](const test::Prompt&) {
            selectedAtMessage = d.passwordEdit()->selectedText();
            focusedAtMessage = d.focusWidget() == d.passwordEdit();
        };
        QTest::mouseClick(d.okButton(), Qt::LeftButton);
        p.onAsk = nullptr;
        QCOMPARE(p.texts(), std::vector<std::string>{"数据库密码与账号不对"});
        QCOMPARE(selectedAtMessage, QStringLiteral("wrong"));
        QVERIFY(focusedAtMessage);
        QCOMPARE(p.prompts[0].caption, std::string("数据库连接错误"));
        QVERIFY(!exists(path()));
        QVERIFY(d.isVisible());
        QVERIFY(d.result() != QDialog::Accepted);
        QCOMPARE(d.passwordEdit()->selectedText(), QStringLiteral("wrong"));
        QTRY_VERIFY(d.passwordEdit()->hasFocus());

        // The right account is written, scrambled, and the database made.
        QCOMPARE(db::account().password, std::string("wrong"));  // the typed account became current
        db::setAccount(good());
        QVERIFY(test::sql("drop database if exists TovanDatabase"));
        d.passwordEdit()->setText(QString::fromStdString(good().password));
        QTest::mouseClick(d.okButton(), Qt::LeftButton);
        QCOMPARE(d.result(), static_cast<int>(QDialog::Accepted));
        QVERIFY(exists(path()));
        QFile f(QString::fromStdString(path()));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray stored = f.readAll();
        f.close();
        QVERIFY(credentials::hasTrailer(std::vector<std::uint8_t>(stored.begin(), stored.end())));
        auto loaded = credentials::load(path());
        QVERIFY(loaded.state == credentials::LoadState::Loaded);
        QCOMPARE(loaded.account.user, good().user);
        QCOMPARE(loaded.account.password, good().password);
        QCOMPARE(test::sqlRows("show databases like 'TovanDatabase'"), 1);
    }

    void unwritableAccountFileIsReportedAndTheDialogStays() {
        // A regular file where the station folder should be: even root
        // cannot create the account file below it.
        const std::string notAFolder = (dir_.path() + QStringLiteral("/not-a-folder")).toStdString();
        QFile blocker(QString::fromStdString(notAFolder));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const std::string unwritable = notAFolder + "/data.drk";
        PromptRecorder p;
        app::CSqlLogin d(p, unwritable);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        d.userEdit()->setText(QString::fromStdString(good().user));
        d.passwordEdit()->setText(QString::fromStdString(good().password));
        QTest::mouseClick(d.okButton(), Qt::LeftButton);
        QCOMPARE(p.texts(), std::vector<std::string>{"无法写入数据库账号文件 " + unwritable});
        QCOMPARE(p.prompts[0].caption, std::string("数据库连接错误"));
        QVERIFY(d.isVisible());
        QVERIFY(d.result() != QDialog::Accepted);
        std::filesystem::remove(notAFolder);
    }

    void unreadableAccountFileIsReported() {
        // A folder in the place of the file: it exists, so nothing asks,
        // but it cannot be read.
        QVERIFY(std::filesystem::create_directory(path()));
        platform::SingleInstance instance("TovanixStartupTest");
        PromptRecorder p;
        int asked = 0;
        auto r = app::prepareStation(p, instance, path(), {[&] { return ++asked; }, [&] { return ++asked; }});
        QVERIFY(r == app::StartupResult::AccountUnreadable);
        QCOMPARE(asked, 0);
        QCOMPARE(p.texts(), std::vector<std::string>{"无法读取数据库账号文件 " + path()});
        QCOMPARE(p.prompts[0].caption, std::string("数据库连接错误"));
        QVERIFY(std::filesystem::is_directory(path()));
        std::filesystem::remove(path());
    }

    // A signal may cancel a dialog whose OK is already running: the dialog
    // then ends with OK all the same, and only the flag tells.
    void signalDuringTheDatabaseLoginStops() {
        platform::SingleInstance instance("TovanixStartupTest");
        PromptRecorder p;
        bool stop = false;
        int logins = 0;
        auto r = app::prepareStation(p, instance, path(),
                                     {[&] {
                                          stop = true;
                                          return credentials::writeFile(path(), good())
                                                     ? static_cast<int>(QDialog::Accepted)
                                                     : static_cast<int>(QDialog::Rejected);
                                      },
                                      [&] { return ++logins; }, [&] { return stop; }});
        QVERIFY(r == app::StartupResult::Stopped);
        QCOMPARE(logins, 0);
        QVERIFY(p.prompts.empty());
    }

    void signalDuringTheUserLoginStops() {
        QVERIFY(credentials::writeFile(path(), good()));
        platform::SingleInstance instance("TovanixStartupTest");
        PromptRecorder p;
        bool stop = false;
        auto r = app::prepareStation(p, instance, path(),
                                     {[] { return static_cast<int>(QDialog::Rejected); },
                                      [&] {
                                          stop = true;
                                          return static_cast<int>(QDialog::Accepted);
                                      },
                                      [&] { return stop; }});
        QVERIFY(r == app::StartupResult::Stopped);
    }

    void wholeSequenceWithTheDialogs() {
        platform::SingleInstance instance("TovanixStartupTest");
        PromptRecorder p;
        auto r = app::prepareStation(p, instance, path(),
                                     {[&] {
                                          app::CSqlLogin d(p, path());
                                          test::whenModal([&](QWidget*) {
                                              d.userEdit()->setText(QString::fromStdString(good().user));
                                              d.passwordEdit()->setText(QString::fromStdString(good().password));
                                              d.okButton()->click();
                                          });
                                          return d.exec();
                                      },
                                      [&] {
                                          users::CUserLogin login(p);
                                          test::whenModal([&](QWidget*) {
                                              login.passwordEdit()->setText(QStringLiteral("582046"));
                                              login.okButton()->click();
                                          });
                                          return login.exec();
                                      }});
        QVERIFY(r == app::StartupResult::Ready);
        QVERIFY(p.prompts.empty());
        QCOMPARE(users::current().name, std::string("root"));
        QVERIFY(credentials::load(path()).state == credentials::LoadState::Loaded);
    }

    void deleteOldDatabaseButton() {
        PromptRecorder p;
        app::CSqlLogin d(p, path());
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        d.toggleStrip();
        // Not confirmed: nothing.
        p.answers = {PromptAnswer::Cancel};
        QTest::mouseClick(d.deleteDatabaseButton(), Qt::LeftButton);
        QCOMPARE(p.prompts.size(), std::size_t{1});
        QCOMPARE(p.prompts[0].caption, std::string("警告！"));
        QVERIFY(p.prompts[0].buttons == PromptButtons::OkCancel);
        // Empty fields.
        QTest::mouseClick(d.deleteDatabaseButton(), Qt::LeftButton);
        QCOMPARE(p.prompts.back().text, std::string("请输入数据库用户名和密码"));
        // Wrong account: the password is selected.
        d.userEdit()->setText(QString::fromStdString(good().user));
        d.passwordEdit()->setText(QStringLiteral("nope"));
        QTest::mouseClick(d.deleteDatabaseButton(), Qt::LeftButton);
        QCOMPARE(p.prompts.back().text, std::string("数据库密码与账号错误"));
        QCOMPARE(p.prompts.back().caption, std::string("数据库连接错误"));
        QCOMPARE(d.passwordEdit()->selectedText(), QStringLiteral("nope"));
        // The right one deletes the database.
        d.passwordEdit()->setText(QString::fromStdString(good().password));
        QTest::mouseClick(d.deleteDatabaseButton(), Qt::LeftButton);
        QCOMPARE(p.prompts.back().text, std::string("成功删除数据库！"));
        QCOMPARE(test::sqlRows("show databases like 'TovanDatabase'"), 0);
        QVERIFY(d.isVisible());
    }

    void userLoginOnAnEmptyTable() {
        QVERIFY(test::sql("drop database TovanDatabase"));
        PromptRecorder p;
        users::CUserLogin d(p);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        d.reload();
        QCOMPARE(d.windowTitle(), QStringLiteral("用户登录"));
        QCOMPARE(d.nameBox()->accessibleName(), QStringLiteral("用户名"));
        QCOMPARE(d.passwordEdit()->accessibleName(), QStringLiteral("密  码"));
        QCOMPARE(d.nameBox()->count(), 1);
        QCOMPARE(d.nameBox()->currentText(), QStringLiteral("root"));
        QVERIFY(d.passwordEdit()->text().isEmpty());
        QVERIFY(d.passwordEdit()->echoMode() == QLineEdit::Password);

        d.passwordEdit()->setText(QStringLiteral("58204"));
        QTest::mouseClick(d.okButton(), Qt::LeftButton);
        QCOMPARE(p.texts(), std::vector<std::string>{"输入密码错误，请重试"});
        QCOMPARE(p.prompts[0].caption, std::string("登陆错误"));
        QVERIFY(d.isVisible());
        QCOMPARE(d.passwordEdit()->selectedText(), QStringLiteral("58204"));
        QCOMPARE(users::current().name, std::string());

        d.passwordEdit()->setText(QStringLiteral("582046"));
        QTest::mouseClick(d.okButton(), Qt::LeftButton);
        QCOMPARE(d.result(), static_cast<int>(QDialog::Accepted));
        QCOMPARE(users::current().name, std::string("root"));
        QCOMPARE(users::statusPaneText(users::current()), std::string("当前用户:root[系统管理员]"));
    }

    void userLoginNamesSorted() {
        QVERIFY(test::sql("insert into tovanusertable (User_Name,PassWord,User_Right) values('Zoe','1','1')"));
        QVERIFY(test::sql("insert into tovanusertable (User_Name,PassWord,User_Right) values('amy','1','0')"));
        PromptRecorder p;
        users::CUserLogin d(p);
        d.reload();
        QCOMPARE(d.nameBox()->count(), 3);
        QCOMPARE(d.nameBox()->itemText(0), QStringLiteral("amy"));
        QCOMPARE(d.nameBox()->itemText(1), QStringLiteral("root"));
        QCOMPARE(d.nameBox()->itemText(2), QStringLiteral("Zoe"));
        QCOMPARE(d.nameBox()->currentIndex(), 0);
    }

    void userLoginWithTheDatabaseGone() {
        PromptRecorder p;
        users::CUserLogin d(p);
        d.reload();
        d.show();
        db::setAccount({good().user, good().password + "x"});
        d.passwordEdit()->setText(QStringLiteral("582046"));
        QTest::mouseClick(d.okButton(), Qt::LeftButton);
        db::setAccount(good());
        QCOMPARE(p.texts(), std::vector<std::string>{"数据库打开失败"});
        QCOMPARE(d.result(), static_cast<int>(QDialog::Accepted));
        QCOMPARE(users::current().name, std::string());
    }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"

// The alarm-output page and the phone-number dialog without their windows,
// against the private server.
#include <gtest/gtest.h>

#include "alarms/system_alarm.h"
#include "db/connection.h"
#include "db/defaults.h"
#include "platform/prompter.h"
#include "tests/support/prompt_recorder.h"
#include "tests/support/test_db.h"

namespace tovanix::alarms {
namespace {

using test::DbTest;
using test::execOrFail;
using test::PromptRecorder;
using test::rowCount;
using test::scalar;

class SystemAlarmTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (IsSkipped() || HasFailure()) return;
        createDatabase();
        execOrFail("insert into tovanalarmdevicetable (COM,Sound,GMS,GMSTime) values('0','0','0','0');");
    }
    static void insertPhones(int count) {
        for (int i = 0; i < count; ++i) execOrFail(db::sqlf("insert into tovanphonenumtable (PhoneNum) values('139000000%02d');", i));
    }
    AlarmShared shared;
    AlarmConfig& config = shared.config;
    AlarmPageSession session;
    PromptRecorder prompts;
};

TEST_F(SystemAlarmTest, SingleSettingsAreStoredAndCopiedToMemory) {
    struct Case {
        AlarmColumn column;
        int typed;
        const char* column_name;
        int stored;
    };
    const Case cases[] = {
        {AlarmColumn::Sound, 1, "Sound", 1},     {AlarmColumn::Sound, 0, "Sound", 0},
        {AlarmColumn::Gms, 1, "GMS", 1},         {AlarmColumn::GmsTime, 5, "GMSTime", 5},
        {AlarmColumn::GmsTime, 0, "GMSTime", 1}, {AlarmColumn::GmsTime, -3, "GMSTime", 1},
    };
    openAlarmPage(config, session);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.column_name) + " typed " + std::to_string(c.typed));
        EXPECT_TRUE(saveAlarmSetting(prompts, config, session, c.column, c.typed));
        EXPECT_EQ(scalar(std::string("select ") + c.column_name + " from tovanalarmdevicetable"),
                  std::to_string(c.stored));
        const AlarmDeviceSettings s = config.settings();
        const int inMemory = c.column == AlarmColumn::Sound ? s.sound : c.column == AlarmColumn::Gms ? s.gms : s.gmsTime;
        EXPECT_EQ(inMemory, c.stored);
    }
    EXPECT_TRUE(prompts.prompts.empty());
}

TEST_F(SystemAlarmTest, RejectedUpdateLeavesMemoryAndStopsFurtherSaves) {
    openAlarmPage(config, session);
    execOrFail("drop table tovanalarmdevicetable");
    EXPECT_FALSE(saveAlarmSetting(prompts, config, session, AlarmColumn::Sound, 1));
    ASSERT_EQ(prompts.texts(), std::vector<std::string>{kWriteFailed});
    EXPECT_EQ(prompts.prompts[0].caption, kCaptionInfo);
    EXPECT_EQ(config.settings().sound, 0);
    // The page's last statement failed: the next save is not sent.
    execOrFail("Create Table TovanAlarmDeviceTable(id int auto_increment primary key, COM int, Sound int, GMS int, GMSTime int)");
    execOrFail("insert into tovanalarmdevicetable (COM,Sound,GMS,GMSTime) values(0,0,0,1)");
    EXPECT_FALSE(saveAlarmSetting(prompts, config, session, AlarmColumn::Gms, 1));
    EXPECT_EQ(scalar("select GMS from tovanalarmdevicetable"), "0");
    // Opened again, it saves.
    openAlarmPage(config, session);
    EXPECT_TRUE(saveAlarmSetting(prompts, config, session, AlarmColumn::Gms, 1));
    EXPECT_EQ(scalar("select GMS from tovanalarmdevicetable"), "1");
}

TEST_F(SystemAlarmTest, PortConfirmedOnlyWhenItOpened) {
    AlarmDeviceSettings s;
    s.com = 4;
    config.setSettings(s);
    openAlarmPage(config, session);
    PortConfirmOutcome missing = confirmPort(prompts, config, session, 7, false);
    EXPECT_FALSE(missing.saved);
    EXPECT_TRUE(missing.restore);
    EXPECT_EQ(missing.com, 4);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{"串口COM7不存在！"});
    EXPECT_EQ(scalar("select COM from tovanalarmdevicetable"), "0");

    PortConfirmOutcome saved = confirmPort(prompts, config, session, 7, true);
    EXPECT_TRUE(saved.saved);
    EXPECT_EQ(scalar("select COM from tovanalarmdevicetable"), "7");
    EXPECT_EQ(config.settings().com, 7);
}

TEST_F(SystemAlarmTest, NumbersOfElevenCharactersOnlyAndNoDuplicates) {
    struct Case {
        std::string number;
        PhoneSubmit outcome;
        std::vector<std::string> messages;
    };
    const std::vector<Case> cases = {
        {"13912345678", PhoneSubmit::Added, {}},
        {"1391234567", PhoneSubmit::StayOpen, {kPhoneLength}},
        {"139123456789", PhoneSubmit::StayOpen, {kPhoneLength}},
        {"", PhoneSubmit::StayOpen, {kPhoneLength}},
        {"1391234567a", PhoneSubmit::Added, {}},  // characters are not checked further
        {"13912345678", PhoneSubmit::AskAgain, {kPhoneExists}},
        {"139'2345678", PhoneSubmit::Added, {}},  // escaped, stored as typed
        {"139'2345678", PhoneSubmit::AskAgain, {kPhoneExists}},
        {"一二三四五六七八九十一", PhoneSubmit::Added, {}},  // eleven characters, not bytes
    };
    openAlarmPage(config, session);
    std::vector<std::string> expected;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        prompts.prompts.clear();
        EXPECT_EQ(submitPhone(prompts, config, c.number), c.outcome);
        EXPECT_EQ(prompts.texts(), c.messages);
        if (c.outcome == PhoneSubmit::StayOpen) {
            EXPECT_EQ(prompts.prompts[0].caption, kPhoneLengthCaption);
        }
        if (c.outcome == PhoneSubmit::Added) expected.push_back(c.number);
    }
    EXPECT_EQ(config.phones(), expected);
    EXPECT_EQ(rowCount("select * from tovanphonenumtable"), static_cast<int>(expected.size()));
    EXPECT_EQ(rowCount("select * from tovanphonenumtable where PhoneNum='139''2345678'"), 1);
    // A fresh page reads the same list back.
    AlarmConfig other;
    EXPECT_EQ(openAlarmPage(other, session).phones, expected);
}

TEST_F(SystemAlarmTest, EleventhNumberRefused) {
    insertPhones(kMaxPhoneNumbers);
    openAlarmPage(config, session);
    EXPECT_FALSE(phoneListHasRoom(prompts, config));
    EXPECT_EQ(submitPhone(prompts, config, "15000000000"), PhoneSubmit::Refused);
    EXPECT_EQ(prompts.texts(), (std::vector<std::string>{kPhoneListFull, kPhoneListFull}));
    EXPECT_EQ(rowCount("select * from tovanphonenumtable"), kMaxPhoneNumbers);
    EXPECT_EQ(config.phones().size(), static_cast<std::size_t>(kMaxPhoneNumbers));
}

TEST_F(SystemAlarmTest, LongerTableLoadsTheFirstTen) {
    insertPhones(kMaxPhoneNumbers + 2);
    const AlarmPageView view = openAlarmPage(config, session);
    ASSERT_EQ(view.phones.size(), static_cast<std::size_t>(kMaxPhoneNumbers));
    EXPECT_EQ(view.phones.front(), "13900000000");
    EXPECT_EQ(view.phones.back(), "13900000009");
    EXPECT_EQ(config.phones(), view.phones);
}

TEST_F(SystemAlarmTest, UnreachableServerKeepsMemory) {
    config.setPhones({"13912345678"});
    execOrFail("drop table tovanphonenumtable");
    const AlarmPageView view = openAlarmPage(config, session);
    EXPECT_TRUE(view.phones.empty());
    EXPECT_EQ(config.phones(), std::vector<std::string>{"13912345678"});
}

TEST_F(SystemAlarmTest, DeletionAsksForEachNumberAndCancelEndsIt) {
    struct Case {
        std::vector<PromptAnswer> answers;
        int questions;
        int left;
    };
    const Case cases[] = {
        {{PromptAnswer::Ok, PromptAnswer::Ok}, 2, 1},
        {{PromptAnswer::Cancel}, 1, 3},
        {{PromptAnswer::Ok, PromptAnswer::Cancel}, 2, 2},
    };
    for (const Case& c : cases) {
        execOrFail("delete from tovanphonenumtable");
        insertPhones(3);
        openAlarmPage(config, session);
        PromptRecorder p;
        // Each answer is followed by "删除成功！" when it was OK.
        for (PromptAnswer a : c.answers) {
            p.answers.push_back(a);
            if (a == PromptAnswer::Ok) p.answers.push_back(PromptAnswer::Ok);
        }
        deletePhones(p, config, {"13900000000", "13900000001"});
        int questions = 0;
        for (const auto& pr : p.prompts) {
            if (pr.caption != kCaptionConfirm) continue;
            ++questions;
            EXPECT_EQ(pr.buttons, PromptButtons::OkCancel);
            EXPECT_EQ(pr.icon, PromptIcon::Warning);
        }
        EXPECT_EQ(questions, c.questions);
        EXPECT_EQ(p.prompts.front().text, "确定删除号码: 13900000000 ？");
        EXPECT_EQ(rowCount("select * from tovanphonenumtable"), c.left);
        EXPECT_EQ(config.phones().size(), static_cast<std::size_t>(c.left));
    }
}

TEST_F(SystemAlarmTest, SirenOffTellsThenPosts) {
    int posted = 0;
    std::string shownBeforePost;
    prompts.onAsk = [&](const test::Prompt& p) { shownBeforePost = posted == 0 ? p.text : ""; };
    switchSirenOff(prompts, [&] { return ++posted > 0; });
    EXPECT_EQ(posted, 1);
    EXPECT_EQ(shownBeforePost, kBoxOffNotice);
    EXPECT_EQ(prompts.prompts[0].caption, kCaptionApplication);
}

}  // namespace
}  // namespace tovanix::alarms

// The alarm acknowledgement against the private server: what is listed,
// what "确认报警" stores, and what it tells the station.
#include <gtest/gtest.h>

#include <map>

#include "alarms/alarm_ack.h"
#include "db/connection.h"
#include "db/data_table.h"
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

constexpr int kLine = 2;
constexpr int kAddress = 5;
constexpr int kTable = 2005;  // device 5 on line 2

class FakeStation : public AckStation {
public:
    bool known = true;
    bool sound = false;
    int sirenOffs = 0;
    int resets = 0;
    std::function<void()> onFind;
    std::optional<Names> find(int lineid, int address) override {
        if (onFind) onFind();
        if (!known || lineid != kLine || address != kAddress) return std::nullopt;
        return Names{"冷库", "二号线"};
    }
    bool soundOn() override { return sound; }
    void sirenOff() override { ++sirenOffs; }
    void resetEntry(int lineid, int address) override {
        EXPECT_EQ(lineid, kLine);
        EXPECT_EQ(address, kAddress);
        ++resets;
    }
};

class AlarmAckTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (IsSkipped() || HasFailure()) return;
        createDatabase();
        execOrFail(db::sqlf("insert into tovandevicetable (DeviceEraseSign,deviceid,LineID,DeviceName,DeviceNumber,"
                            "AlarmGetSign) values(0,%d,%d,'冷库',%d,1)",
                            kTable, kLine, kAddress));
        reading("2024-03-05 10:00:00", "3", 0);
        reading("2024-03-05 10:01:00", "A", 0);
        reading("2024-03-05 10:02:00", "0", 0);
        reading("2024-03-05 10:03:00", "", 0);
        reading("2024-03-05 10:04:00", "34", 1, "li", "旧");
        reading("2024-03-05 10:05:00", "17", 0);
    }
    static void reading(const char* time, const char* sign, int check, const char* user = "",
                        const char* note = "") {
        db::Connection c;
        ASSERT_TRUE(c.open());
        ASSERT_TRUE(db::createDataTable(c, kTable));
        ASSERT_TRUE(c.exec(db::sqlf("insert into TovanDataTable_%d values('%s',12.5,61.0,0,0,'%s',%d,'%s','%s')",
                                    kTable, time, sign, check, user, note)));
    }
    static std::string column(const char* time, const char* name) {
        return scalar(db::sqlf("select %s from TovanDataTable_%d where RecordDataTime='%s'", name, kTable, time));
    }
    static int open() {
        return rowCount(db::sqlf("select * from TovanDataTable_%d where %s and checksign='0'", kTable,
                                 db::kAlarmRowPredicate));
    }
    static std::function<std::optional<std::string>()> answer(std::optional<std::string> note, int* asked = nullptr) {
        return [note, asked] {
            if (asked) ++*asked;
            return note;
        };
    }
};

TEST_F(AlarmAckTest, ListsTheOpenAlarmsNewestFirst) {
    FakeStation station;
    const AckListing l = listOpenAlarms(station, kLine, kAddress);
    EXPECT_EQ(l.title, "报警信息 设备名:冷库  所在线路:二号线");
    ASSERT_EQ(l.rows.size(), 2u);
    const char* const newest[] = {"1", "2024-03-05 10:05:00", "12.5", "61.0", "通道一下限超标  通道二下限超标  "};
    const char* const oldest[] = {"2", "2024-03-05 10:00:00", "12.5", "61.0", "通道一下限超标  "};
    for (int c = 0; c < kAckColumns; ++c) {
        EXPECT_EQ(ackCell(l.rows[0], 0, c), newest[c]) << c;
        EXPECT_EQ(ackCell(l.rows[1], 1, c), oldest[c]) << c;
    }
    EXPECT_EQ(rowCount("show tables like 'tovanalarmtable'"), 1);
}

TEST_F(AlarmAckTest, UnknownDeviceListsNothing) {
    FakeStation station;
    station.known = false;
    const AckListing l = listOpenAlarms(station, kLine, kAddress);
    EXPECT_TRUE(l.title.empty());
    EXPECT_TRUE(l.rows.empty());
}

TEST_F(AlarmAckTest, AcknowledgesEveryOpenRowAndNothingElse) {
    FakeStation station;
    PromptRecorder p;
    const AckOutcome out = acknowledge(p, station, kLine, kAddress, "root", answer("开门通风"));
    EXPECT_TRUE(out.close);
    EXPECT_TRUE(out.stored);
    for (const char* t : {"2024-03-05 10:00:00", "2024-03-05 10:05:00"}) {
        EXPECT_EQ(column(t, "checksign"), "1") << t;
        EXPECT_EQ(column(t, "user_name"), "root") << t;
        EXPECT_EQ(column(t, "checkevent"), "开门通风") << t;
    }
    // "A", "0", "" and the row acknowledged before are untouched.
    for (const char* t : {"2024-03-05 10:01:00", "2024-03-05 10:02:00", "2024-03-05 10:03:00"}) {
        EXPECT_EQ(column(t, "checksign"), "0") << t;
        EXPECT_EQ(column(t, "user_name"), "") << t;
    }
    EXPECT_EQ(column("2024-03-05 10:04:00", "user_name"), "li");
    EXPECT_EQ(column("2024-03-05 10:04:00", "checkevent"), "旧");
    EXPECT_EQ(scalar("select AlarmGetSign from tovandevicetable where deviceid=2005"), "0");
    ASSERT_EQ(p.prompts.size(), 1u);
    EXPECT_EQ(p.prompts[0].text, "已确认报警信息");
    EXPECT_EQ(p.prompts[0].caption, "提示");
    EXPECT_EQ(p.prompts[0].icon, PromptIcon::Information);
    EXPECT_EQ(station.resets, 1);
    EXPECT_EQ(station.sirenOffs, 0);  // Sound off: nothing posted
}

TEST_F(AlarmAckTest, SoundOnSwitchesTheSirenOffFirst) {
    FakeStation station;
    station.sound = true;
    PromptRecorder p;
    int sirenOffsWhenAsked = -1;
    acknowledge(p, station, kLine, kAddress, "root", [&]() -> std::optional<std::string> {
        sirenOffsWhenAsked = station.sirenOffs;
        return "ok";
    });
    EXPECT_EQ(sirenOffsWhenAsked, 1);
    ASSERT_EQ(p.texts(), (std::vector<std::string>{"警声将在稍后关闭!", "已确认报警信息"}));
    EXPECT_EQ(p.prompts[0].caption, "Tovanix");
    EXPECT_EQ(station.sirenOffs, 1);
}

TEST_F(AlarmAckTest, CancellingTheNoteLeavesEveryRowOpen) {
    FakeStation station;
    station.sound = true;
    PromptRecorder p;
    int asked = 0;
    const AckOutcome out = acknowledge(p, station, kLine, kAddress, "root", answer(std::nullopt, &asked));
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(out.close);
    EXPECT_FALSE(out.stored);
    EXPECT_EQ(open(), 2);
    EXPECT_EQ(scalar("select AlarmGetSign from tovandevicetable where deviceid=2005"), "1");
    EXPECT_EQ(station.sirenOffs, 1);  // already told before the note
    EXPECT_EQ(station.resets, 0);
    EXPECT_EQ(p.texts(), std::vector<std::string>{"警声将在稍后关闭!"});
}

TEST_F(AlarmAckTest, DeviceGoneFromTheStationDoesNothingBeyondTheSiren) {
    FakeStation station;
    station.sound = true;
    station.known = false;
    PromptRecorder p;
    int asked = 0;
    const AckOutcome out = acknowledge(p, station, kLine, kAddress, "root", answer("x", &asked));
    EXPECT_FALSE(out.close);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(open(), 2);
    EXPECT_EQ(station.sirenOffs, 1);
}

TEST_F(AlarmAckTest, ReadingsArrivingAfterTheListAreAcknowledgedToo) {
    FakeStation station;
    ASSERT_EQ(listOpenAlarms(station, kLine, kAddress).rows.size(), 2u);
    reading("2024-03-05 10:06:00", "2", 0);
    PromptRecorder p;
    acknowledge(p, station, kLine, kAddress, "root", answer("ok"));
    EXPECT_EQ(open(), 0);
    EXPECT_EQ(column("2024-03-05 10:06:00", "checksign"), "1");
}

TEST_F(AlarmAckTest, NoteAndUserAreEscapedAndCut) {
    struct Case {
        std::string user, note, storedUser, storedNote;
    };
    const std::string longNote = std::string(100, 'a') + std::string(30, 'b');
    std::string chinese;
    for (int i = 0; i < 130; ++i) chinese += "温";
    std::string chinese120;
    for (int i = 0; i < 120; ++i) chinese120 += "温";
    const Case cases[] = {
        {"o'neil", "it's \"closed\" \\ ok; --", "o'neil", "it's \"closed\" \\ ok; --"},
        {"a-user-with-a-long-name", longNote, "a-user-with-a-lo", longNote.substr(0, 120)},
        {"张三", chinese, "张三", chinese120},
    };
    for (const Case& c : cases) {
        execOrFail(db::sqlf("update TovanDataTable_%d set checksign=0,user_name='',checkevent='' where AlarmSign='17'",
                            kTable));
        FakeStation station;
        PromptRecorder p;
        const AckOutcome out = acknowledge(p, station, kLine, kAddress, c.user, answer(c.note));
        EXPECT_TRUE(out.stored) << c.user;
        EXPECT_EQ(column("2024-03-05 10:05:00", "user_name"), c.storedUser);
        EXPECT_EQ(column("2024-03-05 10:05:00", "checkevent"), c.storedNote);
    }
}

TEST_F(AlarmAckTest, NothingStoredLeavesTheEntryAlone) {
    // The data table is gone: the update fails and nothing was acknowledged.
    execOrFail(db::sqlf("drop table TovanDataTable_%d", kTable));
    FakeStation station;
    PromptRecorder p;
    const AckOutcome out = acknowledge(p, station, kLine, kAddress, "root", answer("ok"));
    EXPECT_TRUE(out.close);
    EXPECT_FALSE(out.stored);
    EXPECT_EQ(station.resets, 0);
    EXPECT_TRUE(p.prompts.empty());
}

TEST(CutUtf8, NeverSplitsACharacter) {
    EXPECT_EQ(cutUtf8("abc", 2), "ab");
    EXPECT_EQ(cutUtf8("温度计", 2), "温度");
    EXPECT_EQ(cutUtf8("温度", 5), "温度");
    EXPECT_EQ(cutUtf8("", 3), "");
}

}  // namespace
}  // namespace tovanix::alarms

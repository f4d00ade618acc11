// The data page's statements and texts against the private server.
#include <gtest/gtest.h>

#include "alarms/alarm_event.h"
#include "data/history_store.h"
#include "data/history_text.h"
#include "db/connection.h"
#include "db/data_table.h"
#include "db/schema.h"
#include "tests/support/test_db.h"

namespace tovanix::data {
namespace {

using test::DbTest;
using test::execOrFail;
using test::rowCount;

constexpr int kLine = 2;
constexpr int kAddress = 5;
constexpr int kTable = 2005;

class HistoryTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (IsSkipped() || HasFailure()) return;
        createDatabase();
    }
    static void addDevice(int probeType) {
        execOrFail(db::sqlf("insert into tovandevicetable (DeviceEraseSign,deviceid,LineID,DeviceName,DeviceNumber,"
                            "DeviceProbeType,CHL1Lower,CHL1Upper,RecordInter) values(0,%d,%d,'库房',%d,%d,2.5,8.0,5)",
                            kTable, kLine, kAddress, probeType));
    }
    static void reading(const char* time, const char* ch1, const char* ch2, const char* sign = "0", int check = 0,
                        const char* user = "", const char* note = "") {
        db::Connection c;
        ASSERT_TRUE(c.open());
        ASSERT_TRUE(db::createDataTable(c, kTable));
        ASSERT_TRUE(c.exec(db::sqlf("insert into TovanDataTable_%d values('%s',%s,%s,0,0,'%s',%d,'%s','%s')", kTable,
                                    time, ch1, ch2, sign, check, user, note)));
    }
};

TEST_F(HistoryTest, MissingTableIsCreatedAndShowsNoTimes) {
    addDevice(4);
    const TableSummary s = summarizeDevice(kLine, kAddress);
    EXPECT_EQ(s.result, db::StoreResult::Done);
    EXPECT_EQ(rowCount("show tables like 'tovandatatable_2005'"), 1);
    EXPECT_EQ(s.total, 0);
    EXPECT_EQ(startText(s.first), "数据库开始时间：无");
    EXPECT_EQ(endText(s.last), "数据库结束时间：无");
    EXPECT_EQ(countText(s.total), "数据总数:0条");
}

TEST_F(HistoryTest, DeviceRowFillsTheReportInfo) {
    addDevice(1);
    const TableSummary s = summarizeDevice(kLine, kAddress);
    ASSERT_EQ(s.deviceRow, DeviceRow::Found);
    EXPECT_EQ(s.info.deviceName, "库房");
    EXPECT_EQ(s.info.deviceNumber, kAddress);
    EXPECT_EQ(s.info.probeType, 1);
    EXPECT_FLOAT_EQ(s.info.channels[0].lower, 2.5f);
    EXPECT_FLOAT_EQ(s.info.channels[0].upper, 8.0f);
    EXPECT_EQ(s.info.recordInter, 5);
    EXPECT_EQ(summarizeDevice(kLine, kAddress + 1).deviceRow, DeviceRow::Missing);
}

TEST_F(HistoryTest, OneRowIsBothStartAndEnd) {
    addDevice(4);
    reading("2024-03-05 07:08:09", "21.5", "40.0");
    const TableSummary s = summarizeDevice(kLine, kAddress);
    EXPECT_EQ(s.total, 1);
    EXPECT_EQ(startText(s.first), "数据库开始时间：2024-03-05 07:08:09\n");
    EXPECT_EQ(endText(s.last), "数据库结束时间：2024-03-05 07:08:09\n");
}

TEST_F(HistoryTest, StartEndCountAndOpenAlarms) {
    addDevice(4);
    reading("2024-03-05 10:00:00", "21.5", "40.0", "1");
    reading("2024-03-01 10:00:00", "21.5", "40.0", "A");
    reading("2024-03-09 10:00:00", "21.5", "40.0", "0");
    reading("2024-03-07 10:00:00", "21.5", "40.0", "");
    reading("2024-03-08 10:00:00", "21.5", "40.0", "33", 1, "root", "ok");
    reading("2024-03-06 10:00:00", "21.5", "40.0", "17");
    const TableSummary s = summarizeDevice(kLine, kAddress);
    EXPECT_EQ(s.total, 6);
    EXPECT_EQ(s.first, "2024-03-01 10:00:00");
    EXPECT_EQ(s.last, "2024-03-09 10:00:00");
    EXPECT_EQ(s.openAlarms, 2);
}

TEST_F(HistoryTest, SpanNewestFirstWithAlarmRows) {
    addDevice(4);
    reading("2024-03-05 10:00:00", "21.5", "40.0", "1");
    reading("2024-03-05 10:01:00", "1000", "41.0", "A");
    reading("2024-03-05 10:02:00", "22.0", "1000", "0");
    reading("2024-03-05 10:03:00", "22.5", "43.0", "");
    reading("2024-03-05 10:04:00", "23.0", "44.0", "33", 1, "root", "门已关");
    reading("2024-03-05 10:05:00", "23.5", "45.0", "17");
    reading("2024-03-05 10:06:00", "24.0", "46.0", "2");  // outside the span
    QueryControl control;
    SpanResult r = querySpan(kTable, "2024-03-05 10:00:00", "2024-03-05 10:05:00", control);
    ASSERT_EQ(r.result, db::StoreResult::Done);
    ASSERT_EQ(r.readings.size(), 6u);
    EXPECT_EQ(control.permille.load(), kPermille);
    EXPECT_EQ(r.readings.front().timeText(), "2024-03-05 10:05:00");
    EXPECT_EQ(r.readings.back().timeText(), "2024-03-05 10:00:00");
    EXPECT_EQ(valueText(r.readings[4].ch1), "N/A");
    EXPECT_EQ(valueText(r.readings[3].ch2), "N/A");
    EXPECT_EQ(valueText(r.readings[0].ch1), "23.5");

    ASSERT_TRUE(r.alarmsRead);
    ASSERT_EQ(r.alarms.size(), 3u);  // "A", "0" and "" are no alarms
    const AlarmRow& open = r.alarms[0];
    const AlarmRow& handled = r.alarms[1];
    const char* const openCells[] = {"1", "2024-03-05 10:05:00", "23.5", "45.0", "通道一下限超标  通道二下限超标  ",
                                     "待处理", "", ""};
    const char* const handledCells[] = {"2", "2024-03-05 10:04:00", "23.0", "44.0",
                                        "通道一下限超标  通道二上限超标  ", "已处理", "root", "门已关"};
    for (int c = 0; c < kAlarmColumns; ++c) {
        EXPECT_EQ(alarmCell(open, 0, c), openCells[c]) << c;
        EXPECT_EQ(alarmCell(handled, 1, c), handledCells[c]) << c;
    }
    EXPECT_EQ(alarmCell(r.alarms[2], 2, 4), "通道一下限超标  ");
}

TEST_F(HistoryTest, ACancelledQueryStops) {
    addDevice(4);
    reading("2024-03-05 10:00:00", "21.5", "40.0");
    QueryControl control;
    control.cancel = true;
    SpanResult r = querySpan(kTable, "2024-03-05 00:00:00", "2024-03-06 00:00:00", control);
    EXPECT_TRUE(r.cancelled);
    EXPECT_NE(r.result, db::StoreResult::Done);
    EXPECT_TRUE(r.readings.empty());
}

TEST_F(HistoryTest, StatisticsOfAHandComputedSpan) {
    addDevice(4);
    // Channel 1: the newest is 1000 (no reading), the rest lie in 20..25.
    reading("2024-03-05 10:03:00", "1000", "50.0");
    reading("2024-03-05 10:02:00", "25.0", "1000");
    reading("2024-03-05 10:01:00", "20.0", "60.0");
    reading("2024-03-05 10:00:00", "22.5", "70.0");
    reading("2024-03-05 09:59:00", "99.0", "99.0");  // before the span
    const StatisticsResult r = computeStatistics(kTable, "2024-03-05 10:00:00", "2024-03-05 10:03:00");
    ASSERT_EQ(r.result, db::StoreResult::Done);
    EXPECT_EQ(r.figures.count, 4u);
    EXPECT_EQ(r.figures.max1, 25.0f);
    EXPECT_EQ(r.figures.min1, 20.0f);
    EXPECT_EQ(r.figures.avg1, 22.5f);  // 67.5 / 3
    EXPECT_EQ(r.figures.max2, 70.0f);
    EXPECT_EQ(r.figures.min2, 50.0f);
    EXPECT_EQ(r.figures.avg2, 60.0f);  // 180 / 3
}

TEST(Statistics, SinglePrecisionAndChannelsWithoutReadings) {
    StatisticsAccumulator acc;
    acc.add(0.1f, kNoReading);
    acc.add(0.2f, kNoReading);
    acc.add(0.7f, kNoReading);
    const Statistics s = acc.result();
    EXPECT_EQ(s.count, 3u);
    // 0.1f + 0.2f = 0.3 (float 0x3E99999A), + 0.7f = 1.0000000f, / 3
    float sum = 0.1f;
    sum += 0.2f;
    sum += 0.7f;
    EXPECT_EQ(s.avg1, sum / 3.0f);
    EXPECT_EQ(s.max1, 0.7f);
    EXPECT_EQ(s.min1, 0.1f);
    // No valid reading: the figures stay 0, no division by zero.
    EXPECT_EQ(s.max2, 0.0f);
    EXPECT_EQ(s.min2, 0.0f);
    EXPECT_EQ(s.avg2, 0.0f);
}

TEST(HistoryText, ByProbeType) {
    struct Case {
        int probe;
        const char* header;
        const char* series;
        const char* second;
        const char* readout;
    } cases[] = {
        {1, "湿度[%]", "   ", "--", "时间: 2024-03-05 10:00:00   温度(℃):21.5 "},
        {2, "温度[℃]", "温度(℃)", "40.0", "时间: 2024-03-05 10:00:00   温度(℃):21.5     温度(℃):40.0"},
        {4, "湿度[%]", "湿度(%)", "40.0", "时间: 2024-03-05 10:00:00   温度(℃):21.5     湿度(%):40.0"},
        {0, "湿度[%]", "湿度(%)", "40.0", "时间: 2024-03-05 10:00:00   温度(℃):21.5     湿度(%):40.0"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(secondHeader(c.probe), c.header) << c.probe;
        EXPECT_STREQ(secondSeriesTitle(c.probe), c.series) << c.probe;
        EXPECT_EQ(secondChannelText(c.probe, 40.0f), c.second) << c.probe;
        EXPECT_EQ(readoutText(c.probe, "2024-03-05 10:00:00", 21.5f, 40.0f), c.readout) << c.probe;
        EXPECT_EQ(drawsSecondChannel(c.probe), c.probe != 1);
    }
    EXPECT_EQ(secondChannelText(1, kNoReading), "--");
    EXPECT_EQ(secondChannelText(4, kNoReading), "N/A");
    EXPECT_EQ(countText(525600), "数据总数:525600条");
    EXPECT_EQ(valueText(-3.25f), "-3.2");
}

TEST(AlarmEvent, TextsOfTheSign) {
    struct Case {
        const char* sign;
        const char* text;
    } cases[] = {
        {"17", "通道一下限超标  通道二下限超标  "},
        {"34", "通道一上限超标  通道二上限超标  "},
        {"3", "通道一下限超标  "},
        {"33", "通道一下限超标  通道二上限超标  "},
        {"48", "通道二下限超标  "},
        {"2", "通道一上限超标  "},
        {"A", ""},
        {"", ""},
        {"0", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(alarms::eventText(std::string_view(c.sign)), c.text) << c.sign;
}

}  // namespace
}  // namespace tovanix::data

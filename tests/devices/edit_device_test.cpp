// The edit-device logic against the private server: the device's own row,
// names checked on the line, and a new address moving the data table.
#include <gtest/gtest.h>

#include "db/connection.h"
#include "db/data_table.h"
#include "devices/add_device.h"
#include "devices/config_load.h"
#include "devices/edit_device.h"
#include "devices/engine.h"
#include "tests/support/prompt_recorder.h"
#include "tests/support/test_db.h"

namespace tovanix::devices {
namespace {

using test::DbTest;
using test::execOrFail;
using test::PromptRecorder;
using test::rowCount;
using test::scalar;

class EditDeviceTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (IsSkipped() || HasFailure()) return;
        createDatabase();
        engine = std::make_unique<Engine>();
        // Two lines of the same name; each has a device "同名" at address 5.
        for (int lineid : {1, 2}) {
            LineEntry l;
            l.lineid = lineid;
            l.name = "冷库";
            ASSERT_TRUE(engine->table().addLine(l));
        }
        ASSERT_TRUE(engine->table().addGroup(1, {"一组", 1, 101}));
        ASSERT_TRUE(add(1, "同名", 5, 101));
        ASSERT_TRUE(add(1, "其他", 6, 0));
        ASSERT_TRUE(add(2, "同名", 5, 0));
        db::Connection c;
        ASSERT_TRUE(c.open());
        ASSERT_TRUE(db::createDataTable(c, 1005));
        ASSERT_TRUE(db::storeLiveReading(c, 1005, "2024-05-01 10:00:00", 21.5, 55.0, "0"));
        ASSERT_TRUE(db::storeLiveReading(c, 1005, "2024-05-01 10:01:00", 21.6, 55.1, "0"));
        prompts.prompts.clear();
    }
    bool add(int lineid, const std::string& name, int address, int roomid) {
        const unsigned node = roomid != 0 ? static_cast<unsigned>(roomid) * 1000 : static_cast<unsigned>(lineid) * 100000;
        return submitAddDevice(prompts, *engine, {name, std::to_string(address), node, "x"}).close;
    }
    EditDeviceOutcome edit(unsigned node, const std::string& name, const std::string& address) {
        EditDeviceState st = openEditDevice(prompts, *engine, node);
        EXPECT_TRUE(st.found);
        prompts.prompts.clear();
        return submitEditDevice(prompts, *engine, st, name, address);
    }
    PromptRecorder prompts;
    std::unique_ptr<Engine> engine;
};

TEST_F(EditDeviceTest, OpeningReadsTheDevicesOwnRowFromTheNodeData) {
    // Under a group the parent node is the group, and both lines are "冷库":
    // the line comes from the node's data.
    EditDeviceState st = openEditDevice(prompts, *engine, 101005);
    ASSERT_TRUE(st.found);
    EXPECT_EQ(st.lineid, 1);
    EXPECT_EQ(st.name, "同名");
    EXPECT_EQ(st.address, 5);
    EditDeviceState missing = openEditDevice(prompts, *engine, 100009);
    EXPECT_FALSE(missing.found);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kDeviceMissing});
}

TEST_F(EditDeviceTest, RenameTouchesOnlyTheDevicesOwnRow) {
    EditDeviceOutcome out = edit(101005, "新名'\"\\%", "5");
    ASSERT_TRUE(out.close);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kDeviceChanged});
    EXPECT_EQ(scalar("select DeviceName from tovandevicetable where LineID=1 and DeviceNumber=5"), "新名'\"\\%");
    EXPECT_EQ(scalar("select DeviceName from tovandevicetable where LineID=2 and DeviceNumber=5"), "同名");
    EXPECT_EQ(engine->table().device(1, 5)->name, "新名'\"\\%");
    EXPECT_EQ(engine->table().device(2, 5)->name, "同名");
}

TEST_F(EditDeviceTest, NewAddressMovesTheDataTable) {
    EditDeviceOutcome out = edit(101005, "同名", "7");
    ASSERT_TRUE(out.close) << (prompts.prompts.empty() ? "" : prompts.prompts[0].text);
    EXPECT_EQ(scalar("select DeviceNumber from tovandevicetable where LineID=1 and deviceid=1"), "7");
    EXPECT_EQ(rowCount("select * from TovanDataTable_1007"), 2);
    EXPECT_EQ(scalar("select CHL1 from TovanDataTable_1007 where RecordDataTime='2024-05-01 10:01:00'"), "21.6");
    EXPECT_EQ(rowCount("show tables like 'TovanDataTable\\\\_1005'"), 0);
    // The entry takes the new address at once: the scan reads the right logger.
    EXPECT_FALSE(engine->table().device(1, 5).has_value());
    ASSERT_TRUE(engine->table().device(1, 7).has_value());
    EXPECT_EQ(engine->table().device(1, 7)->deviceid, 1);
}

TEST_F(EditDeviceTest, RefusalsChangeNothing) {
    {
        db::Connection c;
        ASSERT_TRUE(c.open());
        ASSERT_TRUE(db::createDataTable(c, 1008));  // left by a device that once had address 8
    }
    struct Case {
        const char* what;
        std::string name;
        std::string address;
        std::string message;
    } cases[] = {
        {"name of another device of the line", "其他", "5", kDeviceExists},
        {"address of another device of the line", "同名", "6", "冷库 下地址为 6 的设备已经存在"},
        {"a data table of the new address exists", "同名", "8", "地址为 8 的数据表已经存在，设备地址未修改"},
        {"address 0", "同名", "0", kAddressWrong},
        {"address 1000", "同名", "1000", kAddressWrong},
        {"address -1", "同名", "-1", kAddressWrong},
        {"address as text", "同名", "五", kAddressWrong},
        {"empty name", "", "5", kNameLengthWrong},
    };
    for (const auto& c : cases) {
        EditDeviceOutcome out = edit(101005, c.name, c.address);
        EXPECT_FALSE(out.close) << c.what;
        EXPECT_EQ(prompts.texts(), std::vector<std::string>{c.message}) << c.what;
        EXPECT_EQ(scalar("select DeviceName from tovandevicetable where LineID=1 and deviceid=1"), "同名") << c.what;
        EXPECT_EQ(scalar("select DeviceNumber from tovandevicetable where LineID=1 and deviceid=1"), "5") << c.what;
        EXPECT_EQ(rowCount("select * from TovanDataTable_1005"), 2) << c.what;
        EXPECT_TRUE(engine->table().device(1, 5).has_value()) << c.what;
    }
    // The same name on another line is no conflict, nor is a deleted row's name.
    execOrFail("update tovandevicetable set DeviceEraseSign=1 where LineID=1 and DeviceNumber=6");
    EXPECT_TRUE(edit(101005, "其他", "5").close);
}

TEST_F(EditDeviceTest, UnreachableDatabaseChangesNothing) {
    EditDeviceState st = openEditDevice(prompts, *engine, 101005);
    const db::Account good = test::testServer().account;
    db::setAccount({good.user, good.password + "x"});
    EditDeviceOutcome out = submitEditDevice(prompts, *engine, st, "新名", "9");
    db::setAccount(good);
    EXPECT_FALSE(out.close);
    EXPECT_EQ(prompts.texts().back(), kCannotOpenDatabase);
    EXPECT_EQ(engine->table().device(1, 5)->name, "同名");
    EXPECT_EQ(rowCount("select * from TovanDataTable_1005"), 2);
}

}  // namespace
}  // namespace tovanix::devices

#include "devices/edit_device.h"

#include <mutex>

#include "db/allocation.h"
#include "db/connection.h"
#include "devices/add_device.h"
#include "devices/config_load.h"
#include "devices/edit_device_store.h"
#include "devices/engine.h"
#include "platform/encoding.h"
#include "platform/format.h"
#include "platform/prompter.h"

namespace tovanix::devices {

namespace {
constexpr unsigned kLineNodeFactor = 100000;  // any node's data / 100000 = lineid
constexpr unsigned kAddressModulus = 1000;    // a device node's data % 1000 = address

EditDeviceOutcome stay(Prompter& p, const std::string& text, const char* caption, bool name = false,
                       bool address = false) {
    p.inform(text, caption);
    return {false, name, address};
}
}  // namespace

EditDeviceState openEditDevice(Prompter& p, Engine& engine, unsigned deviceNodeData) {
    EditDeviceState s;
    s.lineid = static_cast<int>(deviceNodeData / kLineNodeFactor);
    const int address = static_cast<int>(deviceNodeData % kAddressModulus);
    auto line = engine.table().line(s.lineid);
    if (line) s.lineName = line->name;
    const StoredDevice row = loadDeviceRow(s.lineid, address);
    if (row.result == db::StoreResult::ConnectFailed) {
        p.inform(kCannotOpenDatabase, kCaptionInfo);
    } else if (!row.found || !engine.table().device(s.lineid, address)) {
        p.inform(kDeviceMissing, kCaptionInfo);
    } else {
        s.found = true;
        s.rowId = row.rowId;
        s.name = row.name;
        s.address = row.address;
    }
    return s;
}

ReAddressResult storeDeviceIdentity(Engine& engine, int rowId, int lineid, int oldAddress, int newAddress,
                                    const std::string& name) {
    db::Connection c;
    if (!c.open()) return ReAddressResult::ConnectFailed;
    // The scan stores under this lock: no reading goes into the old table
    // once it moved, and the entry follows at once.
    std::lock_guard<std::mutex> store(engine.storeLock());
    const ReAddressResult r = updateDeviceRow(c, rowId, lineid, oldAddress, newAddress, name);
    if (r == ReAddressResult::Done) {
        engine.table().updateDevice(lineid, oldAddress, [&](DeviceEntry& d) {
            d.name = name;
            d.address = static_cast<std::uint16_t>(newAddress);
        });
    }
    return r;
}

EditDeviceOutcome submitEditDevice(Prompter& p, Engine& engine, const EditDeviceState& opened,
                                   const std::string& name, const std::string& addressText) {
    if (!opened.found) return stay(p, kDeviceMissing, kCaptionInfo);
    const std::size_t chars = platform::utf8Length(name);
    if (chars < 1 || chars > static_cast<std::size_t>(kDeviceNameMaxChars)) {
        return stay(p, kNameLengthWrong, kNameCaption, true);
    }
    // Outside 1..999 the address would not fit the tree's node numbers.
    const int address = parseAddress(addressText);
    if (address < db::kMinDeviceAddress || address > db::kMaxDeviceAddress) {
        return stay(p, kAddressWrong, kAddressCaption, false, true);
    }
    if (name != opened.name) {
        const NameCheck check = deviceNameTaken(opened.lineid, name, opened.rowId);
        if (check.result == db::StoreResult::ConnectFailed) return stay(p, kCannotOpenDatabase, kCaptionInfo);
        if (check.result == db::StoreResult::Failed) return stay(p, kDeviceChangeFailed, kCaptionInfo);
        if (check.taken) return stay(p, kDeviceExists, kCaptionInfo, true);
    }
    const ReAddressResult r = storeDeviceIdentity(engine, opened.rowId, opened.lineid, opened.address, address, name);
    switch (r) {
        case ReAddressResult::ConnectFailed:
            return stay(p, kCannotOpenDatabase, kCaptionInfo);
        case ReAddressResult::AddressTaken:
            return stay(p, platform::format(kAddressTakenFormat, opened.lineName.c_str(), address), kNameCaption,
                        false, true);
        case ReAddressResult::TableTaken:
            return stay(p, platform::format(kDataTableExistsFormat, address), kCaptionInfo, false, true);
        case ReAddressResult::Failed:
            return stay(p, kDeviceChangeFailed, kCaptionInfo);
        case ReAddressResult::Done:
            break;
    }
    p.inform(kDeviceChanged, kCaptionInfo);
    return {true, false, false};
}

}  // namespace tovanix::devices

#include "devices/add_device.h"

#include <cerrno>
#include <cstdlib>

#include "db/allocation.h"
#include "devices/add_device_store.h"
#include "devices/config_load.h"
#include "devices/engine.h"
#include "devices/messages.h"
#include "platform/encoding.h"
#include "platform/format.h"
#include "platform/prompter.h"

namespace tovanix::devices {

namespace {

constexpr unsigned kLineNodeFactor = 100000;   // line node data = lineid * 100000
constexpr unsigned kGroupNodeFactor = 1000;    // group node data = roomid * 1000
constexpr int kGroupsPerLineNumber = 100;      // roomid = lineid * 100 + n

AddDeviceOutcome stay(Prompter& p, const std::string& text, const char* caption,
                      AddDeviceField focus = AddDeviceField::None) {
    p.inform(text, caption);
    AddDeviceOutcome out;
    out.focus = focus;
    return out;
}

}  // namespace

int parseAddress(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(begin, &end, 10);
    if (end == begin || errno != 0) return -1;
    while (*end == ' ' || *end == '\t') ++end;
    if (*end != '\0' || v < 0 || v > db::kMaxDeviceAddress) return -1;
    return static_cast<int>(v);
}

AddDeviceOutcome submitAddDevice(Prompter& p, Engine& engine, const AddDeviceInput& in) {
    const std::size_t chars = platform::utf8Length(in.name);
    if (chars < 1 || chars > static_cast<std::size_t>(kDeviceNameMaxChars)) {
        return stay(p, kNameLengthWrong, kNameCaption, AddDeviceField::Name);
    }
    const int address = parseAddress(in.addressText);
    if (address < db::kMinDeviceAddress || address > db::kMaxDeviceAddress) {
        return stay(p, kAddressWrong, kAddressCaption, AddDeviceField::Address);
    }
    const int lineid = static_cast<int>(in.nodeData / kLineNodeFactor);
    int roomid = static_cast<int>(in.nodeData / kGroupNodeFactor);
    if (roomid % kGroupsPerLineNumber == 0) roomid = 0;

    auto line = engine.table().line(lineid);
    if (!line) return stay(p, kDeviceLineMissing, kCaptionInfo);
    // Each address at most once per line: a full line has no address left,
    // and the tiles and the line's slots hold 999.
    if (static_cast<int>(line->devices.size()) >= kMaxDevicesPerLine) return stay(p, kDevicesFull, kCaptionInfo);

    const DeviceAdd add = addDeviceRow(lineid, address, in.name, roomid);
    if (add.result == db::StoreResult::ConnectFailed) return stay(p, kCannotOpenDatabase, kCaptionInfo);
    if (add.allocation.result == db::AllocationResult::InUse) {
        return stay(p, platform::format(kAddressTakenFormat, in.nodeText.c_str(), address), kNameCaption,
                    AddDeviceField::Address);
    }
    if (!add.allocation.ok()) return stay(p, kDeviceAddFailed, kCaptionInfo);

    DeviceEntry d;
    d.name = in.name;
    d.address = static_cast<std::uint16_t>(address);
    d.groupId = roomid;
    d.deviceid = add.allocation.number;
    d.lineid = lineid;
    d.powerKind = kPowerUnknown;
    if (engine.table().addDevice(lineid, d) < 0) return stay(p, kDevicesFull, kCaptionInfo);
    engine.restartScanTimer();
    // By value: the dialog is gone when the polling thread takes it.
    engine.post(kMsgProbeDevice, DeviceRequest{lineid, address});

    AddDeviceOutcome out;
    out.close = true;
    out.lineid = lineid;
    out.roomid = roomid;
    out.address = address;
    out.deviceid = add.allocation.number;
    return out;
}

}  // namespace tovanix::devices

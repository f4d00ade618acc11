#include "devices/set_device.h"

#include <chrono>

#include "db/allocation.h"
#include "devices/add_device.h"
#include "devices/edit_device.h"
#include "devices/edit_device_store.h"
#include "devices/engine.h"
#include "devices/messages.h"
#include "devices/set_device_store.h"
#include "platform/encoding.h"
#include "platform/format.h"
#include "platform/prompter.h"

namespace tovanix::devices {

namespace {
constexpr unsigned kLineNodeFactor = 100000;  // any node's data / 100000 = lineid
constexpr unsigned kAddressModulus = 1000;    // a device node's data % 1000 = address
constexpr int kSyncDotsMax = 4;
}  // namespace

CurrentDevice loadCurrentDevice(Engine& engine, unsigned nodeData) {
    CurrentDevice c;
    c.lineid = static_cast<int>(nodeData / kLineNodeFactor);
    c.address = static_cast<int>(nodeData % kAddressModulus);
    auto line = engine.table().line(c.lineid);
    auto dev = engine.table().device(c.lineid, c.address);
    if (!line || !dev) return c;
    const DeviceSettingsRow row = loadDeviceSettingsRow(c.lineid, c.address);
    if (!row.found) return c;
    c.found = true;
    c.port = line->port;
    c.wired = line->wired != 0;
    c.rowId = row.rowId;
    c.deviceid = dev->deviceid;
    c.name = dev->name;
    c.running = dev->running != 0;
    c.power1 = dev->power1;
    c.power2 = dev->power2;
    c.powerKind = dev->powerKind;
    c.probeType = dev->probeType;
    c.ch1Enable = dev->ch1Enable;
    c.ch2Enable = dev->ch2Enable;
    c.ch1Upper = dev->ch1Upper;
    c.ch1Lower = dev->ch1Lower;
    c.ch2Upper = dev->ch2Upper;
    c.ch2Lower = dev->ch2Lower;
    // A row never written by the page names its channels by the probe type.
    const bool secondIsHumidity = c.probeType != kProbeTwoTemperatures;
    c.ch1Type = row.ch1Type.empty() ? kTemperatureName : row.ch1Type;
    c.ch1Unit = row.ch1Unit.empty() ? kCelsiusUnit : row.ch1Unit;
    c.ch2Type = !row.ch2Type.empty() ? row.ch2Type : secondIsHumidity ? kHumidityName : kTemperatureName;
    c.ch2Unit = !row.ch2Unit.empty() ? row.ch2Unit : secondIsHumidity ? kPercentUnit : kCelsiusUnit;
    c.soundEnable = row.soundEnable;
    c.monitorInter = row.monitorInter;
    c.soundDuration = row.soundDuration;
    // The entry follows every write of the interval; the row has the unit.
    c.recordInterval = c.wired ? dev->recordInterval : row.recordInter;
    c.recordInterUnit = row.recordInterUnit;
    c.settingsLoaded = dev->settingsLoaded != 0;
    return c;
}

CurrentDevice reloadCurrentDevice(Engine& engine, const CurrentDevice& current) {
    return loadCurrentDevice(engine, static_cast<unsigned>(current.lineid) * kLineNodeFactor +
                                         static_cast<unsigned>(current.address));
}

std::string infoTitle(const std::string& name) {
    return platform::format(kSetDeviceTitleFormat, name.c_str());
}

std::string readingTitle(const std::string& name, int tick) {
    const std::string dots(static_cast<std::size_t>(tick % kReadingDotsMax + 1), '.');
    return platform::format(kReadingTitleFormat, name.c_str(), dots.c_str());
}

std::string readFailedTitle(const std::string& name) {
    return platform::format(kReadFailedTitleFormat, name.c_str());
}

std::string powerKindText(int kind) {
    switch (kind) {
        case kPowerExternal:
            return kPowerExternalText;
        case kPowerBatteryLow:
            return kPowerLowText;
        case kPowerBatteryMedium:
            return kPowerMediumText;
        case kPowerBatteryFull:
            return kPowerFullText;
        default:
            return kPowerUnknownText;
    }
}

std::string voltsText(float volts) {
    return platform::format(kVoltsFormat, static_cast<double>(volts));
}

int probeTypeIndex(int probeType) {
    for (int i = 0; i < static_cast<int>(std::size(kProbeTypeValues)); ++i) {
        if (kProbeTypeValues[i] == probeType) return i;
    }
    return static_cast<int>(std::size(kProbeTypeValues)) - 1;
}

int probeTypeOfIndex(int index) {
    if (index < 0 || index >= static_cast<int>(std::size(kProbeTypeValues))) return kProbeHumidity;
    return kProbeTypeValues[index];
}

bool submitProbeType(Prompter& prompter, Engine& engine, CurrentDevice& current, int index) {
    const int type = probeTypeOfIndex(index);
    if (storeProbeType(type, current.address, current.lineid) != db::StoreResult::Done) {
        prompter.inform(kDeviceInfoFailed, kCaptionInfo);
        return false;
    }
    engine.table().updateDevice(current.lineid, current.address, [type](DeviceEntry& d) { d.probeType = type; });
    current.probeType = type;
    return true;
}

platform::ResultFollower::Request clockSyncRequest(Engine& engine, const CurrentDevice& current) {
    platform::ResultFollower::Request r;
    const DeviceRequest request{current.lineid, current.address};
    r.post = [&engine, request] { return engine.post(kMsgStartLogging, request); };
    r.code = &engine.startLoggingResult;
    // The handler leaves 0 for its own result.
    r.pending = kResultNone;
    r.idle = kResultNone;
    r.timeout = std::chrono::milliseconds(kRequestTimeoutMs);
    return r;
}

std::string synchronisingText(int tick) {
    return std::string(kSynchronising) + std::string(static_cast<std::size_t>(tick % kSyncDotsMax + 1), '.');
}

void reportClockSync(Prompter& prompter, platform::ResultFollower::Step step, int code) {
    using Step = platform::ResultFollower::Step;
    if (step != Step::Finished) {
        prompter.inform(kSettingFailed, kCaptionInfo);
        return;
    }
    switch (code) {
        case kResultDone:
            prompter.inform(kClockSynchronised, kCaptionInfo);
            break;
        case kStartLoggingPortClosed:
            prompter.inform(kPortNotOpen, kCaptionInfo);
            break;
        default:
            prompter.inform(kClockFailed, kCaptionInfo);
            break;
    }
}

RenameCheck checkRename(Prompter& p, const CurrentDevice& current, const std::string& name,
                        const std::string& addressText) {
    RenameCheck r;
    const int address = parseAddress(addressText);
    if (name == current.name && address == current.address) {
        p.inform(kNothingChanged, kCaptionInfo);
        return r;
    }
    const std::size_t chars = platform::utf8Length(name);
    if (chars < 1 || chars > static_cast<std::size_t>(kDeviceNameMaxChars)) {
        p.inform(kNameLengthRule, kNameCaptionShort);
        r.focus = RenameField::Name;
        return r;
    }
    if (address < db::kMinDeviceAddress || address > db::kMaxDeviceAddress) {
        p.inform(kAddressRule, kAddressCaptionShort);
        r.focus = RenameField::Address;
        return r;
    }
    if (name != current.name) {
        const NameCheck taken = deviceNameTaken(current.lineid, name, current.rowId);
        if (taken.result != db::StoreResult::Done) {
            p.inform(taken.result == db::StoreResult::ConnectFailed ? kCannotOpenDatabase : kDeviceInfoFailed,
                     kCaptionInfo);
            return r;
        }
        if (taken.taken) {
            p.inform(kDeviceExists, kCaptionInfo);
            r.focus = RenameField::Name;
            return r;
        }
    }
    r.newAddress = address;
    if (address == current.address) {
        r.step = RenameStep::Store;
        return r;
    }
    // Refused before the logger is contacted.
    const AddressUse use = addressInUse(current.lineid, address);
    if (use.result != db::StoreResult::Done) {
        p.inform(use.result == db::StoreResult::ConnectFailed ? kCannotOpenDatabase : kDeviceInfoFailed,
                 kCaptionInfo);
        return r;
    }
    if (use.device) {
        p.inform(platform::format(kAddressUsedFormat, address), kAddressCaptionShort);
        r.focus = RenameField::Address;
        return r;
    }
    if (use.table) {
        p.inform(platform::format(kTableAtAddressFormat, address), kAddressCaptionShort);
        r.focus = RenameField::Address;
        return r;
    }
    r.step = RenameStep::CheckLogger;
    return r;
}

platform::ResultFollower::Request addressCheckRequest(Engine& engine, int lineid, int address) {
    platform::ResultFollower::Request r;
    const DeviceRequest request{lineid, address};
    r.post = [&engine, request] { return engine.post(kMsgCheckAddress, request); };
    r.code = &engine.addressCheckResult;
    r.pending = kResultPending;
    r.idle = kResultNone;
    r.timeout = std::chrono::milliseconds(kRequestTimeoutMs);
    return r;
}

bool loggerAnswered(Prompter& p, platform::ResultFollower::Step step, int code, int address) {
    using Step = platform::ResultFollower::Step;
    if (step == Step::Finished && code == kResultDone) return true;
    if (step == Step::Finished && code == kResultPortClosed) {
        p.inform(kPortNotOpen, kPortCaption);
    } else if (step == Step::Finished) {
        p.inform(platform::format(kNoDeviceAtAddressFormat, address), kAddressCaptionShort);
    } else {
        p.inform(kSettingFailed, kCaptionInfo);
    }
    return false;
}

bool storeRename(Prompter& p, Engine& engine, CurrentDevice& current, const std::string& name, int newAddress,
                 RenameField* focus) {
    const ReAddressResult r =
        storeDeviceIdentity(engine, current.rowId, current.lineid, current.address, newAddress, name);
    if (r == ReAddressResult::Done) {
        current.name = name;
        current.address = newAddress;
        return true;
    }
    const RenameField f = reportRenameFailure(p, r, newAddress);
    if (focus != nullptr) *focus = f;
    return false;
}

RenameField reportRenameFailure(Prompter& p, ReAddressResult result, int newAddress) {
    switch (result) {
        case ReAddressResult::Done:
            break;
        case ReAddressResult::ConnectFailed:
            p.inform(kCannotOpenDatabase, kCaptionInfo);
            break;
        case ReAddressResult::AddressTaken:
            p.inform(platform::format(kAddressUsedFormat, newAddress), kAddressCaptionShort);
            return RenameField::Address;
        case ReAddressResult::TableTaken:
            p.inform(platform::format(kTableAtAddressFormat, newAddress), kAddressCaptionShort);
            return RenameField::Address;
        case ReAddressResult::Failed:
            p.inform(kDeviceInfoFailed, kCaptionInfo);
            break;
    }
    return RenameField::None;
}

platform::ResultFollower::Request networkJobRequest(CTovanDeviveDrive& drive,
                                                   const CTovanDeviveDrive::NetworkRequest& request,
                                                   const std::shared_ptr<CTovanDeviveDrive::NetworkResult>& result) {
    platform::ResultFollower::Request r;
    r.post = [&drive, request, result] {
        drive.startNetworkJob(request, result);
        return true;
    };
    r.code = &result->outcome;
    r.pending = CTovanDeviveDrive::kNetworkPending;
    r.idle = CTovanDeviveDrive::kNetworkFailed;
    // The job's thread always ends (Tevlib's replies time out); only the
    // device event can keep it waiting.
    const bool toTheEnd = request.job == CTovanDeviveDrive::NetworkJob::SetAddress;
    r.timeout = std::chrono::milliseconds(toTheEnd ? 0 : kRequestTimeoutMs);
    return r;
}

bool finishNetworkRun(Prompter& p, Engine& engine, CurrentDevice& current, bool start,
                      platform::ResultFollower::Step step, const CTovanDeviveDrive::NetworkResult& result) {
    using Step = platform::ResultFollower::Step;
    const int outcome = result.outcome.load();
    if (step == Step::Finished && outcome == CTovanDeviveDrive::kNetworkPortFailed) {
        p.inform(kPortCannotOpen, kPortCaption);
        return current.running;
    }
    if (step != Step::Finished || outcome != CTovanDeviveDrive::kNetworkDone) {
        p.inform(start ? kStartFailed : kStopFailed, kCaptionInfo);
        return !start;
    }
    current.running = start;
    if (start) {
        current.power1 = result.power1;
        current.power2 = result.power2;
        current.powerKind = result.powerKind;
    }
    engine.table().updateDevice(current.lineid, current.address, [&](DeviceEntry& d) {
        d.running = start ? 1 : 0;
        if (!start) return;
        d.power1 = result.power1;
        d.power2 = result.power2;
        d.powerKind = result.powerKind;
    });
    p.inform(start ? kStartedOk : kStoppedOk, kCaptionInfo);
    return start;
}

bool networkAddressChanged(Prompter& p, platform::ResultFollower::Step step,
                           const CTovanDeviveDrive::NetworkResult& result, int address, RenameField* focus) {
    using Step = platform::ResultFollower::Step;
    RenameField f = RenameField::Address;
    const int outcome = result.outcome.load();
    if (step == Step::Finished && outcome == CTovanDeviveDrive::kNetworkDone) {
        if (result.stored == ReAddressResult::Done) return true;
        // The logger moved but its row could not follow.
        f = reportRenameFailure(p, result.stored, address);
    } else if (step == Step::Finished && outcome == CTovanDeviveDrive::kNetworkPortFailed) {
        p.inform(kPortCannotOpen, kPortCaption);
    } else if (step == Step::Finished) {
        p.inform(platform::format(kNoDeviceAtAddressFormat, address), kAddressCaptionShort);
    } else {
        p.inform(kSettingFailed, kCaptionInfo);
    }
    if (focus != nullptr) *focus = f;
    return false;
}

bool linePortOpen(Engine& engine, int lineid) {
    auto line = engine.table().line(lineid);
    return line && line->portOpen;
}

}  // namespace tovanix::devices

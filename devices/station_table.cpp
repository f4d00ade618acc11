#include "devices/station_table.h"

#include <algorithm>

namespace tovanix::devices {

std::vector<LineEntry> StationTable::snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

void StationTable::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
}

int StationTable::lineCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(lines_.size());
}

int StationTable::deviceCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    int n = 0;
    for (const auto& l : lines_) n += static_cast<int>(l.devices.size());
    return n;
}

bool StationTable::addLine(LineEntry line) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (static_cast<int>(lines_.size()) >= kMaxLines) return false;
    if (static_cast<int>(line.groups.size()) > kMaxGroupsPerLine) line.groups.resize(kMaxGroupsPerLine);
    if (static_cast<int>(line.devices.size()) > kMaxDevicesPerLine) line.devices.resize(kMaxDevicesPerLine);
    lines_.push_back(std::move(line));
    return true;
}

bool StationTable::addGroup(int lineid, GroupEntry group) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& l : lines_) {
        if (l.lineid != lineid) continue;
        if (static_cast<int>(l.groups.size()) >= kMaxGroupsPerLine) return false;
        l.groups.push_back(std::move(group));
        return true;
    }
    return false;
}

int StationTable::addDevice(int lineid, DeviceEntry device) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& l : lines_) {
        if (l.lineid != lineid) continue;
        if (static_cast<int>(l.devices.size()) >= kMaxDevicesPerLine) return -1;
        l.devices.push_back(std::move(device));
        return static_cast<int>(l.devices.size()) - 1;
    }
    return -1;
}

bool StationTable::removeLine(int lineid) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find_if(lines_.begin(), lines_.end(), [&](const LineEntry& l) { return l.lineid == lineid; });
    if (it == lines_.end()) return false;
    lines_.erase(it);  // later lines move down one place
    return true;
}

bool StationTable::removeDevice(int lineid, int address) {
    std::lock_guard<std::mutex> lock(mutex_);
    DeviceRef r = findLocked(lines_, lineid, address);
    if (!r.valid()) return false;
    auto& devs = lines_[static_cast<std::size_t>(r.line)].devices;
    devs.erase(devs.begin() + r.device);
    return true;
}

bool StationTable::removeGroup(int lineid, int roomid, std::vector<DeviceEntry>* moved) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& l : lines_) {
        if (l.lineid != lineid) continue;
        // Its devices move even without the group's entry, as in the database.
        for (auto& d : l.devices) {
            if (d.groupId != roomid) continue;
            d.groupId = 0;
            if (moved != nullptr) moved->push_back(d);
        }
        auto g = std::find_if(l.groups.begin(), l.groups.end(), [&](const GroupEntry& e) { return e.roomid == roomid; });
        if (g == l.groups.end()) return false;
        l.groups.erase(g);
        return true;
    }
    return false;
}

int StationTable::lineIndex(int lineid) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].lineid == lineid) return static_cast<int>(i);
    }
    return -1;
}

DeviceRef StationTable::findLocked(const std::vector<LineEntry>& lines, int lineid, int address) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].lineid != lineid) continue;
        for (std::size_t j = 0; j < lines[i].devices.size(); ++j) {
            if (lines[i].devices[j].address == address) return {static_cast<int>(i), static_cast<int>(j)};
        }
        return {};
    }
    return {};
}

DeviceRef StationTable::find(int lineid, int address) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return findLocked(lines_, lineid, address);
}

std::optional<DeviceEntry> StationTable::device(int lineid, int address) const {
    std::lock_guard<std::mutex> lock(mutex_);
    DeviceRef r = findLocked(lines_, lineid, address);
    if (!r.valid()) return std::nullopt;
    return lines_[static_cast<std::size_t>(r.line)].devices[static_cast<std::size_t>(r.device)];
}

std::optional<LineEntry> StationTable::line(int lineid) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& l : lines_) {
        if (l.lineid == lineid) return l;
    }
    return std::nullopt;
}

std::string StationTable::groupName(int roomid) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return groupNameIn(lines_, roomid);
}

std::string StationTable::groupNameIn(const std::vector<LineEntry>& lines, int roomid) {
    std::string name;
    for (const auto& l : lines) {
        for (const auto& g : l.groups) {
            if (g.roomid == roomid) name = g.name;
        }
    }
    return name;
}

DeviceEntry* StationTable::findIn(std::vector<LineEntry>& lines, int lineid, int address, LineEntry** line) {
    DeviceRef r = findLocked(lines, lineid, address);
    if (!r.valid()) return nullptr;
    LineEntry& l = lines[static_cast<std::size_t>(r.line)];
    if (line != nullptr) *line = &l;
    return &l.devices[static_cast<std::size_t>(r.device)];
}

}  // namespace tovanix::devices

// The number every node of the device tree carries, and its decoding:
// root 0, line lineid * 100000, group roomid * 1000 (roomid = lineid * 100 +
// n), device roomid * 1000 + address or, directly under its line,
// lineid * 100000 + address.
#pragma once

namespace tovanix::app {

inline constexpr unsigned kLineFactor = 100000;
inline constexpr unsigned kGroupFactor = 1000;
inline constexpr unsigned kAddressModulus = 1000;
inline constexpr unsigned kRootData = 0;

enum class NodeKind { Root, Line, Group, Device };

constexpr NodeKind nodeKind(unsigned data) {
    if (data % kAddressModulus != 0) return NodeKind::Device;
    if (data % kLineFactor != 0) return NodeKind::Group;
    if (data != kRootData) return NodeKind::Line;
    return NodeKind::Root;
}

constexpr unsigned lineNode(int lineid) {
    return static_cast<unsigned>(lineid) * kLineFactor;
}
constexpr unsigned groupNode(int roomid) {
    return static_cast<unsigned>(roomid) * kGroupFactor;
}
// roomid 0: the device hangs directly under its line.
constexpr unsigned deviceNode(int lineid, int roomid, int address) {
    return roomid != 0 ? groupNode(roomid) + static_cast<unsigned>(address)
                       : lineNode(lineid) + static_cast<unsigned>(address);
}

constexpr int lineOf(unsigned data) {
    return static_cast<int>(data / kLineFactor);
}
constexpr int roomOf(unsigned data) {
    return static_cast<int>(data / kGroupFactor);
}
constexpr int addressOf(unsigned data) {
    return static_cast<int>(data % kAddressModulus);
}

// Tile code lineid * 1000 + address, and the node data it stands for.
constexpr int tileCode(int lineid, int address) {
    return lineid * static_cast<int>(kAddressModulus) + address;
}
constexpr unsigned nodeOfTileCode(int code) {
    constexpr int kCodeToNode = 99000;  // code + (code / 1000) * 99000 = lineid * 100000 + address
    return static_cast<unsigned>(code + (code / static_cast<int>(kAddressModulus)) * kCodeToNode);
}

static_assert(nodeKind(302007) == NodeKind::Device && lineOf(302007) == 3 && addressOf(302007) == 7);
static_assert(nodeKind(302000) == NodeKind::Group && roomOf(302000) == 302);
static_assert(nodeKind(300000) == NodeKind::Line && nodeKind(0) == NodeKind::Root);
static_assert(nodeOfTileCode(3007) == 300007);

}  // namespace tovanix::app

// What a device tile says: its arguments from the station table and the
// texts drawn from them.
#pragma once

#include <cstdint>
#include <string>

namespace tovanix::app {

struct TileArgs {
    int position = 0;
    int code = 0;  // lineid * 1000 + address
    std::string name;
    std::uint8_t status = 4;
    std::uint8_t powerKind = 4;
    float ch1 = 1000.0f;
    float ch2 = 1000.0f;
    int probeType = 4;
};

inline constexpr int kProbeTemperature = 1;
inline constexpr int kProbeTwoTemperatures = 2;
inline constexpr int kProbeTemperatureHumidity = 4;

// "%0.1f", or "N/A" for exactly 1000.0 (no reading).
std::string channelText(float value);
// Channel 2: "--.-" for a temperature-only probe.
std::string secondChannelText(float value, int probeType);
struct QuantityLabels {
    std::string first, second;
};
QuantityLabels quantityLabels(int probeType);

}  // namespace tovanix::app

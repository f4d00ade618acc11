#include "app/tile_content.h"

#include "devices/station_table.h"
#include "platform/format.h"

namespace tovanix::app {

std::string channelText(float value) {
    if (value == devices::kNoValue) return "N/A";
    return platform::format("%0.1f", static_cast<double>(value));
}

std::string secondChannelText(float value, int probeType) {
    if (probeType == kProbeTemperature) return "--.-";
    return channelText(value);
}

QuantityLabels quantityLabels(int probeType) {
    switch (probeType) {
        case kProbeTemperature:
            return {"温度(℃)", "        "};
        case kProbeTwoTemperatures:
            return {"温度(℃)", "温度(℃)"};
        case kProbeTemperatureHumidity:
            return {"温度(℃)", "湿度(%)"};
        default:
            return {"", ""};
    }
}

}  // namespace tovanix::app

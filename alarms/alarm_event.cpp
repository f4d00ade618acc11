#include "alarms/alarm_event.h"

#include <charconv>

namespace tovanix::alarms {

std::string eventText(int sign) {
    std::string out;
    if (sign & kSignCh1Low) out += kEventCh1Low;
    else if (sign & kSignCh1High) out += kEventCh1High;
    if (sign & kSignCh2Low) out += kEventCh2Low;
    else if (sign & kSignCh2High) out += kEventCh2High;
    return out;
}

std::string eventText(std::string_view sign) {
    while (!sign.empty() && sign.front() == ' ') sign.remove_prefix(1);
    int value = 0;
    // As "%d" reads it: the leading digits count, the rest is ignored.
    std::from_chars(sign.data(), sign.data() + sign.size(), value);
    return eventText(value);
}

}  // namespace tovanix::alarms

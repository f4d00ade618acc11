#include "alarm/pdu.h"

#include <limits>
#include <utility>

namespace tovanix::alarm {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr char kPadDigit = 'F';
constexpr std::size_t kHexPerUnit = 4;
constexpr std::size_t kOctetsPerUnit = 2;
constexpr std::size_t kLineOverhead = 4;  // the leading "00" and the CR LF

void appendHex(std::string& out, std::uint64_t value) {
    std::size_t digits = hexDigits(value);
    for (std::size_t i = digits; i-- > 0;) out.push_back(kHexDigits[(value >> (4 * i)) & 0xF]);
}

}  // namespace

std::size_t packedPhoneLength(std::string_view phone) {
    std::size_t c = phone.size();
    if (!phone.empty() && phone.front() == '1') c += kChinaPrefix.size();
    return c + (c % 2);
}

std::optional<std::string> packPhone(std::string_view phone) {
    if (packedPhoneLength(phone) > kMaxPackedPhone) return std::nullopt;
    std::string s;
    if (!phone.empty() && phone.front() == '1') s = kChinaPrefix;
    s.append(phone);
    if (s.size() % 2 != 0) s.push_back(kPadDigit);
    for (std::size_t j = 0; j + 1 < s.size(); j += 2) std::swap(s[j], s[j + 1]);
    return s;
}

std::string userDataHex(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * kHexPerUnit + 1);
    for (char16_t u : text) {
        out.push_back(kHexDigits[(u >> 12) & 0xF]);
        out.push_back(kHexDigits[(u >> 8) & 0xF]);
        out.push_back(kHexDigits[(u >> 4) & 0xF]);
        out.push_back(kHexDigits[u & 0xF]);
    }
    out.push_back(kSub);
    return out;
}

std::size_t hexDigits(std::uint64_t value) {
    std::size_t digits = 2;
    while (digits < 16 && (value >> (4 * digits)) != 0) ++digits;
    return digits;
}

std::string pduLine(std::string_view packedPhone, std::u16string_view text) {
    std::string line;
    line.reserve(kPduHead.size() + packedPhone.size() + kPduMiddle.size() + 4 + text.size() * kHexPerUnit + 3);
    line.append(kPduHead);
    line.append(packedPhone);
    line.append(kPduMiddle);
    appendHex(line, static_cast<std::uint64_t>(text.size()) * kOctetsPerUnit);
    line.append(userDataHex(text));
    line.append(kLineEnd);
    return line;
}

long cmgsLength(std::string_view line) {
    if (line.size() < kLineOverhead) return 0;
    return static_cast<long>((line.size() - kLineOverhead) / 2);
}

long cmgsLengthFor(std::size_t packedPhoneLength, std::size_t textUnits) {
    // Past this many units the line length no longer fits the arithmetic below.
    constexpr std::size_t kUnitLimit = std::numeric_limits<long>::max() / 8;
    if (textUnits > kUnitLimit || packedPhoneLength > kUnitLimit) return std::numeric_limits<long>::max();
    const std::size_t chars = kPduHead.size() + packedPhoneLength + kPduMiddle.size() +
                              hexDigits(static_cast<std::uint64_t>(textUnits) * kOctetsPerUnit) +
                              textUnits * kHexPerUnit + 1 + kLineEnd.size();
    return static_cast<long>((chars - kLineOverhead) / 2);
}

std::string cmgsCommand(long length) { return "AT+CMGS=" + std::to_string(length) + std::string(kLineEnd); }

}  // namespace tovanix::alarm

// The SMS-SUBMIT line the modem gets after the AT+CMGS prompt, and the
// length command before it. Pure functions, tested against fixed vectors.
//
// Line layout: "00" (no service centre: the modem's own), "11" (SUBMIT,
// relative validity), "00" (message reference), "0D" (address length, always
// 13 digits), "91" (international, ISDN), the packed number, "00" (protocol
// id), "08" (UCS2), "00" (validity 5 minutes), the user-data length in
// octets (two or more hex digits), 4 hex digits per UTF-16 unit, SUB, CR LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tovanix::alarm {

inline constexpr std::size_t kMaxPackedPhone = 18;  // room of the packing buffer, NUL aside
inline constexpr long kMaxCmgsLength = 350;         // longest message the modem is handed
// Longest PDU line of an accepted message: (L * 2 + 4) rounded up by the SUB byte.
inline constexpr std::size_t kMaxPduLineLength = static_cast<std::size_t>(kMaxCmgsLength) * 2 + 5;
inline constexpr char kSub = 0x1A;  // ends the PDU entry

inline constexpr std::string_view kPduHead = "0011000D91";
inline constexpr std::string_view kPduMiddle = "000800";  // PID, DCS UCS2, VP
inline constexpr std::string_view kLineEnd = "\r\n";
inline constexpr std::string_view kChinaPrefix = "86";

// Semi-octet packing: "86" in front of a number starting with "1", "F" when
// the count is odd, then each pair swapped. Digits are not validated. No
// value when the result would be longer than kMaxPackedPhone.
std::optional<std::string> packPhone(std::string_view phone);
// Length the packed form would have, without building it.
std::size_t packedPhoneLength(std::string_view phone);

// Each unit as 4 uppercase hex digits, most significant nibble first, then SUB.
std::string userDataHex(std::u16string_view text);

// Hex digits "%02X" prints for a value (at least two).
std::size_t hexDigits(std::uint64_t value);

// The whole line, SUB and CR LF included.
std::string pduLine(std::string_view packedPhone, std::u16string_view text);

// L = (characters of the PDU line - 4) / 2: the octets after the leading "00".
long cmgsLength(std::string_view line);
// The same L from the sizes alone, so an oversized text is refused before a
// line is built for it.
long cmgsLengthFor(std::size_t packedPhoneLength, std::size_t textUnits);

// "AT+CMGS=<L>\r\n".
std::string cmgsCommand(long length);

}  // namespace tovanix::alarm

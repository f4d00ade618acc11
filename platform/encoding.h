// Text conversion at the edges: everything inside the program is UTF-8; GBK
// is produced only for consumers that expect it (CSV files, PDF text), UTF-16
// for short messages.
#pragma once

#include <string>
#include <string_view>

namespace tovanix::platform {

// A character GBK cannot hold becomes '?'; invalid UTF-8 bytes become '?'.
std::string utf8ToGbk(std::string_view utf8);
// Invalid GBK sequences become U+FFFD.
std::string gbkToUtf8(std::string_view gbk);
// Invalid UTF-8 bytes become U+FFFD.
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);
// Number of Unicode characters in valid UTF-8 (each invalid byte counts one).
std::size_t utf8Length(std::string_view utf8);

}  // namespace tovanix::platform

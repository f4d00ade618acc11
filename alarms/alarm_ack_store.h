// The statements of the alarm acknowledgement: the open alarm readings of
// one device, and acknowledging all of them at once. Each function opens
// its own connection and closes it before it returns.
#pragma once

#include <string>
#include <vector>

#include "db/store.h"

namespace tovanix::alarms {

inline constexpr std::size_t kUserNameChars = 16;  // user_name char(16)
inline constexpr std::size_t kNoteChars = 120;     // checkevent char(120)

struct OpenAlarm {
    std::string time;
    float ch1 = 0;
    float ch2 = 0;
    std::string sign;
};

struct OpenAlarms {
    db::StoreResult result = db::StoreResult::ConnectFailed;
    std::vector<OpenAlarm> rows;  // newest first
};

// Creates the alarm log table when missing (as opening the dialog always
// has), then reads the unacknowledged alarm rows of the table.
OpenAlarms loadOpenAlarms(int tableNumber);

// Clears AlarmGetSign of the device and marks every unacknowledged alarm
// row of its table with the user and the note, both escaped and cut to
// their columns. Done when the rows' update ran, whatever it matched.
db::StoreResult acknowledgeAll(int lineid, int address, const std::string& user, const std::string& note);

// The first `chars` characters of UTF-8 text (a cut never splits one).
std::string cutUtf8(const std::string& text, std::size_t chars);

}  // namespace tovanix::alarms

// The state text of the status bar's second pane, animated every half
// second while the polling thread is busy.
#pragma once

#include <optional>
#include <string>

namespace tovanix::app {

inline constexpr const char* kInitialStateText = "状态:";
inline constexpr int kMaxDots = 6;

// The pane text for a driver state code and its dots; nullopt for a code the
// pane does not know (the previous text stays).
std::optional<std::string> stateText(int code, const std::string& dots);

// The state text followed by the latest report of readings lost for good
// (the engine's gap notice), which stays in view until another replaces it.
std::string withGapNotice(const std::string& state, const std::string& notice);

class StateDisplay {
public:
    // One tick: while the code is not idle the dots grow by one up to six,
    // and the tick after the sixth empties them.
    std::optional<std::string> tick(int code);
    const std::string& dots() const { return dots_; }

private:
    std::string dots_;
};

}  // namespace tovanix::app

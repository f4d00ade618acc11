#include "app/arguments.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace tovanix::arguments {

namespace {

// Options of the platform layer that take a value (QGuiApplication and the
// X11 platform read them), without their leading dashes.
constexpr std::array<std::string_view, 15> kPlatformValueOptions{"platform",
                                                                 "platformpluginpath",
                                                                 "platformtheme",
                                                                 "plugin",
                                                                 "qwindowgeometry",
                                                                 "qwindowtitle",
                                                                 "qwindowicon",
                                                                 "session",
                                                                 "display",
                                                                 "geometry",
                                                                 "title",
                                                                 "icon",
                                                                 "name",
                                                                 "class",
                                                                 "visual"};
// Options that only the X11 platform takes: left over on the others.
constexpr std::array<std::string_view, 7> kX11ValueOptions{"display", "geometry", "title", "icon",
                                                           "name",    "visual",   "class"};
constexpr std::array<std::string_view, 3> kX11Flags{"sync", "nograb", "dograb"};

// The option name without one or two leading dashes; empty when it is none.
std::string_view optionName(std::string_view arg) {
    if (arg.size() < 2 || arg[0] != '-') return {};
    arg.remove_prefix(arg[1] == '-' ? 2 : 1);
    return arg;
}

template <std::size_t N>
bool contains(const std::array<std::string_view, N>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

std::vector<std::string> splitQtValues(const std::vector<std::string>& args) {
    std::vector<std::string> out;
    for (const std::string& arg : args) {
        const std::string_view name = optionName(arg);
        const auto eq = name.find('=');
        if (eq != std::string_view::npos && contains(kPlatformValueOptions, name.substr(0, eq))) {
            out.push_back("-" + std::string(name.substr(0, eq)));
            out.emplace_back(name.substr(eq + 1));
        } else {
            out.push_back(arg);
        }
    }
    return out;
}

std::optional<std::string> firstUnknown(const std::vector<std::string>& leftover) {
    for (std::size_t i = 0; i < leftover.size(); ++i) {
        const std::string_view name = optionName(leftover[i]);
        if (contains(kX11Flags, name)) continue;
        if (contains(kX11ValueOptions, name) && i + 1 < leftover.size()) {
            ++i;  // and its value
            continue;
        }
        return leftover[i];
    }
    return std::nullopt;
}

}  // namespace tovanix::arguments

#include "app/arguments.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <string_view>
#include <utility>

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
// Options of QGuiApplication and QApplication without a value, and those
// that carry theirs after an equal sign.
constexpr std::array<std::string_view, 3> kQtFlags{"reverse", "widgetcount", "testability"};
constexpr std::array<std::string_view, 2> kWidgetValueOptions{"style", "stylesheet"};
constexpr std::array<std::string_view, 3> kQtJoinedOptions{"style=", "stylesheet=", "qmljsdebugger="};
constexpr std::string_view kPlatformOption = "platform";
// Platforms that draw without a display server.
constexpr std::array<std::string_view, 7> kDisplaylessPlatforms{"offscreen", "minimal", "minimalegl",  "vnc",
                                                                "linuxfb",   "eglfs",   "vkkhrdisplay"};

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

template <std::size_t N>
bool startsWithAny(const std::array<std::string_view, N>& prefixes, std::string_view name) {
    return std::any_of(prefixes.begin(), prefixes.end(), [&](std::string_view p) { return name.starts_with(p); });
}

bool takesValue(std::string_view name) {
    return contains(kPlatformValueOptions, name) || contains(kWidgetValueOptions, name);
}

// A platform as Qt takes it: "name:option=value", or a fallback list of
// them separated by ';', any of which may come up.
bool needsNoDisplay(std::string_view platforms) {
    while (!platforms.empty()) {
        const auto end = platforms.find(';');
        const std::string_view entry = platforms.substr(0, end);
        if (contains(kDisplaylessPlatforms, entry.substr(0, entry.find(':')))) return true;
        if (end == std::string_view::npos) break;
        platforms.remove_prefix(end + 1);
    }
    return false;
}

// "export" and its options: each takes a value, as the next argument or
// after an equal sign.
Command readExport(const std::vector<std::string>& args) {
    Command c;
    c.mode = Mode::Export;
    ExportOptions& o = c.exportOptions;
    const std::pair<std::string_view, std::string*> options[] = {{"--line", &o.line},     {"--address", &o.address},
                                                                 {"--from", &o.from},     {"--to", &o.to},
                                                                 {"--format", &o.format}, {"--output", &o.output}};
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto eq = arg.find('=');
        const std::string_view name = std::string_view(arg).substr(0, eq);
        const auto option = std::find_if(std::begin(options), std::end(options),
                                         [name](const auto& o) { return o.first == name; });
        if (option == std::end(options)) {
            Command refused;
            refused.mode = Mode::Refused;
            refused.refused = arg;
            return refused;
        }
        // "--line --address 3": the next option is no value of this one.
        const auto isOption = [&options](std::string_view next) {
            next = next.substr(0, next.find('='));
            return std::any_of(std::begin(options), std::end(options), [next](const auto& o) { return o.first == next; });
        };
        if (eq != std::string::npos) {
            *option->second = arg.substr(eq + 1);
        } else if (i + 1 < args.size() && !isOption(args[i + 1])) {
            *option->second = args[++i];
        } else {
            Command refused;
            refused.mode = Mode::Refused;
            refused.refused = arg;
            refused.missingValue = arg;
            return refused;
        }
    }
    return c;
}

bool set(const char* value) {
    return value != nullptr && *value != '\0';
}

}  // namespace

Command read(const std::vector<std::string>& args) {
    Command c;
    if (std::any_of(args.begin(), args.end(), [](const std::string& a) { return a == "--help" || a == "-h"; })) {
        c.mode = Mode::Help;
        return c;
    }
    if (!args.empty() && args.front() == "export") return readExport(args);
    if (!args.empty() && (args[0] == kBackupCommand || args[0] == kRestoreCommand)) {
        c.mode = Mode::Refused;
        if (args.size() > 2) {
            c.refused = args[2];
        } else if (args.size() < 2 || args[1].empty() || args[1].front() == '-') {
            // An option in the file's place ("backup --headless") is a
            // missing file, not a file of that name.
            c.refused = args.size() < 2 ? args[0] : args[1];
            c.missingValue = args[0];
        } else {
            c.mode = args[0] == kBackupCommand ? Mode::Backup : Mode::Restore;
            c.path = args[1];
        }
        return c;
    }
    const auto isHeadless = [](const std::string& a) { return a == "--headless"; };
    if (std::any_of(args.begin(), args.end(), isHeadless)) {
        const auto other = std::find_if_not(args.begin(), args.end(), isHeadless);
        c.mode = other == args.end() ? Mode::Headless : Mode::Refused;
        if (other != args.end()) c.refused = *other;
        return c;
    }
    c.qtArgs = splitQtValues(args);
    for (std::size_t i = 0; i < c.qtArgs.size(); ++i) {
        const std::string_view name = optionName(c.qtArgs[i]);
        if (contains(kQtFlags, name) || contains(kX11Flags, name) || startsWithAny(kQtJoinedOptions, name)) continue;
        if (takesValue(name) && i + 1 < c.qtArgs.size()) {
            ++i;
            // Qt keeps the last one.
            if (name == kPlatformOption) c.platform = c.qtArgs[i];
            continue;
        }
        Command refused;
        refused.mode = Mode::Refused;
        refused.refused = c.qtArgs[i];
        return refused;
    }
    return c;
}

bool displayAvailable(const std::string& platformArgument, const char* display, const char* waylandDisplay,
                      const char* qpaPlatform) {
    if (set(display) || set(waylandDisplay)) return true;
    if (!platformArgument.empty()) return needsNoDisplay(platformArgument);
    return set(qpaPlatform) && needsNoDisplay(qpaPlatform);
}

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

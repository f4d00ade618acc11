#include <gtest/gtest.h>

#include "app/arguments.h"

namespace tovanix::arguments {
namespace {

using Args = std::vector<std::string>;

TEST(Arguments, PlatformValuesWithAnEqualSignAreSplit) {
    EXPECT_EQ(splitQtValues({"--platform=xcb", "-display=:1"}), (Args{"-platform", "xcb", "-display", ":1"}));
    // Qt reads these itself; values and unknown arguments stay as they are.
    EXPECT_EQ(splitQtValues({"-style=Fusion", "--bogus=1", "x=y"}), (Args{"-style=Fusion", "--bogus=1", "x=y"}));
    EXPECT_EQ(splitQtValues({"-platform", "offscreen"}), (Args{"-platform", "offscreen"}));
}

TEST(Arguments, OptionsOfTheX11PlatformAreNotRefused) {
    EXPECT_FALSE(firstUnknown({}));
    EXPECT_FALSE(firstUnknown({"-geometry", "640x480", "--display", ":9", "-sync"}));
    EXPECT_EQ(firstUnknown({"-geometry"}), "-geometry");  // without its value
    EXPECT_EQ(firstUnknown({"-nograb", "--bogus"}), "--bogus");
    EXPECT_EQ(firstUnknown({"extra"}), "extra");
}

struct ReadCase {
    Args args;
    Mode mode;
    std::string refused;
    std::string platform;
    Args qtArgs;
};

TEST(Arguments, ReadBeforeAnyDisplay) {
    const ReadCase cases[] = {
        {{}, Mode::Window, "", "", {}},
        {{"--help"}, Mode::Help, "", "", {}},
        {{"-h"}, Mode::Help, "", "", {}},
        {{"--bogus", "--help"}, Mode::Help, "", "", {}},
        {{"--headless", "--help"}, Mode::Help, "", "", {}},
        {{"--headless"}, Mode::Headless, "", "", {}},
        {{"--headless", "--headless"}, Mode::Headless, "", "", {}},
        {{"--headless", "-platform", "offscreen"}, Mode::Refused, "-platform", "", {}},
        {{"--bogus"}, Mode::Refused, "--bogus", "", {}},
        {{"-platform", "offscreen", "extra"}, Mode::Refused, "extra", "", {}},
        {{"-platform"}, Mode::Refused, "-platform", "", {}},
        {{"-platform", "offscreen"}, Mode::Window, "", "offscreen", {"-platform", "offscreen"}},
        {{"--platform=vnc:size=800x600"}, Mode::Window, "", "vnc:size=800x600", {"-platform", "vnc:size=800x600"}},
        {{"-platform", "xcb", "-platform", "minimal"},
         Mode::Window,
         "",
         "minimal",
         {"-platform", "xcb", "-platform", "minimal"}},
        {{"-style=Fusion", "-reverse"}, Mode::Window, "", "", {"-style=Fusion", "-reverse"}},
        {{"-style", "Fusion", "--stylesheet", "a.qss"},
         Mode::Window,
         "",
         "",
         {"-style", "Fusion", "--stylesheet", "a.qss"}},
        {{"-session", "tovanix-1", "-geometry", "640x480", "-display", ":9", "-sync"},
         Mode::Window,
         "",
         "",
         {"-session", "tovanix-1", "-geometry", "640x480", "-display", ":9", "-sync"}},
    };
    for (const ReadCase& c : cases) {
        const Command got = read(c.args);
        const std::string name = ::testing::PrintToString(c.args);
        EXPECT_EQ(got.mode, c.mode) << name;
        EXPECT_EQ(got.refused, c.refused) << name;
        EXPECT_EQ(got.platform, c.platform) << name;
        EXPECT_EQ(got.qtArgs, c.qtArgs) << name;
    }
}

struct DisplayCase {
    std::string platformArgument;
    const char* display;
    const char* waylandDisplay;
    const char* qpaPlatform;
    bool available;
};

TEST(Arguments, DisplayAvailable) {
    const DisplayCase cases[] = {
        {"", nullptr, nullptr, nullptr, false},
        {"", "", "", "", false},  // set but empty is unset
        {"", ":0", nullptr, nullptr, true},
        {"", nullptr, "wayland-0", nullptr, true},
        {"", nullptr, nullptr, "offscreen", true},
        {"", nullptr, nullptr, "xcb", false},
        {"", nullptr, nullptr, "wayland;xcb", false},
        {"", nullptr, nullptr, "xcb;offscreen", true},
        {"", nullptr, nullptr, "vnc:size=800x600", true},
        {"minimal", nullptr, nullptr, nullptr, true},
        {"linuxfb", nullptr, nullptr, nullptr, true},
        {"eglfs", nullptr, nullptr, nullptr, true},
        // The argument wins over the environment's platform.
        {"xcb", nullptr, nullptr, "offscreen", false},
        {"offscreen", nullptr, nullptr, "no-such-platform", true},
        {"xcb", ":0", nullptr, nullptr, true},
    };
    for (const DisplayCase& c : cases) {
        EXPECT_EQ(displayAvailable(c.platformArgument, c.display, c.waylandDisplay, c.qpaPlatform), c.available)
            << "argument '" << c.platformArgument << "' DISPLAY " << (c.display ? c.display : "(unset)")
            << " WAYLAND_DISPLAY " << (c.waylandDisplay ? c.waylandDisplay : "(unset)") << " QT_QPA_PLATFORM "
            << (c.qpaPlatform ? c.qpaPlatform : "(unset)");
    }
}

}  // namespace
}  // namespace tovanix::arguments

namespace tovanix::arguments {
namespace {

TEST(Arguments, BackupAndRestoreTakeExactlyOneFile) {
    struct Case {
        std::vector<std::string> args;
        Mode mode;
        std::string path;
        std::string missingValue = {};  // the command that lacks its file
    };
    const Case cases[] = {
        {{"backup", "/srv/冷链.drelk"}, Mode::Backup, "/srv/冷链.drelk"},
        {{"restore", "a.drelk"}, Mode::Restore, "a.drelk"},
        {{"restore", "./-a.drelk"}, Mode::Restore, "./-a.drelk"},
        {{"backup"}, Mode::Refused, "", "backup"},
        {{"restore"}, Mode::Refused, "", "restore"},
        {{"restore", "a", "b"}, Mode::Refused, ""},
        {{"backup", ""}, Mode::Refused, "", "backup"},
        {{"backup", "--headless"}, Mode::Refused, "", "backup"},
        {{"restore", "-platform"}, Mode::Refused, "", "restore"},
        {{"backup", "-"}, Mode::Refused, "", "backup"},
        {{"backup", "--help"}, Mode::Help, ""},
        {{"--headless", "backup", "x"}, Mode::Refused, ""},
    };
    for (const Case& c : cases) {
        const Command got = read(c.args);
        const std::string name = ::testing::PrintToString(c.args);
        EXPECT_EQ(got.mode, c.mode) << name;
        EXPECT_EQ(got.path, c.path) << name;
        EXPECT_EQ(got.missingValue, c.missingValue) << name;
    }
}

}  // namespace
}  // namespace tovanix::arguments

namespace tovanix::arguments {
namespace {

TEST(Arguments, ExportOptionWithoutItsValue) {
    struct Case {
        std::vector<std::string> args;
        Mode mode;
        std::string missingValue;
        std::string line;
        std::string address;
    };
    const Case cases[] = {
        {{"export", "--line", "1", "--address", "3"}, Mode::Export, "", "1", "3"},
        {{"export", "--line=1", "--address=3"}, Mode::Export, "", "1", "3"},
        // The next option is not taken as the value of the one before.
        {{"export", "--line", "--address", "3"}, Mode::Refused, "--line", "", ""},
        {{"export", "--line", "--address=3"}, Mode::Refused, "--line", "", ""},
        {{"export", "--line", "1", "--address", "--output", "a.csv"}, Mode::Refused, "--address", "", ""},
        {{"export", "--line"}, Mode::Refused, "--line", "", ""},
        {{"export", "--output", "--to"}, Mode::Refused, "--output", "", ""},
    };
    for (const Case& c : cases) {
        const Command got = read(c.args);
        const std::string name = ::testing::PrintToString(c.args);
        EXPECT_EQ(got.mode, c.mode) << name;
        EXPECT_EQ(got.missingValue, c.missingValue) << name;
        EXPECT_EQ(got.refused, c.missingValue) << name;
        EXPECT_EQ(got.exportOptions.line, c.line) << name;
        EXPECT_EQ(got.exportOptions.address, c.address) << name;
    }
}

}  // namespace
}  // namespace tovanix::arguments

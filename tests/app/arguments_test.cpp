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

}  // namespace
}  // namespace tovanix::arguments

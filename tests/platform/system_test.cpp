#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/dynamic_library.h"
#include "platform/encoding.h"
#include "platform/paths.h"
#include "platform/single_instance.h"

namespace tovanix::platform {
namespace {

namespace fs = std::filesystem;

TEST(Encoding, GbkRoundTripAndUnmappable) {
    struct Case {
        std::string utf8;
        std::string gbk;
    };
    const Case cases[] = {
        {"温度", "\xCE\xC2\xB6\xC8"},
        {"湿度%", "\xCA\xAA\xB6\xC8%"},
        {"℃", "\xA1\xE6"},
        {"a'b\\c", "a'b\\c"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf8ToGbk(c.utf8), c.gbk) << c.utf8;
        EXPECT_EQ(gbkToUtf8(c.gbk), c.utf8) << c.utf8;
    }
    // Characters GBK lacks become '?', one each; the rest is kept.
    EXPECT_EQ(utf8ToGbk("A😀B가ก"), "A?B??") << "emoji, Hangul, Thai";
    EXPECT_EQ(utf8ToGbk("x\xFFy"), "x?y");  // invalid UTF-8
    EXPECT_EQ(gbkToUtf8("a\xCE"), "a\xEF\xBF\xBD");  // truncated double byte
}

TEST(Encoding, Utf16) {
    EXPECT_EQ(utf8ToUtf16("温度 12.5℃"), u"温度 12.5℃");
    EXPECT_EQ(utf8ToUtf16("😀"), std::u16string(u"\xD83D\xDE00"));
    EXPECT_EQ(utf16ToUtf8(u"报警"), "报警");
    EXPECT_EQ(utf8Length("温度ab"), 4u);
}

TEST(Paths, ProgramAndStationFolder) {
    std::string prog = programFolder();
    ASSERT_FALSE(prog.empty());
    EXPECT_EQ(prog.front(), '/');
    EXPECT_NE(prog.back(), '/');
    EXPECT_TRUE(fs::exists(prog));

    fs::path home = fs::temp_directory_path() / ("tovanix-home-" + std::to_string(::getpid())) / "a" / "b";
    ::setenv(kStationHomeEnv, home.c_str(), 1);
    EXPECT_EQ(stationFolderPath(), home.string());
    EXPECT_FALSE(fs::exists(home));
    EXPECT_EQ(stationFolder(), home.string());
    EXPECT_TRUE(fs::is_directory(home));
    ::unsetenv(kStationHomeEnv);
    fs::remove_all(home.parent_path().parent_path());
}

TEST(DynamicLibrary, AbsolutePathOnlyAndMissingEntries) {
    DynamicLibrary lib;
    EXPECT_FALSE(lib.open("libm.so.6"));  // never through a search path
    EXPECT_FALSE(lib.isOpen());
    EXPECT_EQ(lib.symbol("cos"), nullptr);
    EXPECT_FALSE(lib.openFromProgramFolder("libDoesNotExist.so"));
    EXPECT_NE(lib.lastError().find("libDoesNotExist.so"), std::string::npos);

    const char* candidates[] = {"/lib/x86_64-linux-gnu/libm.so.6", "/usr/lib/x86_64-linux-gnu/libm.so.6",
                                "/lib64/libm.so.6"};
    for (const char* path : candidates) {
        if (!fs::exists(path)) continue;
        ASSERT_TRUE(lib.open(path)) << lib.lastError();
        using Cos = double (*)(double);
        Cos f = lib.entry<Cos>("cos");
        ASSERT_NE(f, nullptr);
        EXPECT_DOUBLE_EQ(f(0.0), 1.0);
        EXPECT_EQ(lib.symbol("W_NoSuchEntry"), nullptr);
        return;
    }
    GTEST_SKIP() << "no libm found";
}

TEST(SingleInstance, SecondProcessRefusedWhileFirstHolds) {
    fs::path rt = fs::temp_directory_path() / ("tovanix-rt-" + std::to_string(::getpid()));
    fs::create_directories(rt);
    ::setenv("XDG_RUNTIME_DIR", rt.c_str(), 1);
    {
        SingleInstance first("TovanixTest");
        ASSERT_TRUE(first.acquired());
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SingleInstance second("TovanixTest");
            ::_exit(second.acquired() ? 10 : 20);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 20) << "second instance was not refused";
        EXPECT_TRUE(first.acquired());  // the first keeps running
        SingleInstance other("OtherProgram");
        EXPECT_TRUE(other.acquired());
    }
    // Released with the first: a new process gets it.
    pid_t child = ::fork();
    if (child == 0) {
        SingleInstance again("TovanixTest");
        ::_exit(again.acquired() ? 10 : 20);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 10);
    ::unsetenv("XDG_RUNTIME_DIR");
    fs::remove_all(rt);
}

}  // namespace
}  // namespace tovanix::platform

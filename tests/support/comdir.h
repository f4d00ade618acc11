// Helpers shared by the tests that open serial ports by number.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace tovanix::test {

// A COM folder of the test program's own: other test programs may run at
// the same time with links of the same numbers in the shared one.
class ComDirEnvironment : public ::testing::Environment {
public:
    explicit ComDirEnvironment(std::string tag) : tag_(std::move(tag)) {}
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("tovanix-" + tag_ + "-comdir-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        ::setenv("TOVANIX_COMDIR", dir_.c_str(), 1);
    }
    void TearDown() override {
        std::error_code ec;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
    }

private:
    std::string tag_;
    std::filesystem::path dir_;
};

inline long elapsedMs(std::chrono::steady_clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count());
}

}  // namespace tovanix::test

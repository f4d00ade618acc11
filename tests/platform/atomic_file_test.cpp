// The whole-file writer: the file read back, its mode under the umask, and
// nothing left in the folder beside it, also when the writer is killed.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/atomic_file.h"

namespace tovanix::platform {
namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> namesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class AtomicFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tovanix-atomic-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(AtomicFile, WritesReplacesAndLeavesNothingBeside) {
    const fs::path file = dir_ / "out.csv";
    const std::string first(100000, 'a');
    ASSERT_EQ(writeFileAtomically(file.string(), first), "");
    EXPECT_EQ(readAll(file), first);
    EXPECT_EQ(writeFileAtomically(file.string(), "second"), "");
    EXPECT_EQ(readAll(file), "second");
    EXPECT_EQ(writeFileAtomically(file.string(), ""), "");
    EXPECT_EQ(readAll(file), "");
    EXPECT_EQ(namesIn(dir_), std::vector<std::string>{"out.csv"});
}

TEST_F(AtomicFile, ModeFollowsTheUmask) {
    // The test program has one thread here, so changing the umask is safe.
    const mode_t old = ::umask(027);
    const fs::path file = dir_ / "report.pdf";
    const std::string error = writeFileAtomically(file.string(), "x");
    ::umask(022);
    const fs::path other = dir_ / "other.pdf";
    const std::string error2 = writeFileAtomically(other.string(), "y");
    ::umask(old);
    ASSERT_EQ(error, "");
    ASSERT_EQ(error2, "");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    ASSERT_EQ(::stat(other.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST_F(AtomicFile, KilledWhileWritingLeavesNoFile) {
    const int probe = ::open(dir_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (probe < 0) GTEST_SKIP() << "the file system of " << dir_ << " has no unnamed files";
    ::close(probe);
    const fs::path file = dir_ / "year.csv";
    const std::string path = file.string();
    const std::string bytes(1 << 20, 'r');
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Past 64 KiB the kernel kills the writer with SIGXFSZ, half-way.
        const rlimit size{65536, 65536};
        const rlimit core{0, 0};
        ::setrlimit(RLIMIT_CORE, &core);
        ::setrlimit(RLIMIT_FSIZE, &size);
        writeFileAtomically(path, bytes);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
    EXPECT_TRUE(fs::is_empty(dir_)) << ::testing::PrintToString(namesIn(dir_));
}

}  // namespace
}  // namespace tovanix::platform

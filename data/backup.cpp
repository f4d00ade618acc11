#include "data/backup.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "data/backup_store.h"
#include "db/connection.h"
#include "platform/format.h"
#include "platform/scramble.h"

extern char** environ;

namespace tovanix::data::backup {

namespace {

namespace sc = platform::scramble;

constexpr std::size_t kChunk = 1 << 20;   // bytes moved per read and write
constexpr std::size_t kHeadCheck = 256;   // a dump's opening comment lies within
constexpr std::size_t kTailCheck = 256;   // its closing comment lies within
constexpr std::size_t kMinimumDump = 32;  // shorter content is no dump
constexpr const char* kDumpHead = "-- M";  // "-- MariaDB dump" or "-- MySQL dump"
constexpr const char* kDumpWord = "dump";
constexpr const char* kDumpEnd = "-- Dump completed";
constexpr std::size_t kErrorTextMax = 2000;
constexpr int kLinkAttempts = 100;  // names tried for the finished dump

std::string errnoText() { return std::strerror(errno); }

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool ok() const { return fd_ >= 0; }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool preadAll(int fd, std::uint8_t* data, std::size_t size, off_t at) {
    while (size > 0) {
        const ssize_t n = ::pread(fd, data, size, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
        at += n;
    }
    return true;
}

// Quoted for an option file: the client programs read \\ \" \n \r \t in it.
std::string optionValue(const std::string& v) {
    std::string out = "\"";
    for (char ch : v) {
        switch (ch) {
            case '\\': out += "\\\\"; break;
            case '"': out += "\\\""; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default: out += ch;
        }
    }
    return out + "\"";
}

constexpr int kOptionFd = 3;  // where the child finds its option file

// The account and the server for the child's --defaults-file, written into
// a pipe that the child reads as /dev/fd/3: the password never reaches a
// file system, so nothing with it is left behind whatever ends the station.
class OptionFile {
public:
    explicit OptionFile(const Job& job) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            error_ = errnoText();
            return;
        }
        read_.reset(ends[0]);
        Fd writer(ends[1]);
        std::string text = "[client]\nuser=" + optionValue(job.account.user) +
                           "\npassword=" + optionValue(job.account.password) + "\n";
        if (!job.server.host.empty()) {
            text += "host=" + optionValue(job.server.host) + "\nprotocol=tcp\n";
            if (job.server.port != 0) text += "port=" + std::to_string(job.server.port) + "\n";
        } else if (!job.server.socket.empty()) {
            text += "socket=" + optionValue(job.server.socket) + "\n";
        }
        text += "default-character-set=utf8mb4\n";
        // Written whole before the child starts: non-blocking, so a text
        // beyond the pipe's capacity fails instead of waiting for ever.
        if (::fcntl(writer.get(), F_SETFL, O_NONBLOCK) != 0 ||
            !writeAll(writer.get(), reinterpret_cast<const std::uint8_t*>(text.data()), text.size())) {
            error_ = errnoText();
            read_.reset();
            return;
        }
        ready_ = true;  // the write end closes here: the child reads to its end
    }
    OptionFile(const OptionFile&) = delete;
    OptionFile& operator=(const OptionFile&) = delete;
    bool ready() const { return ready_; }
    const std::string& error() const { return error_; }
    // The argument naming it, as the child sees it.
    static std::string argument() { return "--defaults-file=/dev/fd/" + std::to_string(kOptionFd); }
    // Handed to the child at kOptionFd.
    int passedFd() const { return read_.get(); }

private:
    Fd read_;
    std::string error_;
    bool ready_ = false;
};

// A started client program: its standard error goes to an anonymous
// in-memory file, read once it has ended.
class Child {
public:
    bool start(const std::string& program, const std::vector<std::string>& args, int in, int out, int options) {
        err_.reset(::memfd_create("tovanix-client-stderr", MFD_CLOEXEC));
        if (!err_.ok()) {
            startError_ = errnoText();
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in, STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err_.get(), STDERR_FILENO);
        if (options >= 0) posix_spawn_file_actions_adddup2(&actions, options, kOptionFd);
        // The station blocks SIGINT and SIGTERM for its own threads; the
        // client programs get the default mask and dispositions back.
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        sigset_t none, reset;
        sigemptyset(&none);
        sigemptyset(&reset);
        for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) sigaddset(&reset, sig);
        posix_spawnattr_setsigmask(&attr, &none);
        posix_spawnattr_setsigdefault(&attr, &reset);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const int rc = ::posix_spawn(&pid_, program.c_str(), &actions, &attr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
        if (rc != 0) {
            pid_ = -1;
            startError_ = std::strerror(rc);
            return false;
        }
        return true;
    }
    const std::string& startError() const { return startError_; }
    // Ends it at once (wait() still reaps it).
    void terminate() const {
        if (pid_ > 0) ::kill(pid_, SIGTERM);
    }

    // Waits for the end; ok when the exit status is 0. `name` names it in
    // the error text when it said nothing itself.
    Outcome wait(const std::string& name) {
        Outcome o;
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0) {
            if (errno != EINTR) {
                o.error = errnoText();
                return o;
            }
        }
        pid_ = -1;
        const std::string said = stderrText();
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
            o.ok = true;
            return o;
        }
        o.error = WIFEXITED(status) ? platform::format(kExitStatus, name.c_str(), WEXITSTATUS(status))
                                    : platform::format(kKilled, name.c_str(), WTERMSIG(status));
        if (!said.empty()) o.error = said;
        return o;
    }

private:
    std::string stderrText() const {
        std::string text;
        std::array<char, 4096> buf{};
        off_t at = 0;
        for (;;) {
            const ssize_t n = ::pread(err_.get(), buf.data(), buf.size(), at);
            if (n <= 0) break;
            text.append(buf.data(), static_cast<std::size_t>(n));
            at += n;
            if (text.size() > kErrorTextMax) break;
        }
        if (text.size() > kErrorTextMax) text.resize(kErrorTextMax);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        return text;
    }

    pid_t pid_ = -1;
    Fd err_;
    std::string startError_;
};

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// XORs the plain content of `fd` (its first `length` bytes) in place and
// appends the trailer.
bool scrambleInPlace(int fd, std::uint64_t length) {
    const std::uint8_t k = sc::contentKey(length);
    std::vector<std::uint8_t> buf(kChunk);
    off_t at = 0;
    while (static_cast<std::uint64_t>(at) < length) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, length - at));
        if (!preadAll(fd, buf.data(), want, at)) return false;
        for (std::size_t i = 0; i < want; ++i) buf[i] ^= k;
        std::size_t done = 0;
        while (done < want) {
            const ssize_t n = ::pwrite(fd, buf.data() + done, want - done, at + static_cast<off_t>(done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        at += static_cast<off_t>(want);
    }
    const auto t = sc::trailer();
    if (::lseek(fd, static_cast<off_t>(length), SEEK_SET) < 0) return false;
    return writeAll(fd, t.data(), t.size()) && ::fsync(fd) == 0;
}

struct OpenBackup {
    Fd fd;
    std::uint64_t length = 0;  // of the plain content
    std::uint8_t key = 0;
};

Outcome openBackup(const std::string& path, OpenBackup& b) {
    Outcome o;
    b.fd.reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!b.fd.ok() || ::fstat(b.fd.get(), &st) != 0) {
        o.error = platform::format(kCannotRead, path.c_str(), errnoText().c_str());
        return o;
    }
    const std::string notBackup = platform::format(kNotABackup, path.c_str());
    const auto size = static_cast<std::uint64_t>(st.st_size);
    std::array<std::uint8_t, sc::kTrailerSize> tail{};
    if (!S_ISREG(st.st_mode) || size < sc::kTrailerSize + kMinimumDump ||
        !preadAll(b.fd.get(), tail.data(), tail.size(), static_cast<off_t>(size - sc::kTrailerSize)) ||
        !sc::isTrailer(tail.data())) {
        o.error = notBackup;
        return o;
    }
    b.length = size - sc::kTrailerSize;
    b.key = sc::contentKey(b.length);
    // A whole dump: its opening comment names the dump program, its last
    // comment says it completed (a dump cut short lacks it).
    std::string head(static_cast<std::size_t>(std::min<std::uint64_t>(kHeadCheck, b.length)), '\0');
    const std::size_t tailSize = static_cast<std::size_t>(std::min<std::uint64_t>(kTailCheck, b.length));
    std::string end(tailSize, '\0');
    if (!preadAll(b.fd.get(), reinterpret_cast<std::uint8_t*>(head.data()), head.size(), 0) ||
        !preadAll(b.fd.get(), reinterpret_cast<std::uint8_t*>(end.data()), end.size(),
                  static_cast<off_t>(b.length - tailSize))) {
        o.error = notBackup;
        return o;
    }
    for (char& ch : head) ch = static_cast<char>(static_cast<std::uint8_t>(ch) ^ b.key);
    for (char& ch : end) ch = static_cast<char>(static_cast<std::uint8_t>(ch) ^ b.key);
    // Newer dump programs put a line for their own client before it.
    bool named = false;
    for (std::size_t at = 0; at < head.size() && !named;) {
        const auto eol = head.find('\n', at);
        const std::string line = head.substr(at, eol == std::string::npos ? std::string::npos : eol - at);
        named = line.starts_with(kDumpHead) && line.find(kDumpWord) != std::string::npos;
        if (eol == std::string::npos) break;
        at = eol + 1;
    }
    if (!named || end.find(kDumpEnd) == std::string::npos) {
        o.error = notBackup;
        return o;
    }
    o.ok = true;
    return o;
}

// Reads the whole content once, so that a file which cannot be read to its
// end is refused before the client has loaded any of it.
Outcome readThrough(const std::string& path, const OpenBackup& b) {
    Outcome o;
    std::vector<std::uint8_t> buf(kChunk);
    for (std::uint64_t at = 0; at < b.length;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, b.length - at));
        errno = 0;
        if (!preadAll(b.fd.get(), buf.data(), want, static_cast<off_t>(at))) {
            // Without an error the file ended early: cut since it was checked.
            o.error = errno != 0 ? platform::format(kCannotRead, path.c_str(), errnoText().c_str())
                                 : platform::format(kNotABackup, path.c_str());
            return o;
        }
        at += want;
    }
    o.ok = true;
    return o;
}

}  // namespace

std::string findProgram(const std::string& name, const std::string& folder) {
    const auto runnable = [](const std::string& p) {
        struct stat st {};
        return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(p.c_str(), X_OK) == 0;
    };
    if (!folder.empty()) {
        const std::string p = folder + "/" + name;
        return runnable(p) ? p : std::string();
    }
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr && *path != '\0' ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t from = 0;
    while (from <= dirs.size()) {
        const auto colon = dirs.find(':', from);
        std::string dir = dirs.substr(from, colon == std::string::npos ? std::string::npos : colon - from);
        if (dir.empty()) dir = ".";
        const std::string p = dir + "/" + name;
        if (runnable(p)) return p;
        if (colon == std::string::npos) break;
        from = colon + 1;
    }
    return {};
}

Outcome backupTo(const std::string& path, const Job& job) {
    Outcome o;
    const std::string program = findProgram(kDumpProgram, job.clientFolder);
    if (program.empty()) {
        o.error = platform::format(kProgramNotFound, kDumpProgram);
        return o;
    }
    OptionFile options(job);
    if (!options.ready()) {
        o.error = platform::format(kCannotStart, program.c_str(), options.error().c_str());
        return o;
    }
    // Beside the target, so the final rename stays on one file system; a
    // file without a name while it is written, so a backup killed half-way
    // leaves nothing behind (a named temporary where that is not possible).
    const std::string folder = folderOf(path);
    std::string temp = folder + "/." + baseName(path) + ".XXXXXX";
    Fd out(::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    const bool unnamed = out.ok();
    if (!unnamed) out.reset(::mkostemp(temp.data(), O_CLOEXEC));
    if (!out.ok()) {
        o.error = platform::format(kCannotWrite, path.c_str(), errnoText().c_str());
        return o;
    }
    struct TempGuard {
        std::string path;
        ~TempGuard() {
            if (!path.empty()) ::unlink(path.c_str());
        }
    } guard{unnamed ? std::string() : temp};
    Fd devNull(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    Child child;
    // Without --databases, as the station's backups always were: the file
    // loads into whichever database the restore names.
    if (!child.start(program,
                     {options.argument(), "--single-transaction", "--quick", db::kDatabaseName}, devNull.get(),
                     out.get(), options.passedFd())) {
        o.error = platform::format(kCannotStart, program.c_str(), child.startError().c_str());
        return o;
    }
    o = child.wait(kDumpProgram);
    if (!o.ok) return o;
    struct stat st {};
    if (::fstat(out.get(), &st) != 0 || !scrambleInPlace(out.get(), static_cast<std::uint64_t>(st.st_size))) {
        o = {false, platform::format(kCannotWrite, temp.c_str(), errnoText().c_str())};
        return o;
    }
    // Readable by the operator alone, like the account it protects.
    ::fchmod(out.get(), 0600);
    if (unnamed) {
        // A name for the finished file, then the rename over the target.
        const std::string self = "/proc/self/fd/" + std::to_string(out.get());
        bool linked = false;
        for (int attempt = 0; attempt < kLinkAttempts && !linked; ++attempt) {
            temp = folder + "/." + baseName(path) + "." + std::to_string(::getpid()) + "." + std::to_string(attempt);
            linked = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0;
        }
        if (!linked) {
            o = {false, platform::format(kCannotWrite, path.c_str(), errnoText().c_str())};
            return o;
        }
        guard.path = temp;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        o = {false, platform::format(kCannotWrite, path.c_str(), errnoText().c_str())};
        return o;
    }
    guard.path.clear();
    return o;
}

Outcome checkBackupFile(const std::string& path) {
    OpenBackup b;
    return openBackup(path, b);
}

Outcome restoreFrom(const std::string& path, const Job& job) {
    OpenBackup b;
    Outcome o = openBackup(path, b);
    if (!o.ok) return o;
    o.ok = false;
    const std::string program = findProgram(kLoadProgram, job.clientFolder);
    if (program.empty()) {
        o.error = platform::format(kProgramNotFound, kLoadProgram);
        return o;
    }
    if (o = readThrough(path, b); !o.ok) return o;
    o.ok = false;
    if (auto created = createDatabase(job.account); !created.empty()) {
        o.error = created;
        return o;
    }
    OptionFile options(job);
    if (!options.ready()) {
        o.error = platform::format(kCannotStart, program.c_str(), options.error().c_str());
        return o;
    }
    // A socket rather than a pipe: a client that ends early makes send()
    // fail with EPIPE instead of raising SIGPIPE in the station.
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        o.error = platform::format(kCannotStart, program.c_str(), errnoText().c_str());
        return o;
    }
    Fd ours(pair[0]), theirs(pair[1]);
    Fd devNull(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    Child child;
    if (!child.start(program, {options.argument(), db::kDatabaseName}, theirs.get(), devNull.get(),
                     options.passedFd())) {
        o.error = platform::format(kCannotStart, program.c_str(), child.startError().c_str());
        return o;
    }
    theirs.reset();
    std::vector<std::uint8_t> buf(kChunk);
    bool fed = true;
    std::string feedError;
    for (std::uint64_t at = 0; at < b.length && fed;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, b.length - at));
        if (!preadAll(b.fd.get(), buf.data(), want, static_cast<off_t>(at))) {
            fed = false;
            feedError = platform::format(kCannotRead, path.c_str(), errnoText().c_str());
            break;
        }
        for (std::size_t i = 0; i < want; ++i) buf[i] ^= b.key;
        for (std::size_t done = 0; done < want;) {
            const ssize_t n = ::send(ours.get(), buf.data() + done, want - done, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                fed = false;  // the client ended early; its status says why
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        at += want;
    }
    if (!fed && !feedError.empty()) {
        // Rare, as the file was read through before the client started (a
        // disk fault, the file cut meanwhile). The client has already run
        // the statements it read, so the database is partly loaded; it is
        // ended rather than given an end of input, on which it would also
        // run the statement cut in the middle.
        child.terminate();
        feedError += std::string("\n") + kPartlyLoaded;
    }
    ours.reset();
    o = child.wait(kLoadProgram);
    if (!fed && !feedError.empty()) o = {false, feedError};
    if (o.ok && !fed) o = {false, platform::format(kExitStatus, kLoadProgram, 0)};
    return o;
}

}  // namespace tovanix::data::backup

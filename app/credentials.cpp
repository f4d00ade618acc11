#include "app/credentials.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/paths.h"
#include "platform/scramble.h"

namespace tovanix::credentials {

namespace {

// Reads a whole descriptor from its start.
bool readAll(int fd, std::vector<std::uint8_t>& out) {
    out.clear();
    if (::lseek(fd, 0, SEEK_SET) < 0) return false;
    std::uint8_t buf[4096];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        out.insert(out.end(), buf, buf + n);
    }
}

bool writeAll(int fd, const std::vector<std::uint8_t>& data) {
    if (::lseek(fd, 0, SEEK_SET) < 0) return false;
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return ::ftruncate(fd, static_cast<off_t>(data.size())) == 0 && ::fsync(fd) == 0;
}

class File {
public:
    File(const std::string& path, int flags, mode_t mode = 0600) : fd_(::open(path.c_str(), flags | O_CLOEXEC, mode)) {}
    ~File() {
        if (fd_ >= 0) ::close(fd_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    int fd() const { return fd_; }
    bool ok() const { return fd_ >= 0; }

private:
    int fd_;
};

}  // namespace

std::vector<std::uint8_t> scrambled(const std::vector<std::uint8_t>& plain) {
    return platform::scramble::scrambled(plain);
}

bool hasTrailer(const std::vector<std::uint8_t>& stored) { return platform::scramble::hasTrailer(stored); }

std::optional<std::vector<std::uint8_t>> unscrambled(const std::vector<std::uint8_t>& stored) {
    return platform::scramble::unscrambled(stored);
}

bool scrambleFile(const std::string& path) {
    File f(path, O_RDWR);
    if (!f.ok()) return false;
    std::vector<std::uint8_t> content;
    if (!readAll(f.fd(), content)) return false;
    return writeAll(f.fd(), scrambled(content));
}

bool unscrambleFile(const std::string& path) {
    File f(path, O_RDWR);
    if (!f.ok()) return false;
    std::vector<std::uint8_t> content;
    if (!readAll(f.fd(), content)) return false;
    auto plain = unscrambled(content);
    if (!plain) return false;
    return writeAll(f.fd(), *plain);
}

bool writeFile(const std::string& path, const db::Account& account) {
    {
        // Truncated, so a shorter account never inherits the tail of a longer one.
        File f(path, O_RDWR | O_CREAT | O_TRUNC, 0600);
        if (!f.ok()) return false;
        std::vector<std::uint8_t> plain(account.user.begin(), account.user.end());
        plain.push_back('\r');
        plain.push_back('\n');
        plain.insert(plain.end(), account.password.begin(), account.password.end());
        if (!writeAll(f.fd(), plain)) return false;
    }
    return scrambleFile(path);
}

db::Account parsePlain(const std::vector<std::uint8_t>& plain) {
    db::Account a;
    std::string* field = &a.user;
    int line = 0;
    for (std::uint8_t b : plain) {
        if (b == '\n') {
            if (++line == 2) break;
            field = &a.password;
            continue;
        }
        field->push_back(static_cast<char>(b));
    }
    for (std::string* s : {&a.user, &a.password}) {
        if (!s->empty() && s->back() == '\r') s->pop_back();
    }
    return a;
}

std::string pathInStationFolder() { return platform::stationFolder() + "/" + kFileName; }

Loaded load(const std::string& path) {
    Loaded r;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return r;  // Missing
    std::vector<std::uint8_t> content;
    {
        File f(path, O_RDONLY);
        if (!f.ok() || !readAll(f.fd(), content)) {
            r.state = LoadState::Unreadable;
            return r;
        }
    }
    // Unscrambled in memory: the file stays as it rests, and the password is
    // never written out in plain, nor lost with a file that is read-only.
    if (auto plain = unscrambled(content)) {
        r.account = parsePlain(*plain);
    } else {
        r.account = parsePlain(content);  // a plain file written by hand
        scrambleFile(path);
    }
    r.state = LoadState::Loaded;
    db::setAccount(r.account);
    return r;
}

}  // namespace tovanix::credentials

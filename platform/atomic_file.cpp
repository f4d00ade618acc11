#include "platform/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tovanix::platform {

namespace {

constexpr mode_t kFileMode = 0644;  // as a new file under the usual umask
constexpr mode_t kUsualUmask = 022;
constexpr int kLinkAttempts = 8;

std::string failure(const std::string& what, const std::string& path, int error) {
    return what + " " + path + ": " + std::strerror(error);
}

// The umask without setting it: umask() can only read by changing it, and a
// file another thread creates in between would get mode 0666.
mode_t currentUmask() {
    mode_t mask = kUsualUmask;
    if (FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned value = 0;
        while (std::fgets(line, sizeof line, f) != nullptr) {
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                mask = static_cast<mode_t>(value);
                break;
            }
        }
        std::fclose(f);
    }
    return mask;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Closes the descriptor and removes the named temporary on every early return.
struct Temp {
    int fd = -1;
    std::string name;  // empty while the file has none
    ~Temp() {
        if (fd >= 0) ::close(fd);
        if (!name.empty()) ::unlink(name.c_str());
    }
};

}  // namespace

std::string writeFileAtomically(const std::string& target, std::string_view bytes) {
    if (target.empty()) return "no file name";
    std::string path = target;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        // Renaming over a device or a folder would replace it, not write to it.
        if (!S_ISREG(st.st_mode)) return "cannot write " + target + ": not a regular file";
        // Through a link to the file it names, which is what the user meant.
        if (char* real = ::realpath(target.c_str(), nullptr)) {
            path = real;
            std::free(real);
        }
    }
    // Beside the target: a rename within one file system replaces it at
    // once. Without a name while it is written, so a process killed half-way
    // leaves nothing; the kernel applies the umask to the mode. Close-on-exec,
    // as a client program may be started meanwhile.
    Temp temp;
    temp.fd = ::open(folderOf(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, kFileMode);
    const bool unnamed = temp.fd >= 0;
    if (!unnamed) {
        // A file system without unnamed files: a named temporary of mode 0600.
        temp.name = path + ".XXXXXX";
        temp.fd = ::mkostemp(temp.name.data(), O_CLOEXEC);
        if (temp.fd < 0) {
            temp.name.clear();
            return failure("cannot create", path, errno);
        }
        ::fchmod(temp.fd, kFileMode & ~currentUmask());
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(temp.fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return failure("cannot write", path, n < 0 ? errno : ENOSPC);
        done += static_cast<std::size_t>(n);
    }
    // A full disk may show only here, when the blocks are allocated.
    if (::fsync(temp.fd) != 0) return failure("cannot write", path, errno);
    if (unnamed) {
        // A name for the finished file, then the rename over the target.
        static std::atomic<unsigned> serial{0};
        const std::string self = "/proc/self/fd/" + std::to_string(temp.fd);
        int error = 0;
        for (int attempt = 0; attempt < kLinkAttempts && temp.name.empty(); ++attempt) {
            std::string name = path + "." + std::to_string(::getpid()) + "." + std::to_string(serial++);
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                temp.name = std::move(name);
            } else {
                error = errno;
                if (error != EEXIST) break;
            }
        }
        if (temp.name.empty()) return failure("cannot write", path, error);
    }
    const int fd = temp.fd;
    temp.fd = -1;
    if (::close(fd) != 0) return failure("cannot write", path, errno);
    if (std::rename(temp.name.c_str(), path.c_str()) != 0) return failure("cannot write", path, errno);
    temp.name.clear();
    return {};
}

}  // namespace tovanix::platform

#include "platform/atomic_file.h"

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

std::string failure(const std::string& what, const std::string& path, int error) {
    return what + " " + path + ": " + std::strerror(error);
}

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
    // Beside the target: a rename within one file system replaces it at once.
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return failure("cannot create", path, errno);
    // mkstemp creates 0600; an export is an ordinary file for its reader.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, kFileMode & ~mask);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            ::close(fd);
            ::unlink(temp.c_str());
            return failure("cannot write", path, error);
        }
        done += static_cast<std::size_t>(n);
    }
    // A full disk may show only here, when the blocks are allocated.
    if (::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        return failure("cannot write", path, error);
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        return failure("cannot write", path, error);
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        return failure("cannot write", path, error);
    }
    return {};
}

}  // namespace tovanix::platform

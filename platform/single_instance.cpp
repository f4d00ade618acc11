#include "platform/single_instance.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/paths.h"

namespace tovanix::platform {

SingleInstance::SingleInstance(const std::string& programName)
    : path_(runtimeFolder() + "/" + programName + "-" + std::to_string(::getuid()) + ".lock") {
    // A lock that cannot be taken for another reason than a holder counts as
    // held by us, so an unwritable runtime folder does not stop the station.
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        acquired_ = true;
        return;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        acquired_ = errno != EWOULDBLOCK;
    } else {
        acquired_ = true;
        std::string pid = std::to_string(::getpid()) + "\n";
        if (::ftruncate(fd_, 0) == 0) {
            ssize_t ignored = ::write(fd_, pid.data(), pid.size());
            (void)ignored;
        }
    }
}

SingleInstance::~SingleInstance() {
    if (fd_ >= 0) ::close(fd_);  // releases the lock
}

}  // namespace tovanix::platform

// Refuses a second running station: an flock on a lock file named after the
// program in the runtime folder, held for the life of the process.
#pragma once

#include <string>

namespace tovanix::platform {

class SingleInstance {
public:
    explicit SingleInstance(const std::string& programName);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process holds the lock; false when another one does.
    bool acquired() const { return acquired_; }
    const std::string& lockPath() const { return path_; }

private:
    std::string path_;
    int fd_ = -1;
    bool acquired_ = false;
};

}  // namespace tovanix::platform

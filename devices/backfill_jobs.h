// The back-fill job list of the data-centre page (message 0x49B): one status
// per chosen device, in the order of the request's devices, and a running
// flag of its own (the start-up download has recoveryFlag). The page starts
// a list and follows it on its timer; the polling thread sets the statuses
// and clears the flag at the end.
#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>
#include <vector>

namespace tovanix::devices {

enum BackfillStatus : int {
    kJobWaiting = 0,
    kJobDownloading = 1,
    kJobFailed = 2,  // no answer, a block unread, the line closed or wireless, the device gone
    kJobDone = 3,
};

class BackfillJobs {
public:
    // A new list of `count` waiting jobs; the flag goes to 1.
    void begin(std::size_t count) {
        std::lock_guard<std::mutex> lock(lock_);
        statuses_.assign(count, kJobWaiting);
        running_.store(1);
    }
    void set(std::size_t job, int status) {
        std::lock_guard<std::mutex> lock(lock_);
        if (job >= statuses_.size()) statuses_.resize(job + 1, kJobWaiting);
        statuses_[job] = status;
    }
    std::vector<int> statuses() const {
        std::lock_guard<std::mutex> lock(lock_);
        return statuses_;
    }
    void finish() { running_.store(0); }
    int running() const { return running_.load(); }

private:
    mutable std::mutex lock_;  // guards statuses_
    std::vector<int> statuses_;
    std::atomic<int> running_{0};
};

}  // namespace tovanix::devices

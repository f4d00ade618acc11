#include "data/system_data.h"

#include "data/backup_actions.h"
#include "devices/backfill_jobs.h"
#include "devices/engine.h"
#include "platform/prompter.h"

namespace tovanix::data {

bool startBackfill(Prompter& prompter, devices::Engine& engine, std::time_t start, std::time_t end,
                   const std::vector<devices::DeviceRequest>& chosen) {
    if (!(start < end)) {
        prompter.inform(kSpanNotIncreasing, kSpanCaption);
        return false;
    }
    if (backup::running()) {
        prompter.inform(kBackupRunning, kSpanCaption, PromptIcon::Warning);
        return false;
    }
    if (chosen.empty()) return false;
    devices::HistoryRequest r;
    r.start = start;
    r.end = end;
    r.devices = chosen;
    engine.backfill.begin(chosen.size());
    if (!engine.post(devices::kMsgDownloadChosen, r)) {
        for (std::size_t i = 0; i < chosen.size(); ++i) engine.backfill.set(i, devices::kJobFailed);
        engine.backfill.finish();
        return false;
    }
    return true;
}

std::string backfillStatusText(int status, int dots) {
    switch (status) {
        case devices::kJobDownloading:
            return std::string(kDownloading) + std::string(static_cast<std::size_t>(dots < 0 ? 0 : dots), '.');
        case devices::kJobFailed:
            return kRetry;
        case devices::kJobDone:
            return kDownloaded;
        default:
            return {};
    }
}

bool startRecovery(Prompter& prompter, devices::Engine& engine, std::time_t start, std::time_t end) {
    if (!(start < end)) {
        prompter.inform(kSpanNotIncreasing, kLostCaption);
        return false;
    }
    if (backup::running()) {
        prompter.inform(kBackupRunning, kLostCaption, PromptIcon::Warning);
        return false;
    }
    devices::HistoryRequest r;
    r.start = start;
    r.end = end;
    engine.recoveryFlag.store(1);
    if (!engine.post(devices::kMsgDownloadAll, r)) {
        engine.recoveryFlag.store(0);  // nothing runs: the dialog reports the end at once
        return true;
    }
    return true;
}

}  // namespace tovanix::data

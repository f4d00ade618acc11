#include "data/backup_actions.h"

#include <atomic>
#include <mutex>

#include "platform/format.h"
#include "platform/prompter.h"

namespace tovanix::data::backup {

namespace {
std::atomic<bool> g_running{false};  // a backup or restore is under way
std::mutex g_folderLock;             // guards g_folder
std::string g_folder;

std::string withReason(const char* message, const Outcome& o) {
    return o.error.empty() ? std::string(message) : std::string(message) + "\n" + o.error;
}
}  // namespace

Job currentJob(const std::string& clientFolder) {
    Job job;
    job.account = db::account();
    job.server = db::serverAddress();
    job.clientFolder = clientFolder;
    return job;
}

std::string withExtension(const std::string& path) {
    const std::string ext = std::string(".") + kExtension;
    const auto slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.find('.') == std::string::npos ? path + ext : path;
}

bool confirmRestore(Prompter& prompter) {
    return prompter.ask(kRestoreQuestion, kCaptionDanger, PromptIcon::Warning, PromptButtons::OkCancel) ==
           PromptAnswer::Ok;
}

void reportBackup(Prompter& prompter, const std::string& path, const Outcome& outcome) {
    if (outcome.ok) {
        prompter.inform(platform::format(kBackupDone, path.c_str()), kCaptionInfo);
    } else {
        prompter.inform(withReason(kBackupFailed, outcome), kCaptionInfo, PromptIcon::Warning);
    }
}

void reportRestore(Prompter& prompter, const Outcome& outcome) {
    if (outcome.ok) {
        prompter.inform(kRestoreDone, kCaptionInfo);
    } else {
        prompter.inform(withReason(kRestoreFailed, outcome), kCaptionInfo, PromptIcon::Warning);
    }
}

void setClientFolder(const std::string& folder) {
    std::lock_guard<std::mutex> lock(g_folderLock);
    g_folder = folder;
}

std::string clientFolder() {
    std::lock_guard<std::mutex> lock(g_folderLock);
    return g_folder;
}

std::string shownClientFolder() {
    const std::string chosen = clientFolder();
    if (!chosen.empty()) return chosen;
    const std::string found = findProgram(kDumpProgram, {});
    const auto slash = found.rfind('/');
    return slash == std::string::npos ? found : found.substr(0, slash);
}

bool beginRun() {
    bool expected = false;
    return g_running.compare_exchange_strong(expected, true);
}

void endRun() { g_running.store(false); }

bool running() { return g_running.load(); }

}  // namespace tovanix::data::backup

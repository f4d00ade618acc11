#include "config/system_setting.h"

#include "platform/encoding.h"
#include "platform/prompter.h"

namespace tovanix::config {

RemoteService openRemoteService() {
    const SystemRowRead r = readSystemRow();
    return r.remote;
}

bool submitRemoteService(Prompter& prompter, const RemoteService& remote) {
    const std::size_t length = platform::utf8Length(remote.modelId);
    if (remote.enabled && length != kModelIdCharacters) {
        prompter.inform(kModelIdLength, kCaptionInfo);
        return false;
    }
    if (length > kModelIdCharacters) {
        prompter.inform(kModelIdTooLong, kCaptionInfo);
        return false;
    }
    // Not left to the server, which may cut it without a word.
    if (platform::utf8Length(remote.address) > kSystemTextCharacters) {
        prompter.inform(kRemoteWriteFailed, kCaptionInfo);
        return false;
    }
    switch (saveRemoteService(remote)) {
    case db::StoreResult::Done:
        return true;
    case db::StoreResult::Failed:
        prompter.inform(kRemoteWriteFailed, kCaptionInfo);
        return false;
    case db::StoreResult::ConnectFailed:
        return false;  // as the page opened: it keeps its values, nothing saved
    }
    return false;
}

platform::TcpProbeResult testRemoteConnection(const RemoteService& remote, std::chrono::milliseconds timeout) {
    return platform::probeTcp(remote.address, remote.port, timeout);
}

void reportConnectionTest(Prompter& prompter, const platform::TcpProbeResult& result) {
    if (!result.socketCreated) prompter.inform(kSocketFailed, kCaptionInfo);
    prompter.inform(result.connected ? kConnected : kConnectFailed, kCaptionInfo);
}

bool submitCompanyInfo(Prompter& prompter, const std::string& companyName, const std::string& url) {
    const bool fits = platform::utf8Length(companyName) <= kSystemTextCharacters &&
                      platform::utf8Length(url) <= kSystemTextCharacters;
    if (fits && saveCompanyInfo(companyName, url) == db::StoreResult::Done) return true;
    prompter.inform(kCompanyWriteFailed, kCaptionInfo);
    return false;
}

}  // namespace tovanix::config

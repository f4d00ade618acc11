// What the remote-service page (CSystemSetting) and the company information
// of the user page do, without their windows.
#pragma once

#include <chrono>
#include <string>

#include "config/system_setting_store.h"
#include "platform/tcp_probe.h"

namespace tovanix {
class Prompter;
}

namespace tovanix::config {

// Captions of the remote-service page.
inline constexpr const char* kRemoteEnable = "启用系统服务器";
inline constexpr const char* kRemoteAddressLabel = "远程服务器地址";
inline constexpr const char* kRemotePortLabel = "远程服务器端口";
inline constexpr const char* kModelIdLabel = "型号ID";
inline constexpr const char* kRemoteSaveButton = "设置";
inline constexpr const char* kRemoteSavedButton = "设置√";
inline constexpr const char* kRemoteTestButton = "测试";
inline constexpr const char* kRemoteTestingButton = "正在测试…";

// Captions of the company information on the user page.
inline constexpr const char* kCompanyFrame = "公司信息";
inline constexpr const char* kCompanyNameLabel = "名称";
inline constexpr const char* kCompanyUrlLabel = "网站";

// Messages.
inline constexpr const char* kModelIdLength = "型号ID必须为6位字符";
// The column holds six characters; a longer id would be cut by the server.
inline constexpr const char* kModelIdTooLong = "型号ID不能超过6位字符";
inline constexpr const char* kRemoteWriteFailed = "写入数据库失败，请重试！";
inline constexpr const char* kSocketFailed = "socket创建失败";
inline constexpr const char* kConnected = "连接成功";
inline constexpr const char* kConnectFailed = "连接失败";
inline constexpr const char* kCompanyWriteFailed = "公司信息保存失败！";

inline constexpr std::size_t kModelIdCharacters = 6;
// Text columns of the system row (VARCHAR(120)).
inline constexpr std::size_t kSystemTextCharacters = 120;
inline constexpr int kMaxRemotePort = 65535;
// The connection test gives up after this long, whatever the address does.
inline constexpr std::chrono::milliseconds kConnectTimeout{5000};

// The row's settings, or the page's defaults when the server is unreachable.
RemoteService openRemoteService();

// "设置": the model-id check, then the update. True when saved. The tree's
// root keeps the system name of the row: nothing here renames it.
bool submitRemoteService(Prompter& prompter, const RemoteService& remote);

// Blocking, for a worker thread: the address as typed, given up after
// `timeout`.
platform::TcpProbeResult testRemoteConnection(const RemoteService& remote,
                                              std::chrono::milliseconds timeout = kConnectTimeout);
// Tells the operator how the test went.
void reportConnectionTest(Prompter& prompter, const platform::TcpProbeResult& result);

// One change of "名称" or "网站": both texts saved. True when saved (the
// window then redraws its banner).
bool submitCompanyInfo(Prompter& prompter, const std::string& companyName, const std::string& url);

}  // namespace tovanix::config

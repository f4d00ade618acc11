// The station without a window: reads the account, loads the configuration,
// runs the engine until SIGINT or SIGTERM, closes the ports and ends.
#pragma once

namespace tovanix {

// Logged with the client library's message when no server answers at the
// configured socket or host (a refused account is logged apart).
inline constexpr const char* kServerUnreachable = "无法连接数据库服务器";

// Returns the process exit status. SIGINT and SIGTERM must be blocked in the
// calling thread before any thread starts (main does it first).
int runHeadless();

}  // namespace tovanix

// Whether a TCP server answers at an address and port: the connection test
// of the remote-service settings. Blocking, so it runs on a worker thread;
// it gives up at the deadline however the address answers (or does not).
#pragma once

#include <chrono>
#include <string>

namespace tovanix::platform {

struct TcpProbeResult {
    bool socketCreated = false;
    bool connected = false;
};

// `host` is a numeric IPv4 or IPv6 address or a name. The socket is closed
// before returning.
TcpProbeResult probeTcp(const std::string& host, int port, std::chrono::milliseconds timeout);

}  // namespace tovanix::platform

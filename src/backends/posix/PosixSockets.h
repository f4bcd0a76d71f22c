#pragma once

#include "PosixNameResolver.h"
#include "base/OwnedHostRecord.h"
#include "seams/Sockets.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace vexor {

// The sockets library on Linux: other machines' names resolved as Windows
// resolves them (see PosixNameResolver), the local host name answered from the
// machine's own interfaces as Windows answers it.
class PosixSockets : public ISocketsLibrary {
  public:
    explicit PosixSockets(
        std::shared_ptr<PosixNameResolver> resolver = std::make_shared<PosixNameResolver>());

    int startup(std::uint16_t versionRequested, SocketsStartupRecord& record) override;
    int cleanup() override { return 0; }
    int lastError() override { return lastError_; }
    int hostName(char* name, int length) override;
    const HostEnt* hostByName(const char* name) override;
    const HostEnt* hostByAddr(const char* address, int length, int type) override;

  private:
    std::shared_ptr<PosixNameResolver> resolver_;
    int lastError_ = 0;
    // The record handed out last; replaced by the next call.
    OwnedHostRecord record_;
};

// Every IPv4 address of the machine's up, non-loopback interfaces in interface
// order; the loopback addresses only when there is nothing else.
std::vector<Ipv4> LocalInterfaceAddresses();

} // namespace vexor

#pragma once

#include "base/OwnedHostRecord.h"
#include "seams/RefreshNames.h"
#include "seams/Sockets.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vexor {

// The sockets library on Linux: other machines' names answered by the
// refresh's names (a machine the neighbourhood listed, a lookup begun ahead),
// or without them by the system resolver alone; the local host name answered
// from the machine's own interfaces as Windows answers it.
class PosixSockets : public ISocketsLibrary {
  public:
    explicit PosixSockets(std::shared_ptr<IRefreshNames> names = nullptr);

    int startup(std::uint16_t versionRequested, SocketsStartupRecord& record) override;
    int cleanup() override { return 0; }
    int lastError() override { return lastError_; }
    int hostName(char* name, int length) override;
    const HostEnt* hostByName(const char* name) override;
    const HostEnt* hostByAddr(const char* address, int length, int type) override;

  private:
    std::shared_ptr<IRefreshNames> names_;
    int lastError_ = 0;
    // The record handed out last; replaced by the next call.
    OwnedHostRecord record_;
};

// The system resolver (hosts file, DNS, whatever nsswitch.conf names): the
// name's IPv4 addresses, each once, and its canonical name; nothing when it
// knows no address.
std::optional<NameAnswer> SystemNameLookup(const std::string& name);

// Every IPv4 address of the machine's up, non-loopback interfaces in interface
// order; the loopback addresses only when there is nothing else.
std::vector<Ipv4> LocalInterfaceAddresses();

} // namespace vexor

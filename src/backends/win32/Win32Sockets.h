#pragma once

#include "base/OwnedHostRecord.h"
#include "seams/RefreshNames.h"
#include "seams/Sockets.h"

#include <memory>
#include <optional>
#include <string>

namespace vexor::win32 {

// Windows Sockets 1.1. Names cross this edge in the ANSI code page; the record
// handed out holds Winsock's answer with its name given in UTF-8. A name of this
// refresh is answered by the refresh's names (where a source found it, or the
// lookup begun ahead of the walk), so a machine found by WS-Discovery always
// has its address and the names nobody answers cost one time-out together;
// any other name is asked of Winsock here.
class Win32Sockets : public ISocketsLibrary {
  public:
    explicit Win32Sockets(std::shared_ptr<IRefreshNames> names = nullptr);

    int startup(std::uint16_t versionRequested, SocketsStartupRecord& record) override;
    int cleanup() override;
    int lastError() override;
    int hostName(char* name, int length) override;
    const HostEnt* hostByName(const char* name) override;
    const HostEnt* hostByAddr(const char* address, int length, int type) override;

  private:
    // Hands `answer` out as Winsock's record of this thread, until the next call.
    const HostEnt* Publish(const std::optional<NameAnswer>& answer);

    std::shared_ptr<IRefreshNames> names_;
    // The record handed out last; replaced by the next call.
    OwnedHostRecord record_;
};

// Winsock's resolver (hosts file, DNS, NetBIOS): the name's IPv4 addresses and
// its canonical name; nothing when it knows no address. Winsock keeps each
// thread's host record apart, so it may run on any thread.
std::optional<NameAnswer> WinsockNameLookup(const std::string& name);

} // namespace vexor::win32

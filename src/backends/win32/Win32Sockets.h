#pragma once

#include "base/OwnedHostRecord.h"
#include "core/discovery/AheadResolver.h"
#include "core/discovery/NameAnswerCache.h"
#include "seams/Sockets.h"

#include <memory>

#include <string>

namespace vexor::win32 {

// Windows Sockets 1.1. Names cross this edge in the ANSI code page; the record
// handed out is Winsock's own with its name given in UTF-8. A name Windows
// cannot resolve is answered from the addresses learnt from the network, so a
// machine found by WS-Discovery always has its address. The names the
// neighbourhood's sources report are resolved ahead on worker threads, so that
// the names nobody answers cost one time-out together.
class Win32Sockets : public ISocketsLibrary {
  public:
    explicit Win32Sockets(std::shared_ptr<NameAnswerCache> learnt = nullptr);

    // Resolves the neighbourhood's names ahead of the walk (see MakeWin32Network).
    const std::shared_ptr<AheadResolver>& ahead() const { return ahead_; }

    int startup(std::uint16_t versionRequested, SocketsStartupRecord& record) override;
    int cleanup() override;
    int lastError() override;
    int hostName(char* name, int length) override;
    const HostEnt* hostByName(const char* name) override;
    const HostEnt* hostByAddr(const char* address, int length, int type) override;

  private:
    const HostEnt* Publish(const void* winsockRecord);

    std::shared_ptr<NameAnswerCache> learnt_;
    std::shared_ptr<AheadResolver> ahead_;
    HostEnt record_{};
    std::string name_;
    OwnedHostRecord learntRecord_;
};

} // namespace vexor::win32

#pragma once

#include "platform/Sockets.h"

#include <string>

namespace vexor::win32 {

// Windows Sockets 1.1. Names cross this edge in the ANSI code page; the record
// handed out is Winsock's own with its name given in UTF-8.
class Win32Sockets : public ISocketsLibrary {
  public:
    int startup(std::uint16_t versionRequested, SocketsStartupRecord& record) override;
    int cleanup() override;
    int lastError() override;
    int hostName(char* name, int length) override;
    const HostEnt* hostByName(const char* name) override;
    const HostEnt* hostByAddr(const char* address, int length, int type) override;

  private:
    const HostEnt* Publish(const void* winsockRecord);

    HostEnt record_{};
    std::string name_;
};

} // namespace vexor::win32

#pragma once

#include "seams/Sockets.h"

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vexor::fakes {

// A scripted sockets library that records every call in order.
class FakeSockets : public ISocketsLibrary {
  public:
    struct Host {
        std::string officialName;
        std::vector<std::vector<unsigned char>> addresses;
        std::int16_t length = 4;
    };

    int startupResult = 0;
    std::uint16_t grantedVersion = 0x0101;
    std::uint16_t maxSockets = 32767;
    int cleanupResult = 0;
    // No name: the call fails and lastError() gives hostNameError.
    std::optional<std::string> localName = std::string("estacao01");
    int hostNameError = 10093;
    std::map<std::string, Host> hostsByName;
    std::map<std::array<unsigned char, 4>, std::string> namesByAddress;

    std::vector<std::string> calls;

    int count(const std::string& call) const;

    int startup(std::uint16_t versionRequested, SocketsStartupRecord& record) override;
    int cleanup() override;
    int lastError() override;
    int hostName(char* name, int length) override;
    const HostEnt* hostByName(const char* name) override;
    const HostEnt* hostByAddr(const char* address, int length, int type) override;

  private:
    const HostEnt* Publish(const Host& host);

    // The last record handed out; replaced by the next call, as the library's
    // own storage is.
    HostEnt record_{};
    std::string name_;
    std::vector<std::vector<unsigned char>> bytes_;
    std::vector<char*> list_;
};

} // namespace vexor::fakes

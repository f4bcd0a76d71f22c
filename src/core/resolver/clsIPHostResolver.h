#pragma once

#include "seams/Sockets.h"

#include <string>

namespace vexor {

// Forward and reverse host lookups through the sockets library, with a start-up
// of the library of its own for the lifetime of the instance. Every failure
// gives the empty text.
class clsIPHostResolver {
  public:
    explicit clsIPHostResolver(ISocketsLibrary& sockets);
    ~clsIPHostResolver();
    clsIPHostResolver(const clsIPHostResolver&) = delete;
    clsIPHostResolver& operator=(const clsIPHostResolver&) = delete;

    // The official host name of a dotted address.
    std::string AddressToName(const std::string& strIP) const;
    // The first dotted address of a host.
    std::string NameToAddress(const std::string& strName) const;

    bool socketsReady() const { return bSocketsReady; }

  private:
    std::string GetHostNameByAddress(const std::string& strIP) const;
    std::string GetAddressByHostName(const std::string& strName) const;

    ISocketsLibrary& sockets_;
    bool bSocketsReady = false;
};

} // namespace vexor

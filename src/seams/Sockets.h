#pragma once

#include <cstdint>

namespace vexor {

// Host record with the field order and widths of the Winsock `hostent`, so the
// Windows backend can hand the library's own record through unchanged. It lives
// in the library's storage and is valid only until the next call on the library.
struct HostEnt {
    char* h_name;
    char** h_aliases;
    std::int16_t h_addrtype;
    std::int16_t h_length;
    char** h_addr_list;
};

// The two fields of the start-up record that callers read; the backend zero-fills
// the rest of its platform record before the call.
struct SocketsStartupRecord {
    std::uint16_t wVersion = 0;
    std::uint16_t wHighVersion = 0;
    std::uint16_t iMaxSockets = 0;
};

constexpr int kSocketError = -1;
constexpr int kAfInet = 2;
constexpr std::uint16_t kSocketsVersion11 = 0x0101;

// The sockets library as a Winsock 1.1 program sees it.
class ISocketsLibrary {
  public:
    virtual ~ISocketsLibrary() = default;

    // Returns 0 when the library started and filled `record`.
    virtual int startup(std::uint16_t versionRequested, SocketsStartupRecord& record) = 0;
    // Returns 0 on success, kSocketError otherwise.
    virtual int cleanup() = 0;
    virtual int lastError() = 0;
    // Writes the NUL-terminated host name into `name`; 0 or kSocketError.
    virtual int hostName(char* name, int length) = 0;
    virtual const HostEnt* hostByName(const char* name) = 0;
    virtual const HostEnt* hostByAddr(const char* address, int length, int type) = 0;
};

} // namespace vexor

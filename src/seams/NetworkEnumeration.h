#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vexor {

// One network resource with the field order of the Windows `NETRESOURCEA`. Its
// texts live in the same enumeration buffer as the record itself.
struct NetResource {
    std::uint32_t dwScope;
    std::uint32_t dwType;
    std::uint32_t dwDisplayType;
    std::uint32_t dwUsage;
    char* lpLocalName;
    char* lpRemoteName;
    char* lpComment;
    char* lpProvider;
};

using NetEnumHandle = void*;

namespace net {
constexpr std::uint32_t kScopeGlobalNet = 2;
constexpr std::uint32_t kTypeAny = 0;
constexpr std::uint32_t kTypeDisk = 1;
constexpr std::uint32_t kUsageAll = 0;
constexpr std::uint32_t kUsageConnectable = 1;
constexpr std::uint32_t kUsageContainer = 2;

constexpr std::uint32_t kDisplayGeneric = 0;
constexpr std::uint32_t kDisplayDomain = 1;
constexpr std::uint32_t kDisplayServer = 2;
constexpr std::uint32_t kDisplayShare = 3;
constexpr std::uint32_t kDisplayNetwork = 6;

constexpr std::uint32_t kNoError = 0;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorNotEnoughMemory = 8;
constexpr std::uint32_t kErrorBadNetPath = 53;
constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorMoreData = 234;
constexpr std::uint32_t kErrorNoMoreItems = 259;
constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorNotContainer = 1207;
constexpr std::uint32_t kErrorNoNetwork = 1222;
} // namespace net

// The network neighbourhood enumeration of the Windows networking API.
class INetworkEnumeration {
  public:
    virtual ~INetworkEnumeration() = default;

    // Opens the container that `container` describes (null or a record with a
    // null remote name: the root of the network).
    virtual std::uint32_t openEnum(std::uint32_t scope, std::uint32_t type, std::uint32_t usage,
                                   const NetResource* container, NetEnumHandle* handle) = 0;
    // Reads as many whole entries as fit into `buffer` (at most `*count`, or all
    // that fit when it is -1); sets `*count` to the number read.
    virtual std::uint32_t enumResource(NetEnumHandle handle, std::int32_t* count, void* buffer,
                                       std::uint32_t* size) = 0;
    virtual std::uint32_t closeEnum(NetEnumHandle handle) = 0;
};

// A container's reads stop after this many entries, more than a list can ever
// hold, so that a provider that keeps returning entries cannot hold a reader.
constexpr std::size_t kMaxEntriesPerContainer = 65536;

// Closes an open enumeration when the scope that opened it ends, on every path.
class EnumerationCloser {
  public:
    EnumerationCloser(INetworkEnumeration& network, NetEnumHandle handle)
        : network_(network), handle_(handle) {}
    ~EnumerationCloser() { network_.closeEnum(handle_); }
    EnumerationCloser(const EnumerationCloser&) = delete;
    EnumerationCloser& operator=(const EnumerationCloser&) = delete;

  private:
    INetworkEnumeration& network_;
    NetEnumHandle handle_;
};

// A server's remote name ("\\NAME") as the machine's name.
inline std::string WithoutBackslashes(std::string name) {
    name.erase(std::remove(name.begin(), name.end(), '\\'), name.end());
    return name;
}

} // namespace vexor

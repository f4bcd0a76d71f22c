#include "clsIPHostResolver.h"

#include "AddressText.h"

#include <cstring>

namespace vexor {
namespace {

// The longest host name a reverse lookup returns, in bytes.
constexpr std::size_t kNameBufferLength = 255;

} // namespace

clsIPHostResolver::clsIPHostResolver(ISocketsLibrary& sockets) : sockets_(sockets) {
    SocketsStartupRecord record;
    bSocketsReady = sockets_.startup(kSocketsVersion11, record) == 0;
}

clsIPHostResolver::~clsIPHostResolver() {
    if (bSocketsReady) {
        sockets_.cleanup();
    }
}

std::string clsIPHostResolver::AddressToName(const std::string& strIP) const {
    return bSocketsReady ? GetHostNameByAddress(strIP) : std::string();
}

std::string clsIPHostResolver::NameToAddress(const std::string& strName) const {
    return bSocketsReady ? GetAddressByHostName(strName) : std::string();
}

std::string clsIPHostResolver::GetHostNameByAddress(const std::string& strIP) const {
    if (!IsIPAddress(strIP)) {
        return {};
    }
    const std::int32_t value = IPAddressToLong(strIP);
    char address[4];
    std::memcpy(address, &value, sizeof address);
    const HostEnt* found = sockets_.hostByAddr(address, sizeof address, kAfInet);
    if (found == nullptr || found->h_name == nullptr) {
        return {};
    }
    // Names past the buffer's length are cut, never read beyond it.
    const std::size_t length = strnlen(found->h_name, kNameBufferLength);
    return TrimAtNull(std::string_view(found->h_name, length));
}

std::string clsIPHostResolver::GetAddressByHostName(const std::string& strName) const {
    const HostEnt* found = sockets_.hostByName(strName.c_str());
    if (found == nullptr) {
        return {};
    }
    const HostEnt record = *found;
    return FirstHostAddress(record);
}

} // namespace vexor

#include "Win32Sockets.h"

#include "WinText.h"

#include <cstddef>
#include <cstring>
#include <string>
#include <winsock.h>

namespace vexor::win32 {

// The seam's record keeps Winsock's layout: the program's callers read it as
// they would Winsock's own.
static_assert(sizeof(HostEnt) == sizeof(hostent));
static_assert(offsetof(HostEnt, h_name) == offsetof(hostent, h_name));
static_assert(offsetof(HostEnt, h_aliases) == offsetof(hostent, h_aliases));
static_assert(offsetof(HostEnt, h_addrtype) == offsetof(hostent, h_addrtype));
static_assert(offsetof(HostEnt, h_length) == offsetof(hostent, h_length));
static_assert(offsetof(HostEnt, h_addr_list) == offsetof(hostent, h_addr_list));
#ifndef _WIN64
static_assert(sizeof(HostEnt) == 16, "the 32-bit host record is 16 bytes");
#endif

namespace {

// Winsock's record as an answer, its name in UTF-8; nothing for a record that
// holds no IPv4 address.
std::optional<NameAnswer> AnswerOf(const hostent* found, const std::string& asked) {
    if (found == nullptr || found->h_addrtype != AF_INET || found->h_length != 4) {
        return std::nullopt;
    }
    NameAnswer answer{found->h_name != nullptr ? AnsiToUtf8(found->h_name) : asked, {}};
    for (char** entry = found->h_addr_list; entry != nullptr && *entry != nullptr; ++entry) {
        Ipv4 address{};
        std::memcpy(address.data(), *entry, 4);
        answer.addresses.push_back(address);
    }
    return answer;
}

} // namespace

std::optional<NameAnswer> WinsockNameLookup(const std::string& name) {
    return AnswerOf(gethostbyname(Utf8ToAnsi(name.c_str()).c_str()), name);
}

Win32Sockets::Win32Sockets(std::shared_ptr<IRefreshNames> names) : names_(std::move(names)) {}

int Win32Sockets::startup(std::uint16_t versionRequested, SocketsStartupRecord& record) {
    WSADATA data;
    std::memset(&data, 0, sizeof data);
    const int result = WSAStartup(versionRequested, &data);
    if (result == 0) {
        record.wVersion = data.wVersion;
        record.wHighVersion = data.wHighVersion;
        record.iMaxSockets = data.iMaxSockets;
    }
    return result;
}

int Win32Sockets::cleanup() {
    return WSACleanup();
}

int Win32Sockets::lastError() {
    return WSAGetLastError();
}

int Win32Sockets::hostName(char* name, int length) {
    std::string ansi(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length <= 0 || gethostname(ansi.data(), length) == SOCKET_ERROR) {
        return SOCKET_ERROR;
    }
    const std::string utf8 = AnsiToUtf8(ansi.c_str());
    if (utf8.size() >= static_cast<std::size_t>(length)) {
        WSASetLastError(WSAEFAULT);
        return SOCKET_ERROR;
    }
    std::memcpy(name, utf8.c_str(), utf8.size() + 1);
    return 0;
}

const HostEnt* Win32Sockets::Publish(const std::optional<NameAnswer>& answer) {
    return answer ? record_.Publish(answer->canonicalName, answer->addresses) : nullptr;
}

const HostEnt* Win32Sockets::hostByName(const char* name) {
    if (name == nullptr) {
        WSASetLastError(WSAEFAULT);
        return nullptr;
    }
    // A machine of this refresh's neighbourhood shows the address it was found
    // at, line by line, whatever the resolvers would answer for its name.
    if (names_ != nullptr) {
        if (auto listed = names_->Listed(name); !listed.empty()) {
            return record_.Publish(name, listed);
        }
    }
    if (names_ != nullptr && names_->Known(name)) {
        const NameAnswer answer = names_->Resolve(name);
        if (answer.addresses.empty()) {
            WSASetLastError(WSAHOST_NOT_FOUND);
            return nullptr;
        }
        return record_.Publish(answer.canonicalName, answer.addresses);
    }
    return Publish(AnswerOf(gethostbyname(Utf8ToAnsi(name).c_str()), name));
}

const HostEnt* Win32Sockets::hostByAddr(const char* address, int length, int type) {
    return Publish(AnswerOf(gethostbyaddr(address, length, type), {}));
}

} // namespace vexor::win32

#include "PosixSockets.h"
#include "PosixInterfaces.h"
#include "base/AsciiText.h"
#include "base/SocketAddress.h"
#include "base/UniqueHandle.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <memory>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vexor {
namespace {

// Winsock's own figure for the sockets a 1.1 library supports.
constexpr std::uint16_t kMaxSockets = 32767;

bool IsOwnHostName(const char* name) {
    char own[256] = {};
    return gethostname(own, sizeof own - 1) == 0 && own[0] != '\0' && EqualsIgnoringCase(own, name);
}

} // namespace

std::vector<Ipv4> LocalInterfaceAddresses() {
    std::vector<Ipv4> external;
    std::vector<Ipv4> loopback;
    for (const LocalInterface& local : LocalInterfaces()) {
        if (local.up) {
            (local.loopback ? loopback : external).push_back(local.address);
        }
    }
    return external.empty() ? loopback : external;
}

std::optional<NameAnswer> SystemNameLookup(const std::string& name) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* raw = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &raw) != 0 || raw == nullptr) {
        return std::nullopt;
    }
    const UniqueHandle<addrinfo, freeaddrinfo> list(raw);
    NameAnswer answer;
    answer.canonicalName = list->ai_canonname != nullptr ? list->ai_canonname : name;
    for (const addrinfo* entry = list.get(); entry != nullptr; entry = entry->ai_next) {
        const Ipv4 bytes = AddressOf(entry->ai_addr);
        // getaddrinfo repeats an address once per socket type; a host record lists it once.
        if (std::find(answer.addresses.begin(), answer.addresses.end(), bytes) ==
            answer.addresses.end()) {
            answer.addresses.push_back(bytes);
        }
    }
    return answer;
}

PosixSockets::PosixSockets(std::shared_ptr<IRefreshNames> names) : names_(std::move(names)) {}

int PosixSockets::startup(std::uint16_t /*versionRequested*/, SocketsStartupRecord& record) {
    record.wVersion = kSocketsVersion11;
    record.wHighVersion = kSocketsVersion11;
    record.iMaxSockets = kMaxSockets;
    return 0;
}

int PosixSockets::hostName(char* name, int length) {
    if (length <= 0 || gethostname(name, static_cast<std::size_t>(length)) != 0) {
        lastError_ = errno;
        return kSocketError;
    }
    name[length - 1] = '\0';
    return 0;
}

const HostEnt* PosixSockets::hostByName(const char* name) {
    if (name == nullptr || name[0] == '\0') {
        return nullptr;
    }
    if (IsOwnHostName(name)) {
        if (const auto addresses = LocalInterfaceAddresses(); !addresses.empty()) {
            return record_.Publish(name, addresses);
        }
    }
    // A machine of this refresh's neighbourhood shows the address it was found
    // at, line by line, whatever the resolvers would answer for its name.
    if (names_ != nullptr) {
        if (auto listed = names_->Listed(name); !listed.empty()) {
            return record_.Publish(name, listed);
        }
    }
    auto answer =
        names_ != nullptr ? names_->Resolve(name) : SystemNameLookup(name).value_or(NameAnswer{});
    if (answer.addresses.empty()) {
        return nullptr;
    }
    return record_.Publish(std::move(answer.canonicalName), answer.addresses);
}

const HostEnt* PosixSockets::hostByAddr(const char* address, int length, int type) {
    if (address == nullptr || length != 4 || type != kAfInet) {
        return nullptr;
    }
    Ipv4 bytes{};
    std::memcpy(bytes.data(), address, 4);
    const sockaddr_in in = SocketAddressOf({bytes, 0});
    char host[NI_MAXHOST] = {};
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&in), sizeof in, host, sizeof host, nullptr,
                    0, NI_NAMEREQD) != 0) {
        return nullptr;
    }
    return record_.Publish(host, {bytes});
}

} // namespace vexor

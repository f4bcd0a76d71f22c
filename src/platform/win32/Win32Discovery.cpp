#include "Win32Discovery.h"

#include "WinText.h"
#include "XmlLiteReader.h"
#include "platform/common/UniqueHandle.h"

// Winsock 2's headers must come before windows.h and iphlpapi.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <iphlpapi.h>
#include <windows.h>
#include <winhttp.h>

#include <cstring>
#include <memory>

namespace vexor::win32 {
namespace {

constexpr std::size_t kMaxDatagram = 65535;

// Winsock 2 is started for as long as the socket lives.
class WinsockSession {
  public:
    WinsockSession() {
        WSADATA data{};
        started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockSession() {
        if (started_) {
            WSACleanup();
        }
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
    bool started() const { return started_; }

  private:
    bool started_ = false;
};

class WinsockDatagramSocket : public IDatagramSocket {
  public:
    WinsockDatagramSocket() {
        if (!session_.started()) {
            return;
        }
        socket_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        if (socket_ == INVALID_SOCKET) {
            return;
        }
        // Answers to one multicast query come in a burst that the default
        // buffer would partly drop.
        const int buffer = 4 * 1024 * 1024;
        setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&buffer),
                   sizeof buffer);
        sockaddr_in any{};
        any.sin_family = AF_INET;
        if (bind(socket_, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) {
            closesocket(socket_);
            socket_ = INVALID_SOCKET;
        }
    }
    ~WinsockDatagramSocket() override {
        if (socket_ != INVALID_SOCKET) {
            closesocket(socket_);
        }
    }
    WinsockDatagramSocket(const WinsockDatagramSocket&) = delete;
    WinsockDatagramSocket& operator=(const WinsockDatagramSocket&) = delete;

    bool ok() const { return socket_ != INVALID_SOCKET; }

    bool SendTo(std::span<const std::uint8_t> bytes, const UdpEndpoint& to,
                const Ipv4& via) override {
        // The address form of IP_MULTICAST_IF; Wine refuses the interface-index form.
        in_addr out{};
        std::memcpy(&out, via.data(), 4);
        setsockopt(socket_, IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char*>(&out),
                   sizeof out);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(to.port);
        std::memcpy(&address.sin_addr, to.address.data(), 4);
        return sendto(socket_, reinterpret_cast<const char*>(bytes.data()),
                      static_cast<int>(bytes.size()), 0, reinterpret_cast<sockaddr*>(&address),
                      sizeof address) != SOCKET_ERROR;
    }

    std::optional<Datagram> ReceiveUntil(std::chrono::steady_clock::time_point deadline) override {
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                return std::nullopt;
            }
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(socket_, &readable);
            timeval wait{static_cast<long>(left.count() / 1000000),
                         static_cast<long>(left.count() % 1000000)};
            if (select(0, &readable, nullptr, nullptr, &wait) <= 0) {
                continue;
            }
            Datagram datagram;
            datagram.bytes.resize(kMaxDatagram);
            sockaddr_in from{};
            int length = sizeof from;
            const int got = recvfrom(socket_, reinterpret_cast<char*>(datagram.bytes.data()),
                                     static_cast<int>(datagram.bytes.size()), 0,
                                     reinterpret_cast<sockaddr*>(&from), &length);
            if (got == SOCKET_ERROR) {
                // A reply from a port that is closed (ICMP) ends no wait.
                continue;
            }
            datagram.bytes.resize(static_cast<std::size_t>(got));
            std::memcpy(datagram.from.address.data(), &from.sin_addr, 4);
            datagram.from.port = ntohs(from.sin_port);
            return datagram;
        }
    }

  private:
    WinsockSession session_;
    SOCKET socket_ = INVALID_SOCKET;
};

using InternetHandle = UniqueHandle<void, WinHttpCloseHandle>;

} // namespace

std::vector<Ipv4> AdapterAddresses() {
    ULONG size = 16 * 1024;
    std::vector<std::uint64_t> storage;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        storage.assign(size / sizeof(std::uint64_t) + 1, 0);
        result = GetAdaptersAddresses(
            AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
            nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(storage.data()), &size);
    }
    std::vector<Ipv4> addresses;
    if (result != NO_ERROR) {
        return addresses;
    }
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(storage.data());
         adapter != nullptr; adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp || adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK ||
            (adapter->Flags & IP_ADAPTER_NO_MULTICAST) != 0) {
            continue;
        }
        for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr;
             unicast = unicast->Next) {
            const sockaddr* address = unicast->Address.lpSockaddr;
            if (address != nullptr && address->sa_family == AF_INET) {
                Ipv4 bytes{};
                std::memcpy(bytes.data(), &reinterpret_cast<const sockaddr_in*>(address)->sin_addr,
                            4);
                if (bytes[0] != 127) {
                    addresses.push_back(bytes);
                }
            }
        }
    }
    return addresses;
}

std::unique_ptr<IDatagramSocket> OpenWinsockDatagramSocket() {
    auto socket = std::make_unique<WinsockDatagramSocket>();
    if (!socket->ok()) {
        return nullptr;
    }
    return socket;
}

std::optional<std::string> WinHttpPost(const std::string& url, const std::string& body,
                                       std::chrono::milliseconds limit, std::size_t maxBytes) {
    std::wstring wide = Utf8ToWide(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts) ||
        parts.nScheme != INTERNET_SCHEME_HTTP) {
        return std::nullopt;
    }
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    const InternetHandle session(WinHttpOpen(L"Vexor Moralto", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                             WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) {
        return std::nullopt;
    }
    const int ms = static_cast<int>(limit.count());
    WinHttpSetTimeouts(session.get(), ms, ms, ms, ms);
    const InternetHandle connection(WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
    const InternetHandle request(
        connection ? WinHttpOpenRequest(connection.get(), L"POST", path.c_str(), nullptr,
                                        WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0)
                   : nullptr);
    if (!request) {
        return std::nullopt;
    }
    // A redirect would send the request to an address the peer chose.
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
    if (!WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects,
                          sizeof noRedirects)) {
        return std::nullopt;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    static const wchar_t kHeaders[] = L"Content-Type: application/soap+xml\r\n";
    if (!WinHttpSendRequest(request.get(), kHeaders, static_cast<DWORD>(-1L),
                            const_cast<char*>(body.data()), static_cast<DWORD>(body.size()),
                            static_cast<DWORD>(body.size()), 0) ||
        !WinHttpReceiveResponse(request.get(), nullptr)) {
        return std::nullopt;
    }
    DWORD status = 0;
    DWORD statusSize = sizeof status;
    if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize,
                             WINHTTP_NO_HEADER_INDEX) ||
        status != 200) {
        return std::nullopt;
    }
    std::string response;
    char chunk[4096];
    for (;;) {
        // A peer that trickles its bytes gets no more than the limit in all.
        if (std::chrono::steady_clock::now() > deadline) {
            return std::nullopt;
        }
        DWORD read = 0;
        if (!WinHttpReadData(request.get(), chunk, sizeof chunk, &read)) {
            return std::nullopt;
        }
        if (read == 0) {
            return response;
        }
        if (response.size() + read > maxBytes) {
            return std::nullopt;
        }
        response.append(chunk, read);
    }
}

DiscoverySeams Win32DiscoverySeams() {
    return {AdapterAddresses, OpenWinsockDatagramSocket, WinHttpPost, NewXmlLiteReader};
}

} // namespace vexor::win32

// WinHTTP's POST against a peer on the loopback that trickles its response: the
// whole request ends at its limit, not when the peer stops.
#include "backends/win32/WinHttpPost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <winsock2.h>
#include <ws2tcpip.h>

namespace vexor::win32 {
namespace {

using namespace std::chrono_literals;

// A peer that answers a request with the start of a response and then one
// byte every 50 ms, for at most `kBytes` bytes, until the client goes.
class TricklingPeer {
  public:
    static constexpr int kBytes = 60;

    TricklingPeer() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int size = sizeof address;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            listen(listener_, 1) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            return;
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~TricklingPeer() {
        closesocket(listener_);
        if (thread_.joinable()) {
            thread_.join();
        }
        WSACleanup();
    }

    int port() const { return port_; }
    // How many trickled bytes the peer has sent.
    int sent() const { return sent_.load(); }
    void Wait() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }

  private:
    void Serve() {
        const SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) {
            return;
        }
        char request[4096];
        recv(client, request, sizeof request, 0);
        const std::string start = "HTTP/1.1 200 OK\r\nX-Lento: ";
        send(client, start.data(), static_cast<int>(start.size()), 0);
        for (int i = 0; i < kBytes; ++i) {
            std::this_thread::sleep_for(50ms);
            if (send(client, "a", 1, 0) != 1) {
                break;
            }
            ++sent_;
        }
        closesocket(client);
    }

    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::thread thread_;
    std::atomic<int> sent_{0};
};

TEST(WinHttpPost, APeerTricklingItsResponseIsCutOffAtTheLimit) {
    TricklingPeer peer;
    ASSERT_NE(peer.port(), 0);
    const auto response = WinHttpPost("http://127.0.0.1:" + std::to_string(peer.port()) + "/lento",
                                      "<x/>", 300ms, 64 * 1024);
    const int sentWhenItReturned = peer.sent();
    EXPECT_FALSE(response);
    // Each byte comes well inside WinHTTP's per-packet time-out: only the
    // whole-request bound ends the request before the peer has had its say.
    EXPECT_LT(sentWhenItReturned, TricklingPeer::kBytes);
    peer.Wait();
}

} // namespace
} // namespace vexor::win32

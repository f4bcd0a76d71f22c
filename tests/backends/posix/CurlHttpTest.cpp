// The discovery seam's HTTP GET over libcurl, against scripted servers on the
// loopback: what it returns, and what it refuses to wait for or to follow.
#include "backends/posix/CurlHttp.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace vexor {
namespace {

using namespace std::chrono_literals;

// A listener on an ephemeral loopback port that answers each connection with
// the pieces of `reply`, `gap` apart, and notes the request it read.
class ScriptedServer {
  public:
    ScriptedServer(std::vector<std::string> reply, std::chrono::milliseconds gap)
        : reply_(std::move(reply)), gap_(gap) {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            listen(listener_, 4) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            ADD_FAILURE() << "no loopback listener";
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~ScriptedServer() {
        stop_ = true;
        shutdown(listener_, SHUT_RDWR);
        close(listener_);
        thread_.join();
    }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    int connections() const { return connections_; }
    std::string request() const { return request_; }

  private:
    void Serve() {
        while (!stop_) {
            const int client = accept(listener_, nullptr, nullptr);
            if (client < 0) {
                return;
            }
            ++connections_;
            char buffer[4096];
            const ssize_t got = recv(client, buffer, sizeof buffer, 0);
            if (got > 0 && request_.empty()) {
                request_.assign(buffer, static_cast<std::size_t>(got));
            }
            for (const std::string& piece : reply_) {
                if (stop_ || send(client, piece.data(), piece.size(), MSG_NOSIGNAL) < 0) {
                    break;
                }
                std::this_thread::sleep_for(gap_);
            }
            close(client);
        }
    }

    std::vector<std::string> reply_;
    std::chrono::milliseconds gap_;
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::string request_;
};

std::string Response(const std::string& status, const std::string& body,
                     const std::string& headers = "") {
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
           headers + "Connection: close\r\n\r\n" + body;
}

TEST(CurlHttp, GetReturnsTheBodyOfA200) {
    // A proxy named in the environment is not used for peers on the link.
    setenv("http_proxy", "http://127.0.0.1:9/", 1);
    ScriptedServer server({Response("200 OK", "<root/>")}, 0ms);
    EXPECT_EQ(CurlGet(server.Url("/rootDesc.xml"), 2000ms, 64 * 1024).value_or("<none>"),
              "<root/>");
    EXPECT_EQ(server.request().rfind("GET /rootDesc.xml HTTP/1.1\r\n", 0), 0u) << server.request();
    unsetenv("http_proxy");
}

TEST(CurlHttp, GetRefusesWhatItMustNotWaitForOrFollow) {
    ScriptedServer elsewhere({Response("200 OK", "<root/>")}, 0ms);
    const struct {
        const char* what;
        std::vector<std::string> reply;
        std::chrono::milliseconds gap;
    } cases[] = {
        {"another status", {Response("404 Not Found", "")}, 0ms},
        {"a redirect",
         {Response("302 Found", "", "Location: " + elsewhere.Url("/x.xml") + "\r\n")},
         0ms},
        {"a body past the limit", {Response("200 OK", std::string(64 * 1024 + 1, 'x'))}, 0ms},
        // Thirty pieces 100 ms apart: the whole request is bounded, not each read.
        {"a body that trickles",
         [] {
             std::vector<std::string> pieces{
                 "HTTP/1.1 200 OK\r\nContent-Length: 30\r\nConnection: close\r\n\r\n"};
             pieces.insert(pieces.end(), 30, "x");
             return pieces;
         }(),
         100ms},
        {"headers that trickle", std::vector<std::string>(40, "H"), 100ms},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        ScriptedServer server(test.reply, test.gap);
        EXPECT_FALSE(CurlGet(server.Url("/d.xml"), 400ms, 64 * 1024));
        EXPECT_EQ(server.connections(), 1);
    }
    EXPECT_EQ(elsewhere.connections(), 0);
    // Nothing but http, and no time at all is no request.
    ScriptedServer server({Response("200 OK", "<root/>")}, 0ms);
    EXPECT_FALSE(CurlGet("file:///etc/hostname", 400ms, 64 * 1024));
    EXPECT_FALSE(CurlGet(server.Url("/d.xml"), 0ms, 64 * 1024));
    EXPECT_EQ(server.connections(), 0);
}

} // namespace
} // namespace vexor

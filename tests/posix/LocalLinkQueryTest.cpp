// The local-link name query against responders on loopback.
#include "platform/posix/LocalLinkQuery.h"
#include "DnsMessageBuilder.h"
#include "platform/posix/NameQueryPackets.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <functional>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace vexor {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

class LoopbackSocket {
  public:
    LoopbackSocket() : fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
    }
    ~LoopbackSocket() { close(fd); }
    LoopbackSocket(const LoopbackSocket&) = delete;
    LoopbackSocket& operator=(const LoopbackSocket&) = delete;

    int fd;
    std::uint16_t port = 0;
};

// A peer that answers each query it gets after `delay`, from its own port or,
// when told, from another one.
class Responder {
  public:
    using Reply = std::function<std::optional<Bytes>(const Bytes& query)>;

    Responder(Reply reply, std::chrono::milliseconds delay = 0ms, bool fromOtherPort = false)
        : reply_(std::move(reply)), delay_(delay), fromOther_(fromOtherPort),
          thread_([this] { Serve(); }) {}
    ~Responder() {
        stop_ = true;
        thread_.join();
    }
    Responder(const Responder&) = delete;
    Responder& operator=(const Responder&) = delete;

    UdpEndpoint endpoint() const { return {{127, 0, 0, 1}, socket_.port}; }
    int queries() const { return queries_; }

  private:
    void Serve() {
        // Bounded: the thread ends with the test, and each loop waits at most 20 ms.
        while (!stop_) {
            pollfd wait{socket_.fd, POLLIN, 0};
            if (poll(&wait, 1, 20) <= 0) {
                continue;
            }
            Bytes query(2048);
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t got = recvfrom(socket_.fd, query.data(), query.size(), 0,
                                         reinterpret_cast<sockaddr*>(&from), &length);
            if (got <= 0) {
                continue;
            }
            query.resize(static_cast<std::size_t>(got));
            ++queries_;
            if (const auto answer = reply_ ? reply_(query) : std::nullopt) {
                std::this_thread::sleep_for(delay_);
                sendto(fromOther_ ? other_.fd : socket_.fd, answer->data(), answer->size(), 0,
                       reinterpret_cast<sockaddr*>(&from), length);
            }
        }
    }

    LoopbackSocket socket_;
    LoopbackSocket other_;
    Reply reply_;
    std::chrono::milliseconds delay_;
    bool fromOther_;
    std::atomic<int> queries_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

std::uint16_t IdOf(const Bytes& query) {
    return static_cast<std::uint16_t>(query[0] << 8 | query[1]);
}

Responder::Reply NetbiosSays(Ipv4 address, int idOffset = 0) {
    return [=](const Bytes& query) -> std::optional<Bytes> {
        // The name in the query starts after the header and its length byte.
        const std::string owner(query.begin() + 13, query.begin() + 45);
        return testing::DnsMessageBuilder(static_cast<std::uint16_t>(IdOf(query) + idOffset),
                                          0x8500, 0, 1)
            .Name(owner)
            .Record(0x20, 1, {0, 0, address[0], address[1], address[2], address[3]})
            .bytes;
    };
}

Responder::Reply MdnsSays(const std::string& host, Ipv4 address) {
    return [=](const Bytes& query) -> std::optional<Bytes> {
        return testing::DnsMessageBuilder(IdOf(query), 0x8400, 0, 1)
            .Name(host)
            .Record(1, 0x8001, {address[0], address[1], address[2], address[3]})
            .bytes;
    };
}

TEST(LocalLinkQuery, FirstPositiveAnswerFromTheRightPortWins) {
    const Ipv4 nb{10, 0, 0, 5};
    const Ipv4 md{10, 0, 0, 6};
    const LocalLinkTiming timing{3, 100ms};
    const struct {
        const char* what;
        const char* name;
        Responder::Reply netbios;
        std::chrono::milliseconds netbiosDelay;
        bool netbiosFromOtherPort;
        Responder::Reply mdns;
        std::chrono::milliseconds mdnsDelay;
        std::vector<Ipv4> expected;
        int netbiosQueries;
        int mdnsQueries;
        std::chrono::milliseconds atLeast;
        std::chrono::milliseconds atMost;
    } cases[] = {
        {"NetBIOS alone answers",
         "ALFA",
         NetbiosSays(nb),
         0ms,
         false,
         {},
         0ms,
         {nb},
         1,
         1,
         0ms,
         80ms},
        {"mDNS alone answers",
         "alfa",
         {},
         0ms,
         false,
         MdnsSays("alfa.local", md),
         0ms,
         {md},
         1,
         1,
         0ms,
         80ms},
        {"both answer, mDNS first",
         "ALFA",
         NetbiosSays(nb),
         60ms,
         false,
         MdnsSays("ALFA.local", md),
         0ms,
         {md},
         1,
         1,
         0ms,
         80ms},
        {"both answer, NetBIOS first",
         "ALFA",
         NetbiosSays(nb),
         0ms,
         false,
         MdnsSays("ALFA.local", md),
         60ms,
         {nb},
         1,
         1,
         0ms,
         80ms},
        {"an answer from another port is no answer",
         "ALFA",
         NetbiosSays(nb),
         0ms,
         true,
         {},
         0ms,
         {},
         3,
         3,
         290ms,
         450ms},
        {"an answer to another transaction is no answer",
         "ALFA",
         NetbiosSays(nb, 1),
         0ms,
         false,
         {},
         0ms,
         {},
         3,
         3,
         290ms,
         450ms},
        {"a .local name is asked of mDNS only",
         "alfa.local",
         NetbiosSays(nb),
         0ms,
         false,
         MdnsSays("alfa.local", md),
         0ms,
         {md},
         0,
         1,
         0ms,
         80ms},
        {"a name past 15 bytes is asked of mDNS only",
         "ESTACAO-DE-TRABALHO",
         NetbiosSays(nb),
         0ms,
         false,
         {},
         0ms,
         {},
         0,
         3,
         290ms,
         450ms},
        {"nobody answers: three tries, then nothing",
         "NINGUEM",
         {},
         0ms,
         false,
         {},
         0ms,
         {},
         3,
         3,
         290ms,
         450ms},
    };
    for (const auto& c : cases) {
        Responder netbios(c.netbios, c.netbiosDelay, c.netbiosFromOtherPort);
        Responder mdns(c.mdns, c.mdnsDelay);
        LocalLinkTargets targets;
        targets.netbios.push_back(netbios.endpoint());
        targets.mdns.push_back({{127, 0, 0, 1}, mdns.endpoint()});
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(QueryLocalLink(c.name, targets, timing), c.expected) << c.what;
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(took, c.atLeast) << c.what;
        EXPECT_LE(took, c.atMost) << c.what;
        // Give the responders a moment to count a query that is still on its way.
        std::this_thread::sleep_for(30ms);
        EXPECT_EQ(netbios.queries(), c.netbiosQueries) << c.what;
        EXPECT_EQ(mdns.queries(), c.mdnsQueries) << c.what;
    }
}

} // namespace
} // namespace vexor

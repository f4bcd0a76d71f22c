// The WS-Discovery client against scripted peers behind fake seams, on a fake
// clock.
#include "core/discovery/WsdClient.h"
#include "TestXmlReader.h"
#include "core/discovery/SeenMessages.h"
#include "core/discovery/WsdMessages.h"

#include "FakeClock.h"
#include "FakeDatagramSocket.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace vexor {
namespace {

using namespace std::chrono_literals;
using fakes::FakeClock;
using fakes::FakeDatagramSocket;

struct Peer {
    std::string endpoint;
    Ipv4 address;
    bool xaddrsInProbe;
    std::string xaddr;
    // The metadata's computer text; empty: the device hosts none.
    std::string computer;
    bool metadataHangs = false;
    bool answersAnotherProbe = false;
    // UDP loses the answer to the first Resolve for it.
    bool firstResolveLost = false;
    // Characters its message ids are padded with.
    std::size_t idPadding = 0;
};

std::string Text(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The value of the first <wsa:NAME> element of a message we sent.
std::string Between(const std::string& text, const std::string& open, const std::string& close) {
    const auto start = text.find(open);
    if (start == std::string::npos) {
        return {};
    }
    const auto from = start + open.size();
    return text.substr(from, text.find(close, from) - from);
}

std::string Match(const std::string& action, const std::string& relatesTo, const Peer& peer,
                  bool withXaddrs, int serial) {
    const std::string kind = action == "ProbeMatches" ? "ProbeMatch" : "ResolveMatch";
    return "<?xml version=\"1.0\"?><s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\" "
           "xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\" "
           "xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\"><s:Header><a:Action>"
           "http://schemas.xmlsoap.org/ws/2005/04/discovery/" +
           action + "</a:Action><a:MessageID>urn:uuid:reply-" + peer.endpoint + "-" +
           std::to_string(serial) + std::string(peer.idPadding, 'x') +
           "</a:MessageID><a:RelatesTo>" + relatesTo +
           "</a:RelatesTo></s:Header><s:Body><d:" + action + "><d:" + kind +
           "><a:EndpointReference><a:Address>" + peer.endpoint +
           "</a:Address></a:EndpointReference><d:Types>wsdp:Device</d:Types>" +
           (withXaddrs ? "<d:XAddrs>" + peer.xaddr + "</d:XAddrs>" : "") + "</d:" + kind +
           "></d:" + action + "></s:Body></s:Envelope>";
}

// A link on which every peer answers a Probe and a Resolve, each reply twice.
struct Counts {
    int probes = 0;
    int resolves = 0;
};

// Every reply arrives 1 ms after what it answers.
class ScriptedLink {
  public:
    ScriptedLink(const std::vector<Peer>& peers, Counts& counts) : peers_(peers), counts_(counts) {}

    std::vector<FakeDatagramSocket::Delayed> Respond(const FakeDatagramSocket::Sent& sent) {
        const std::string text = Text(sent.bytes);
        EXPECT_EQ(sent.to.port, kWsdPort);
        const std::string id = Between(text, "<wsa:MessageID>", "</wsa:MessageID>");
        std::vector<FakeDatagramSocket::Delayed> replies;
        auto reply = [&](const std::string& message, const Ipv4& from) {
            replies.push_back({1ms, {{message.begin(), message.end()}, {from, kWsdPort}}});
        };
        if (text.find("discovery/Probe<") != std::string::npos) {
            ++counts_.probes;
            for (const Peer& peer : peers_) {
                const std::string relates = peer.answersAnotherProbe ? "urn:uuid:other" : id;
                for (int copy = 0; copy < 2; ++copy) {
                    reply(Match("ProbeMatches", relates, peer, peer.xaddrsInProbe, 1),
                          peer.address);
                }
            }
        } else if (text.find("discovery/Resolve<") != std::string::npos) {
            ++counts_.resolves;
            const std::string endpoint = Between(text, "<wsa:Address>", "</wsa:Address>");
            for (const Peer& peer : peers_) {
                if (peer.endpoint == endpoint &&
                    !(peer.firstResolveLost && lost_.insert(endpoint).second)) {
                    for (int copy = 0; copy < 2; ++copy) {
                        reply(Match("ResolveMatches", id, peer, true, 2), peer.address);
                    }
                }
            }
        }
        return replies;
    }

  private:
    std::vector<Peer> peers_;
    Counts& counts_;
    std::set<std::string> lost_;
};

// The client's socket: it goes with the exchange, the link stays.
class Borrowed : public IDatagramSocket {
  public:
    Borrowed(IDatagramSocket& link, std::function<void()> beforeReceive)
        : link_(link), beforeReceive_(std::move(beforeReceive)) {}
    bool SendTo(std::span<const std::uint8_t> bytes, const UdpEndpoint& to,
                const Ipv4& via) override {
        return link_.SendTo(bytes, to, via);
    }
    std::optional<Datagram> ReceiveUntil(SteadyTime deadline) override {
        if (beforeReceive_) {
            beforeReceive_();
        }
        return link_.ReceiveUntil(deadline);
    }

  private:
    IDatagramSocket& link_;
    std::function<void()> beforeReceive_;
};

std::string Metadata(const std::string& computer) {
    return "<?xml version=\"1.0\"?><s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\" "
           "xmlns:p=\"http://schemas.xmlsoap.org/ws/2006/02/devprof\" "
           "xmlns:c=\"http://schemas.microsoft.com/windows/pub/2005/07\"><s:Body><p:Relationship>"
           "<p:Host>" +
           (computer.empty() ? "" : "<c:Computer>" + computer + "</c:Computer>") +
           "</p:Host></p:Relationship></s:Body></s:Envelope>";
}

struct Outcome {
    // "NAME/WORKGROUP@ADDRESS", sorted.
    std::vector<std::string> found;
    int probes = 0;
    int resolves = 0;
    int gets = 0;
    std::chrono::nanoseconds took{};
    std::chrono::nanoseconds firstGet{};
};

std::string Dotted(const Ipv4& a) {
    return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
           std::to_string(a[3]);
}

Outcome Discover(const std::vector<Peer>& peers, const WsdTiming& timing,
                 std::chrono::milliseconds deadline = 2s, int getsBeforeMoving = 0) {
    FakeClock clock;
    Counts counts;
    ScriptedLink peersOnLink(peers, counts);
    FakeDatagramSocket link(clock, [&](const auto& sent) { return peersOnLink.Respond(sent); });
    std::atomic<int> gets{0};
    std::mutex mutex;
    std::condition_variable getStarted;
    int receives = 0;
    Outcome run;
    const auto start = clock.Now();
    const auto listening = std::min<std::chrono::nanoseconds>(
        deadline, timing.schedule.sends.back() + timing.schedule.giveUpAfterLast);
    DiscoverySeams seams;
    seams.clock = &clock;
    seams.interfaces = [] { return std::vector<Ipv4>{{10, 0, 0, 100}}; };
    seams.openSocket = [&]() -> std::unique_ptr<IDatagramSocket> {
        // The fake clock would run past a Get's start before its worker runs:
        // after the first answer, time waits for that many Gets to start.
        return std::make_unique<Borrowed>(link, [&] {
            if (receives++ >= 1 && getsBeforeMoving > 0) {
                std::unique_lock lock(mutex);
                getStarted.wait_for(lock, 60s, [&] { return gets >= getsBeforeMoving; });
            }
        });
    };
    seams.xml = testing::SystemXmlReader();
    seams.post = [&](const std::string& url, const std::string& body,
                     std::chrono::milliseconds limit, std::size_t) -> std::optional<std::string> {
        const auto called = clock.Now();
        {
            const std::lock_guard lock(mutex);
            if (gets++ == 0) {
                run.firstGet = called - start;
            }
        }
        getStarted.notify_all();
        EXPECT_NE(body.find("transfer/Get"), std::string::npos);
        for (const Peer& peer : peers) {
            if (peer.xaddr == url) {
                // A peer that never answers costs the Get its whole limit. The
                // time it takes passes once the client listens no more, so
                // that it does not move the clock under the exchange.
                if (peer.metadataHangs) {
                    clock.SleepUntil(start + listening);
                    clock.AdvanceTo(called + limit);
                    return std::nullopt;
                }
                return Metadata(peer.computer);
            }
        }
        return std::nullopt;
    };
    DiscoverWsdComputers(
        seams,
        [&](FoundMachine machine) {
            const std::lock_guard lock(mutex);
            run.found.push_back(machine.name + "/" + machine.workgroup + "@" +
                                Dotted(machine.address));
        },
        start + deadline, timing);
    run.took = clock.Now() - start;
    std::sort(run.found.begin(), run.found.end());
    run.probes = counts.probes;
    run.resolves = counts.resolves;
    run.gets = gets;
    return run;
}

TEST(WsdClient, FindsEveryHonestComputerOnceAtTheAddressItSpokeFrom) {
    const std::vector<Peer> peers{
        {"urn:uuid:a",
         {10, 0, 0, 11},
         false,
         "http://10.0.0.11:5357/a",
         "ATENA/Workgroup:ESCRITORIO"},
        {"urn:uuid:b", {10, 0, 0, 12}, true, "http://10.0.0.12:80/b", ""},
        {"urn:uuid:c", {10, 0, 0, 13}, true, "http://hermes:5357/c", "HERMES/NotJoined"},
        {"urn:uuid:d", {10, 0, 0, 14}, true, "http://10.0.0.14:5357/d", "LENTO/Workgroup:X", true},
        {"urn:uuid:e",
         {10, 0, 0, 15},
         true,
         "http://10.0.0.15:5357/e",
         "ALHEIO/Workgroup:X",
         false,
         true},
        {"urn:uuid:f", {10, 0, 0, 16}, true, "http://10.0.0.16:5357/f", "ZE\nUS/Domain:EMPRESA"},
        // Addresses that would send the Get elsewhere than the peer that spoke.
        {"urn:uuid:g",
         {10, 0, 0, 17},
         true,
         "http://10.0.0.99:80@10.0.0.17:5357/g",
         "TRUQUE/Workgroup:X"},
        {"urn:uuid:h", {10, 0, 0, 18}, true, "http://127.0.0.1:5357/h", "LOOPBACK/Workgroup:X"},
        {"urn:uuid:i", {10, 0, 0, 19}, true, "http://10.0.0.20:5357/i", "OUTRO/Workgroup:X"},
        {"urn:uuid:j",
         {10, 0, 0, 21},
         false,
         "http://10.0.0.21:5357/j",
         "PERDIDO/Workgroup:X",
         false,
         false,
         true},
    };
    const Outcome run = Discover(peers, {{{0ms, 50ms}, 100ms}, 200ms, 4, 256});
    EXPECT_EQ(run.found,
              (std::vector<std::string>{"ATENA/ESCRITORIO@10.0.0.11", "PERDIDO/X@10.0.0.21",
                                        "ZE\nUS/EMPRESA@10.0.0.16"}));
    // The Probe is sent twice, as UDP may lose either copy. Each match without
    // addresses gets one Resolve though it came twice; A's is answered and not
    // repeated, J's answer is lost and its repeat is answered.
    EXPECT_EQ(run.probes, 2);
    EXPECT_EQ(run.resolves, 3);
    // A, B, D, F and J have addresses of their own; E answered another client's Probe.
    EXPECT_EQ(run.gets, 5);
    // A Get starts while the Probe is still listened to (until 50 + 100 ms),
    // and the exchange ends when the Probe is given up or the slowest Get's
    // limit (200 ms) runs out, whichever is later.
    EXPECT_LE(run.firstGet, 150ms);
    EXPECT_GE(run.took, 201ms);
    EXPECT_LE(run.took, 350ms);
}

TEST(WsdClient, TheDeadlineEndsListeningAndGets) {
    const std::vector<Peer> peers{
        {"urn:uuid:d", {10, 0, 0, 14}, true, "http://10.0.0.14:5357/d", "LENTO/Workgroup:X", true},
    };
    const Outcome run = Discover(peers, {{{0ms, 100ms}, 600ms}, 700ms, 4, 256}, 150ms, 1);
    EXPECT_TRUE(run.found.empty());
    EXPECT_EQ(run.gets, 1);
    EXPECT_EQ(run.took, 150ms);
}

TEST(WsdClient, AThousandDevicesAreCutAtTheBound) {
    std::vector<Peer> peers;
    for (int i = 0; i < 1000; ++i) {
        const std::string id = std::to_string(i);
        const Ipv4 address{10, 0, static_cast<std::uint8_t>(i / 250),
                           static_cast<std::uint8_t>(i % 250 + 1)};
        peers.push_back({"urn:uuid:" + id, address, true, "http://" + Dotted(address) + "/" + id,
                         "M" + id + "/Workgroup:G"});
    }
    // The window is long enough for a slow XML reader to read past the bound.
    const Outcome run = Discover(peers, {{{0ms, 20ms}, 500ms}, 200ms, 8, 256});
    EXPECT_EQ(run.gets, 256);
    EXPECT_EQ(run.found.size(), 256u);
    EXPECT_EQ(run.resolves, 0);
}

// 300 devices at one address, each to be resolved, ahead of an honest PC.
std::vector<Peer> FloodBesidePc(std::size_t idPadding) {
    std::vector<Peer> peers;
    for (int i = 0; i < 300; ++i) {
        const std::string id = std::to_string(i);
        peers.push_back({"urn:uuid:f" + id,
                         {10, 0, 0, 66},
                         false,
                         "http://10.0.0.66:5357/" + id,
                         "F" + id + "/Workgroup:G",
                         false,
                         false,
                         false,
                         idPadding});
    }
    peers.push_back({"urn:uuid:pc",
                     {10, 0, 0, 11},
                     true,
                     "http://10.0.0.11:5357/pc",
                     "PC/Workgroup:ESCRITORIO"});
    return peers;
}

TEST(WsdClient, OneSenderTakesOnlyItsShare) {
    std::vector<std::string> flood;
    for (int i = 0; i < 32; ++i) {
        // Appended, not added to a literal, which MinGW's gcc 12 misreads as
        // an overlapping copy.
        std::string line = "F";
        line += std::to_string(i);
        line += "/G@10.0.0.66";
        flood.push_back(line);
    }
    std::vector<std::string> floodAndPc = flood;
    floodAndPc.push_back("PC/ESCRITORIO@10.0.0.11");
    std::sort(floodAndPc.begin(), floodAndPc.end());
    const struct {
        const char* what;
        std::size_t idPadding;
        std::size_t maxDevices;
        std::size_t perSender;
        std::vector<std::string> found;
        int resolves;
        int gets;
    } cases[] = {
        // The first 32 devices, in the order they came, are resolved once
        // each and fetched; the other 268 cost nothing.
        {"300 endpoints from one sender beside an honest PC", 0, 256, 32, floodAndPc, 32, 33},
        {"the same with 60 KB message ids", 60 * 1024, 256, 32, floodAndPc, 32, 33},
        // The bound for all senders, just above one share, still holds the PC.
        {"a bound for all senders a little above one sender's share", 0, 40, 32, floodAndPc, 32,
         33},
        {"a smaller share",
         0,
         256,
         2,
         {"F0/G@10.0.0.66", "F1/G@10.0.0.66", "PC/ESCRITORIO@10.0.0.11"},
         2,
         3},
    };
    for (const auto& c : cases) {
        WsdTiming timing{{{0ms, 50ms}, 100ms}, 200ms, 8};
        timing.maxDevices = c.maxDevices;
        timing.perSender = c.perSender;
        const Outcome run = Discover(FloodBesidePc(c.idPadding), timing);
        EXPECT_EQ(run.found, c.found) << c.what;
        EXPECT_EQ(run.probes, 2) << c.what;
        EXPECT_EQ(run.resolves, c.resolves) << c.what;
        EXPECT_EQ(run.gets, c.gets) << c.what;
    }
}

TEST(SeenMessages, RemembersABoundedNumberOfIdsOfAnyLength) {
    const std::string huge(60 * 1024, 'x');
    const struct {
        const char* what;
        std::size_t capacity;
        std::vector<std::string> ids;
        // What each Insert returns.
        std::vector<bool> fresh;
        std::size_t size;
    } cases[] = {
        {"a repeat is seen", 4, {"a", "b", "a", "b"}, {true, true, false, false}, 2},
        {"ids differing only at their end",
         4,
         {huge + "1", huge + "2", huge + "1"},
         {true, true, false},
         2},
        {"the oldest is forgotten first",
         2,
         {"a", "b", "c", "b", "a"},
         {true, true, true, false, true},
         2},
        {"an empty id", 2, {"", ""}, {true, false}, 1},
    };
    for (const auto& c : cases) {
        SeenMessages seen(c.capacity);
        std::vector<bool> fresh;
        for (const std::string& id : c.ids) {
            fresh.push_back(seen.Insert(id));
        }
        EXPECT_EQ(fresh, c.fresh) << c.what;
        EXPECT_EQ(seen.size(), c.size) << c.what;
    }
    // Ten thousand 60 KB ids leave the table at its bound: it holds digests,
    // not the ids, whose 600 MB would not fit.
    SeenMessages seen(4096);
    std::string id = huge;
    for (int i = 0; i < 10000; ++i) {
        id.replace(0, 8, std::to_string(10000000 + i));
        EXPECT_TRUE(seen.Insert(id));
    }
    EXPECT_EQ(seen.size(), 4096u);
    EXPECT_FALSE(seen.Insert(id));
}

} // namespace
} // namespace vexor

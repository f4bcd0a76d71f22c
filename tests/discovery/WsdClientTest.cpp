// The WS-Discovery client against scripted peers behind fake seams.
#include "discovery/WsdClient.h"
#include "TestXmlReader.h"
#include "discovery/WsdMessages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace vexor {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Peer {
    std::string endpoint;
    Ipv4 address;
    bool xaddrsInProbe;
    std::string xaddr;
    // The metadata's computer text; empty: the device hosts none.
    std::string computer;
    bool metadataHangs = false;
    bool answersAnotherProbe = false;
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
           std::to_string(serial) + "</a:MessageID><a:RelatesTo>" + relatesTo +
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

class ScriptedLink : public IDatagramSocket {
  public:
    ScriptedLink(const std::vector<Peer>& peers, Counts& counts) : peers_(peers), counts_(counts) {}

    bool SendTo(std::span<const std::uint8_t> bytes, const UdpEndpoint& to, const Ipv4&) override {
        const std::string text = Text(bytes);
        EXPECT_EQ(to.port, kWsdPort);
        const std::string id = Between(text, "<wsa:MessageID>", "</wsa:MessageID>");
        const std::lock_guard lock(mutex_);
        if (text.find("discovery/Probe<") != std::string::npos) {
            ++counts_.probes;
            for (const Peer& peer : peers_) {
                const std::string relates = peer.answersAnotherProbe ? "urn:uuid:other" : id;
                for (int copy = 0; copy < 2; ++copy) {
                    queue_.push_back({Match("ProbeMatches", relates, peer, peer.xaddrsInProbe, 1),
                                      peer.address});
                }
            }
        } else if (text.find("discovery/Resolve<") != std::string::npos) {
            ++counts_.resolves;
            const std::string endpoint = Between(text, "<wsa:Address>", "</wsa:Address>");
            for (const Peer& peer : peers_) {
                if (peer.endpoint == endpoint) {
                    for (int copy = 0; copy < 2; ++copy) {
                        queue_.push_back(
                            {Match("ResolveMatches", id, peer, true, 2), peer.address});
                    }
                }
            }
        }
        return true;
    }

    std::optional<Datagram> ReceiveUntil(Clock::time_point deadline) override {
        {
            const std::lock_guard lock(mutex_);
            if (!queue_.empty()) {
                auto [text, from] = queue_.front();
                queue_.pop_front();
                return Datagram{{text.begin(), text.end()}, {from, kWsdPort}};
            }
        }
        std::this_thread::sleep_until(deadline);
        return std::nullopt;
    }

  private:
    std::vector<Peer> peers_;
    Counts& counts_;
    std::mutex mutex_;
    std::deque<std::pair<std::string, Ipv4>> queue_;
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
    std::vector<std::string> found;
    int probes = 0;
    int resolves = 0;
    int gets = 0;
    Clock::duration took{};
};

Outcome Discover(const std::vector<Peer>& peers, NameAnswerCache& learnt, const WsdTiming& timing) {
    Counts counts;
    auto link = std::make_unique<ScriptedLink>(peers, counts);
    std::atomic<int> gets{0};
    DiscoverySeams seams;
    seams.interfaces = [] { return std::vector<Ipv4>{{10, 0, 0, 100}}; };
    seams.openSocket = [&]() -> std::unique_ptr<IDatagramSocket> { return std::move(link); };
    seams.xml = testing::SystemXmlReader();
    seams.post = [&](const std::string& url, const std::string& body,
                     std::chrono::milliseconds limit, std::size_t) -> std::optional<std::string> {
        ++gets;
        EXPECT_NE(body.find("transfer/Get"), std::string::npos);
        for (const Peer& peer : peers) {
            if (peer.xaddr == url) {
                if (peer.metadataHangs) {
                    std::this_thread::sleep_for(limit);
                    return std::nullopt;
                }
                return Metadata(peer.computer);
            }
        }
        return std::nullopt;
    };
    const auto start = Clock::now();
    Outcome run;
    for (const FoundMachine& machine : DiscoverWsdComputers(seams, learnt, timing)) {
        run.found.push_back(machine.name + "/" + machine.workgroup);
    }
    run.took = Clock::now() - start;
    std::sort(run.found.begin(), run.found.end());
    run.probes = counts.probes;
    run.resolves = counts.resolves;
    run.gets = gets;
    return run;
}

TEST(WsdClient, FindsEveryComputerOnceAndLearnsItsAddress) {
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
    };
    const WsdTiming timing{100ms, 50ms, 200ms, 4, 256};
    NameAnswerCache learnt;
    const Outcome run = Discover(peers, learnt, timing);
    EXPECT_EQ(run.found,
              (std::vector<std::string>{"ATENA/ESCRITORIO", "HERMES/", "ZE\nUS/EMPRESA"}));
    EXPECT_EQ(run.probes, 1);
    // One Resolve for the one match without addresses, though it came twice.
    EXPECT_EQ(run.resolves, 1);
    // A, B, C, D and F have addresses; E answered another client's Probe.
    EXPECT_EQ(run.gets, 5);
    EXPECT_LT(run.took, 100ms + 50ms + 200ms + 150ms);
    EXPECT_EQ(learnt.Find("atena"), (std::vector<Ipv4>{{10, 0, 0, 11}}));
    EXPECT_EQ(learnt.Find("HERMES"), (std::vector<Ipv4>{{10, 0, 0, 13}}));
    EXPECT_EQ(learnt.Find("ZEUS"), (std::vector<Ipv4>{{10, 0, 0, 16}}));
    EXPECT_TRUE(learnt.Find("LENTO").empty());
}

TEST(WsdClient, AThousandDevicesAreCutAtTheBound) {
    std::vector<Peer> peers;
    for (int i = 0; i < 1000; ++i) {
        const std::string id = std::to_string(i);
        peers.push_back(
            {"urn:uuid:" + id,
             {10, 0, static_cast<std::uint8_t>(i / 250), static_cast<std::uint8_t>(i % 250 + 1)},
             true,
             "http://10.1.0.1/" + id,
             "M" + id + "/Workgroup:G"});
    }
    NameAnswerCache learnt;
    const Outcome run = Discover(peers, learnt, {100ms, 50ms, 200ms, 8, 256});
    EXPECT_EQ(run.gets, 256);
    EXPECT_EQ(run.found.size(), 256u);
    EXPECT_EQ(run.resolves, 0);
}

} // namespace
} // namespace vexor

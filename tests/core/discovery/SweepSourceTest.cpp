#include "core/discovery/SweepSource.h"
#include "core/discovery/NetbiosMessages.h"
#include "fakes/FakeDatagramSocket.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <mutex>

namespace vexor {
namespace {

using namespace std::chrono_literals;
using fakes::FakeClock;
using fakes::FakeDatagramSocket;

// One machine of the fake link, as ARP and NetBIOS see it.
struct Host {
    std::vector<std::uint8_t> mac{0x52, 0x54, 0x00, 0, 0, 1};
    // How long after a datagram reaches it the machine's ARP reply is in the table.
    std::chrono::milliseconds arp{1};
    // The node-status answer it gives to a request with that ID; nothing when
    // it answers none.
    std::function<std::vector<std::uint8_t>(std::uint16_t id)> nodeStatus;
    std::chrono::milliseconds answerDelay{2};
    // Where the answer comes from; the machine's own address when nothing.
    std::optional<Ipv4> answerFrom;
    // Nothing listens on port 137: the machine answers with a port unreachable.
    bool portClosed = false;
    // Its entry stays stale, last confirmed ten minutes ago, whatever is sent
    // (a machine slow to answer ARP, or Wine's view of one).
    bool staysStale = false;
};

// A link of fake machines behind a fake clock: a datagram to an address makes
// its neighbour entry (reachable once the machine answers ARP, incomplete
// when none is there), as the kernel does.
class FakeLink {
  public:
    FakeLink()
        : socket_(std::make_shared<FakeDatagramSocket>(
              clock, [this](const auto& sent) { return Deliver(sent); })) {}

    FakeClock clock;
    std::map<Ipv4, Host> hosts;
    std::vector<LocalInterface> interfaces;
    // Entries the table held before the sweep.
    std::vector<NeighbourEntry> before;
    bool tableReadable = true;
    // How long one read of the table takes (Wine takes about 2 ms an entry).
    std::chrono::milliseconds readCost{0};

    DiscoverySeams Seams() {
        DiscoverySeams seams;
        seams.openSocket = [socket = socket_]() -> std::unique_ptr<IDatagramSocket> {
            return std::make_unique<Borrowed>(*socket);
        };
        seams.clock = &clock;
        return seams;
    }
    NeighbourSeams Neighbours() {
        return {[this] { return interfaces; },
                [this]() -> std::optional<std::vector<NeighbourEntry>> {
                    ++reads;
                    clock.Advance(readCost);
                    if (!tableReadable) {
                        return std::nullopt;
                    }
                    return Table();
                }};
    }
    std::vector<FakeDatagramSocket::Sent> sent() const { return socket_->sent(); }
    FakeDatagramSocket& socket() { return *socket_; }
    int reads = 0;

  private:
    class Borrowed : public IDatagramSocket {
      public:
        explicit Borrowed(IDatagramSocket& link) : link_(link) {}
        bool SendTo(std::span<const std::uint8_t> b, const UdpEndpoint& to,
                    const Ipv4& via) override {
            return link_.SendTo(b, to, via);
        }
        std::optional<Datagram> ReceiveUntil(SteadyTime deadline) override {
            return link_.ReceiveUntil(deadline);
        }

      private:
        IDatagramSocket& link_;
    };

    std::vector<FakeDatagramSocket::Delayed> Deliver(const FakeDatagramSocket::Sent& sent) {
        const std::lock_guard lock(mutex_);
        const auto host = hosts.find(sent.to.address);
        if (!firstSend_.contains(sent.to.address)) {
            firstSend_[sent.to.address] = sent.at;
        }
        if (host != hosts.end() && host->second.portClosed) {
            return {{host->second.answerDelay, {{}, sent.to, true}}};
        }
        if (host == hosts.end() || !host->second.nodeStatus || sent.to.port != netbios::kPort ||
            sent.bytes.size() < 2) {
            return {};
        }
        const auto id = static_cast<std::uint16_t>(sent.bytes[0] << 8 | sent.bytes[1]);
        return {{host->second.answerDelay,
                 {host->second.nodeStatus(id),
                  {host->second.answerFrom.value_or(sent.to.address), netbios::kPort}}}};
    }

    std::vector<NeighbourEntry> Table() {
        const std::lock_guard lock(mutex_);
        std::vector<NeighbourEntry> table = before;
        const SteadyTime now = clock.Now();
        for (const auto& [address, at] : firstSend_) {
            const auto host = hosts.find(address);
            if (host != hosts.end() && host->second.staysStale) {
                table.push_back({address, 2, NeighbourState::Stale, host->second.mac, 600s});
            } else if (host != hosts.end() && at + host->second.arp <= now) {
                table.push_back({address, 2, NeighbourState::Reachable, host->second.mac, 0ms});
            } else {
                table.push_back({address, 2, NeighbourState::Incomplete, {}, std::nullopt});
            }
        }
        return table;
    }

    std::mutex mutex_;
    std::map<Ipv4, SteadyTime> firstSend_;
    std::shared_ptr<FakeDatagramSocket> socket_;
};

LocalInterface Lan(Ipv4 address = {192, 168, 7, 10}, std::uint8_t prefix = 24) {
    LocalInterface local;
    local.name = "eth0";
    local.index = 2;
    local.address = address;
    local.prefixLength = prefix;
    local.up = local.carrier = local.broadcast = true;
    return local;
}

std::function<std::vector<std::uint8_t>(std::uint16_t)>
Answers(std::vector<netbios::NodeName> names) {
    return [names](std::uint16_t id) { return netbios::NodeStatusResponse(id, names); };
}

netbios::NodeName Unique(std::string oem) {
    return {std::move(oem), 0x00, false, 0x0400};
}
netbios::NodeName Group(std::string oem) {
    return {std::move(oem), 0x00, true, 0x8400};
}

struct Report {
    FoundMachine machine;
    SteadyTime at;
};

struct Outcome {
    std::vector<Report> reports;
    SteadyTime start;
    SteadyTime returned;

    // The last report of each address, as "name/workgroup".
    std::map<Ipv4, std::string> Last() const {
        std::map<Ipv4, std::string> last;
        for (const auto& report : reports) {
            last[report.machine.address] = report.machine.name + "/" + report.machine.workgroup;
        }
        return last;
    }
};

Outcome Sweep(FakeLink& link, std::chrono::milliseconds deadline = 1500ms,
              std::shared_ptr<const AnnouncedAddresses> announced = nullptr) {
    SweepSource source(link.Seams(), link.Neighbours(), Cp850(), SweepTiming{},
                       std::move(announced));
    Outcome outcome;
    outcome.start = link.clock.Now();
    source.Find(
        [&](FoundMachine machine) {
            EXPECT_EQ(machine.source, MachineSource::Sweep);
            outcome.reports.push_back({std::move(machine), link.clock.Now()});
        },
        outcome.start + deadline);
    outcome.returned = link.clock.Now();
    return outcome;
}

TEST(SweepSource, ReportsEveryLiveMachineOfTheSubnetWithItsNodeStatusName) {
    FakeLink link;
    link.interfaces = {Lan()};
    // RECEPÇÃO as nmbd sends it in CP850.
    link.hosts[{192, 168, 7, 20}].nodeStatus = Answers(
        {Group("ESCRITORIO"), Unique("RECEP\x80\xC7O"), {"RECEP\x80\xC7O", 0x20, false, 0}});
    link.hosts[{192, 168, 7, 21}] = {};                                     // silent: ARP only
    link.hosts[{192, 168, 7, 22}].nodeStatus = Answers({Group("SOGRUPO")}); // no unique name
    link.hosts[{192, 168, 7, 254}].nodeStatus = Answers({Unique("ROTEADOR")});
    link.hosts[{192, 168, 7, 1}].arp = 40ms; // slow to ARP
    // A machine that left: its entry went stale ten minutes ago.
    link.before.push_back(
        {{192, 168, 7, 99}, 2, NeighbourState::Stale, {0x52, 0x54, 0, 0, 0, 99}, 600s});
    // A neighbour confirmed a moment ago, on the link already.
    link.before.push_back(
        {{192, 168, 7, 98}, 2, NeighbourState::Stale, {0x52, 0x54, 0, 0, 0, 98}, 5s});

    const Outcome outcome = Sweep(link);

    const std::map<Ipv4, std::string> expected{
        {{192, 168, 7, 1}, "/"},  {{192, 168, 7, 20}, "RECEPÇÃO/ESCRITORIO"},
        {{192, 168, 7, 21}, "/"}, {{192, 168, 7, 22}, "/SOGRUPO"},
        {{192, 168, 7, 98}, "/"}, {{192, 168, 7, 254}, "ROTEADOR/"},
    };
    EXPECT_EQ(outcome.Last(), expected);
    // Each address at most twice: found, then named.
    std::map<Ipv4, int> times;
    for (const auto& report : outcome.reports) {
        ++times[report.machine.address];
    }
    for (const auto& [address, count] : times) {
        EXPECT_LE(count, 2) << int(address[3]);
    }
    // Found soon after the sweep began, not at its end.
    for (const auto& report : outcome.reports) {
        if (report.machine.address == Ipv4{192, 168, 7, 21}) {
            EXPECT_LE(report.at - outcome.start, 50ms);
        }
    }
    EXPECT_LE(outcome.returned, outcome.start + 1500ms);
    // It ends once every question is answered or given up, well before the deadline.
    EXPECT_LE(outcome.returned - outcome.start, 500ms);
}

TEST(SweepSource, SendsOneNodeStatusRequestToEachAddressPacedAndNothingElse) {
    FakeLink link;
    link.interfaces = {Lan({10, 40, 3, 9}, 16)};
    const Outcome outcome = Sweep(link);
    const auto sent = link.sent();
    std::map<Ipv4, int> perAddress;
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].to.port, netbios::kPort);
        EXPECT_EQ(sent[i].to.address[0], 10);
        EXPECT_EQ(sent[i].to.address[1], 40);
        EXPECT_TRUE(sent[i].to.address[2] == 2 || sent[i].to.address[2] == 3);
        EXPECT_NE(sent[i].to.address, (Ipv4{10, 40, 3, 9}));
        ++perAddress[sent[i].to.address];
        // Never more than 64 in any 10 ms.
        if (i >= 64) {
            EXPECT_GE(sent[i].at - sent[i - 64].at, 10ms) << i;
        }
        // Each is a node-status request: the wildcard name, type NBSTAT.
        const auto message = dns::Read(sent[i].bytes, {std::nullopt, false});
        ASSERT_TRUE(message);
        ASSERT_EQ(message->questions.size(), 1u);
        EXPECT_EQ(message->questions[0].type, dns::kTypeNbstat);
    }
    // The /16 is swept as the /23 that holds the machine: 511 addresses, each
    // asked twice as nobody answers.
    EXPECT_EQ(perAddress.size(), 511u);
    for (const auto& [address, count] : perAddress) {
        EXPECT_EQ(count, 2);
    }
    EXPECT_TRUE(outcome.reports.empty());
}

TEST(SweepSource, HostileOrBrokenAnswersGiveNoName) {
    const std::vector<std::uint8_t> wellFormed = netbios::NodeStatusResponse(1, {Unique("BOA")});
    const struct {
        const char* what;
        std::function<std::vector<std::uint8_t>(std::uint16_t)> answer;
        std::string expected;
    } cases[] = {
        {"truncated",
         [](std::uint16_t id) {
             auto bytes = netbios::NodeStatusResponse(id, {Unique("CORTADO")});
             bytes.resize(bytes.size() - 60);
             return bytes;
         },
         "/"},
        {"a name count beyond the datagram",
         [](std::uint16_t id) {
             auto bytes = netbios::NodeStatusResponse(id, {Unique("CONTA")});
             // The count byte follows the question-less header, the name and
             // type, class, TTL and length fields.
             const std::size_t count = bytes.size() - 46 - 18 - 1;
             bytes[count] = 200;
             return bytes;
         },
         "CONTA/"},
        {"another transaction ID",
         [](std::uint16_t id) {
             return netbios::NodeStatusResponse(static_cast<std::uint16_t>(id + 1),
                                                {Unique("OUTRO")});
         },
         "/"},
        {"control characters kept for the merge to clean", Answers({Unique("MA\x01QUINA")}),
         "MA\x01QUINA/"},
        {"nothing but garbage", [](std::uint16_t) { return std::vector<std::uint8_t>(7, 0xFF); },
         "/"},
        {"an empty datagram", [](std::uint16_t) { return std::vector<std::uint8_t>{}; }, "/"},
    };
    for (const auto& c : cases) {
        FakeLink link;
        link.interfaces = {Lan({192, 168, 7, 10}, 30)};
        link.hosts[{192, 168, 7, 9}].nodeStatus = c.answer;
        const std::map<Ipv4, std::string> expected{{{192, 168, 7, 9}, c.expected}};
        EXPECT_EQ(Sweep(link).Last(), expected) << c.what;
    }
}

TEST(SweepSource, AnAnswerFromAnotherAddressNamesNothing) {
    FakeLink link;
    link.interfaces = {Lan({192, 168, 7, 10}, 30)};
    // Another machine answers for this one, with its request's ID.
    link.hosts[{192, 168, 7, 9}].nodeStatus = Answers({Unique("INTRUSO")});
    link.hosts[{192, 168, 7, 9}].answerFrom = Ipv4{192, 168, 7, 50};
    const std::map<Ipv4, std::string> expected{{{192, 168, 7, 9}, "/"}};
    EXPECT_EQ(Sweep(link).Last(), expected);
}

TEST(SweepSource, NothingToSweepOrNoTableToRead) {
    {
        FakeLink link;
        link.interfaces = {Lan({8, 8, 8, 8}, 24)};
        const Outcome outcome = Sweep(link);
        EXPECT_TRUE(link.sent().empty());
        EXPECT_EQ(outcome.returned, outcome.start);
    }
    {
        FakeLink link;
        link.interfaces = {Lan({192, 168, 7, 10}, 29)};
        link.hosts[{192, 168, 7, 9}].nodeStatus = Answers({Unique("SEMTABELA")});
        link.tableReadable = false;
        EXPECT_TRUE(Sweep(link).reports.empty());
        // The sweep still went out: the table may be readable next time.
        EXPECT_FALSE(link.sent().empty());
    }
}

TEST(SweepSource, ALateMachineInTheTableBeyondThePlanIsAskedItsName) {
    FakeLink link;
    // A link-local interface: nothing is swept there, its neighbours are read.
    LocalInterface linkLocal = Lan({169, 254, 1, 1}, 16);
    linkLocal.index = 2;
    link.interfaces = {linkLocal};
    link.before.push_back(
        {{169, 254, 8, 8}, 2, NeighbourState::Reachable, {0x52, 0, 0, 0, 8, 8}, 1s});
    link.hosts[{169, 254, 8, 8}].nodeStatus = Answers({Unique("IMPRESSORA")});
    const Outcome outcome = Sweep(link);
    const std::map<Ipv4, std::string> expected{{{169, 254, 8, 8}, "IMPRESSORA/"}};
    EXPECT_EQ(outcome.Last(), expected);
    ASSERT_EQ(link.sent().size(), 1u);
}

TEST(SweepSource, ATableSlowToReadHoldsNoDatagramBackAndNothingIsReportedLate) {
    const struct {
        std::chrono::milliseconds readCost;
        std::map<Ipv4, std::string> expected;
    } cases[] = {
        {0ms, {{{192, 168, 7, 200}, "/"}}},
        {400ms, {{{192, 168, 7, 200}, "/"}}},
        // The read after the sweep ends past the refresh.
        {1000ms, {}},
    };
    for (const auto& c : cases) {
        FakeLink link;
        link.interfaces = {Lan()};
        link.hosts[{192, 168, 7, 200}] = {};
        link.readCost = c.readCost;
        const Outcome outcome = Sweep(link);
        EXPECT_EQ(outcome.Last(), c.expected) << c.readCost.count();
        for (const auto& report : outcome.reports) {
            EXPECT_LE(report.at, outcome.start + 1500ms) << c.readCost.count();
        }
        // The whole first round went out within the pacing's time, whatever
        // the table costs: 253 datagrams at 64 per 10 ms.
        const auto sent = link.sent();
        ASSERT_GE(sent.size(), 253u) << c.readCost.count();
        EXPECT_LE(sent[252].at - sent[0].at, 40ms) << c.readCost.count();
    }
}

TEST(SweepSource, AStaleEntryCountsOnlyWhenItsMachineAnsweredSomethingInThisRefresh) {
    const Ipv4 stale{192, 168, 7, 99};
    const Ipv4 linkLocal{169, 254, 9, 9};
    const struct {
        const char* what;
        bool portClosed;
        // Port unreachables that arrive 30 ms into the sweep, asked for or not.
        std::vector<UdpEndpoint> unsolicited;
        std::vector<Ipv4> announced;
        std::map<Ipv4, std::string> expected;
    } cases[] = {
        {"silent, stale for ten minutes", false, {}, {}, {}},
        {"answered its node status with a port unreachable", true, {}, {}, {{stale, "/"}}},
        {"an unreachable for a port never asked", false, {{stale, 5353}}, {}, {}},
        // Its neighbours are read, but nothing is sent to a link-local address.
        {"an unreachable for an address never asked", false, {{linkLocal, netbios::kPort}}, {}, {}},
        {"announced by another source", false, {}, {stale}, {{stale, "/"}}},
        {"another address announced", false, {}, {{192, 168, 7, 98}}, {}},
        {"a link-local neighbour announced", false, {}, {linkLocal}, {{linkLocal, "/"}}},
    };
    for (const auto& c : cases) {
        FakeLink link;
        LocalInterface local = Lan({169, 254, 1, 1}, 16);
        local.index = 2;
        link.interfaces = {Lan(), local};
        link.hosts[stale].staysStale = true;
        link.hosts[stale].portClosed = c.portClosed;
        link.before.push_back({linkLocal, 2, NeighbourState::Stale, {0x52, 0, 0, 0, 9, 9}, 600s});
        for (const UdpEndpoint& to : c.unsolicited) {
            link.socket().Deliver({{}, to, true}, 30ms);
        }
        auto announced = std::make_shared<AnnouncedAddresses>();
        for (const Ipv4& address : c.announced) {
            announced->Add(address);
        }
        EXPECT_EQ(Sweep(link, 1500ms, announced).Last(), c.expected) << c.what;
        // A port unreachable settles the question: it is not asked again.
        std::size_t toStale = 0;
        for (const auto& sent : link.sent()) {
            toStale += sent.to.address == stale ? 1 : 0;
        }
        EXPECT_EQ(toStale, c.portClosed ? 1u : 2u) << c.what;
    }
}

TEST(SweepSource, ReturnsByTheDeadline) {
    FakeLink link;
    link.interfaces = {Lan({10, 0, 0, 1}, 23)};
    link.hosts[{10, 0, 1, 200}].nodeStatus = Answers({Unique("LENTO")});
    link.hosts[{10, 0, 1, 200}].answerDelay = 900ms;
    const Outcome outcome = Sweep(link, 60ms);
    EXPECT_LE(outcome.returned, outcome.start + 60ms);
    for (const auto& report : outcome.reports) {
        EXPECT_LE(report.at, outcome.start + 60ms);
    }
}

} // namespace
} // namespace vexor

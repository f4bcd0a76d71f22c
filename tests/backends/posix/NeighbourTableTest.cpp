#include "NamespaceRunner.h"
#include "backends/posix/NetlinkNeighbours.h"
#include "backends/posix/PosixDatagram.h"
#include "backends/posix/PosixInterfaces.h"
#include "base/OemCodePage.h"
#include "core/discovery/SweepPlan.h"
#include "core/discovery/SweepSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace vexor {
namespace {

using namespace std::chrono_literals;

constexpr uid_t kNobody = 65534;

std::string NamespaceName() {
    const char* prefix = std::getenv("VEXOR_NETNS_PREFIX");
    return std::string(prefix != nullptr && *prefix != '\0' ? prefix : "vx") + "-neigh" +
           std::to_string(getpid());
}

std::string Text(const Ipv4& a) {
    return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
           std::to_string(a[3]);
}

// In the test's own namespace: eth0 (10.77.0.1/24) on a veth whose other end,
// in a second namespace of the test's, holds 10.77.0.2 and 10.77.0.3; and a
// bridge named like Docker's with a veth enslaved to it.
std::string NetworkSetUp(const std::string& peer) {
    return "ip netns add " + peer + " && ip link add eth0 type veth peer name eth1 netns " + peer +
           " && ip addr add 10.77.0.1/24 dev eth0 && ip link set eth0 up"
           " && ip -n " +
           peer + " link set lo up && ip -n " + peer + " addr add 10.77.0.2/24 dev eth1 && ip -n " +
           peer + " addr add 10.77.0.3/24 dev eth1 && ip -n " + peer + " link set eth1 up" +
           " && ip link add br-teste type bridge && ip link add veth7 type veth peer name veth8"
           " && ip link set veth7 master br-teste && ip addr add 172.18.0.1/16 dev br-teste"
           " && ip link set br-teste up && ip link set veth7 up && ip link set veth8 up"
           // The link's carrier comes up a moment after the interface.
           " && for i in $(seq 50); do ip link show eth0 | grep -q LOWER_UP && break; sleep 0.1;"
           " done";
}

// Run as an unprivileged user: the interfaces as read, then one datagram to
// four addresses of eth0's subnet (two live), then the table once the two
// live ones resolved (bounded), then what the sweep source reports.
std::string Probe() {
    if (setgid(kNobody) != 0 || setuid(kNobody) != 0) {
        return "could not drop privileges";
    }
    std::ostringstream out;
    std::uint32_t eth0 = 0;
    for (const auto& local : LocalInterfaces()) {
        if (local.name == "eth0") {
            eth0 = local.index;
        }
        if (local.name == "eth0" || local.name == "br-teste") {
            out << local.name << " " << Text(local.address) << "/" << int(local.prefixLength)
                << (local.up ? " up" : "") << (local.carrier ? " carrier" : "")
                << (local.broadcast ? " broadcast" : "") << (local.noArp ? " noarp" : "")
                << (local.loopback ? " loopback" : "")
                << (IsSweptInterface(local) ? " swept" : " not-swept") << "\n";
        }
    }
    // The master of an enslaved veth, which has no address of its own.
    const auto socket = OpenPosixDatagramSocket();
    const std::vector<std::uint8_t> datagram{0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0};
    for (std::uint8_t last : {2, 3, 4, 5}) {
        socket->SendTo(datagram, {{10, 77, 0, last}, 137}, {});
    }
    std::vector<NeighbourEntry> table;
    for (int tries = 0; tries < 100; ++tries) {
        table = ReadNetlinkNeighbours().value_or(std::vector<NeighbourEntry>{});
        int reachable = 0;
        for (const auto& entry : table) {
            reachable += entry.state == NeighbourState::Reachable ? 1 : 0;
        }
        if (reachable >= 2) {
            break;
        }
        std::this_thread::sleep_for(20ms);
    }
    for (const auto& entry : table) {
        const bool linked =
            entry.linkAddress.size() == 6 && entry.linkAddress != std::vector<std::uint8_t>(6, 0);
        out << Text(entry.address) << (entry.interfaceIndex == eth0 ? " eth0" : " other")
            << (entry.state == NeighbourState::Reachable    ? " reachable"
                : entry.state == NeighbourState::Incomplete ? " incomplete"
                                                            : " other-state")
            << (linked ? " linked" : "")
            << (entry.confirmedAgo && *entry.confirmedAgo < 10s ? " recent" : "") << "\n";
    }
    const auto plan = PlanSweep(LocalInterfaces(), table);
    out << "planned " << plan.targets.size() << "\nlive";
    // In address order: the kernel lists its entries in its hash's order.
    auto live = LiveNeighbours(table, plan, {});
    std::sort(live.begin(), live.end());
    for (const auto& address : live) {
        out << " " << Text(address);
    }
    out << "\nswept";
    SweepSource source({MulticastInterfaces, OpenPosixDatagramSocket, {}, {}, {}},
                       {LocalInterfaces, ReadNetlinkNeighbours}, Cp850());
    std::mutex mutex;
    std::vector<std::string> found;
    source.Find(
        [&](FoundMachine machine) {
            const std::lock_guard lock(mutex);
            found.push_back(Text(machine.address) +
                            (machine.name.empty() ? "" : "=" + machine.name));
        },
        std::chrono::steady_clock::now() + 1500ms);
    std::sort(found.begin(), found.end());
    for (const auto& machine : found) {
        out << " " << machine;
    }
    return out.str() + "\n";
}

TEST(NetlinkNeighbours, AnUnprivilegedDatagramFillsTheTableWithTheLiveMachinesOfTheLink) {
    const std::string peer = NamespaceName();
    const auto output = testing::RunInNetworkNamespace(NetworkSetUp(peer), Probe);
    // The peer namespace is the test's own: it goes whatever the outcome.
    const bool deleted = std::system(("ip netns del " + peer + " 2>/dev/null").c_str()) == 0;
    if (!output) {
        GTEST_SKIP() << "network namespaces are not permitted here; run as root";
    }
    EXPECT_TRUE(deleted) << peer;
    std::istringstream lines(*output);
    std::set<std::string> seen;
    for (std::string line; std::getline(lines, line);) {
        seen.insert(line);
    }
    for (const char* expected : {
             "eth0 10.77.0.1/24 up carrier broadcast swept",
             "br-teste 172.18.0.1/16 up carrier broadcast not-swept",
             "10.77.0.2 eth0 reachable linked recent",
             "10.77.0.3 eth0 reachable linked recent",
             "10.77.0.4 eth0 incomplete",
             "10.77.0.5 eth0 incomplete",
             // Every other address of the /24, two of them in the table already.
             "planned 253",
             "live 10.77.0.2 10.77.0.3",
             "swept 10.77.0.2 10.77.0.3",
         }) {
        EXPECT_TRUE(seen.contains(expected)) << expected << "\nin:\n" << *output;
    }
}

// In the test's own namespace: eth0 (10.78.0.1/24) on a veth whose other end,
// in a second namespace of the test's, holds 10.78.0.2, where nothing listens.
// The table holds two stale entries last confirmed minutes ago (a new entry's
// confirmation lies twice the base reachable time back): 10.78.0.2's, with its
// real link-layer address, and 10.78.0.9's, a machine that has left.
std::string StaleSetUp(const std::string& peer) {
    return "ip netns add " + peer + " && ip link add eth0 type veth peer name eth1 netns " + peer +
           " && ip addr add 10.78.0.1/24 dev eth0 && ip link set eth0 up && ip -n " + peer +
           " link set lo up && ip -n " + peer + " addr add 10.78.0.2/24 dev eth1 && ip -n " + peer +
           " link set eth1 up" +
           " && for i in $(seq 50); do ip link show eth0 | grep -q LOWER_UP && break; sleep 0.1;"
           " done && sysctl -qw net.ipv4.neigh.eth0.base_reachable_time_ms=300000"
           " && ip neigh add 10.78.0.2 dev eth0 nud stale lladdr $(ip -n " +
           peer +
           " link show eth1 | awk '/link\\/ether/ { print $2 }')"
           " && ip neigh add 10.78.0.9 dev eth0 nud stale lladdr 52:54:00:00:00:09"
           " && sysctl -qw net.ipv4.neigh.eth0.base_reachable_time_ms=30000";
}

// Run as an unprivileged user: the sweep's reports, then the two entries as
// the sweep last saw them.
std::string StaleProbe() {
    if (setgid(kNobody) != 0 || setuid(kNobody) != 0) {
        return "could not drop privileges";
    }
    std::ostringstream out;
    SweepSource source({MulticastInterfaces, OpenPosixDatagramSocket, {}, {}, {}},
                       {LocalInterfaces, ReadNetlinkNeighbours}, Cp850());
    std::mutex mutex;
    std::set<std::string> found;
    source.Find(
        [&](FoundMachine machine) {
            const std::lock_guard lock(mutex);
            found.insert(Text(machine.address));
        },
        std::chrono::steady_clock::now() + 1500ms);
    out << "swept";
    for (const auto& machine : found) {
        out << " " << machine;
    }
    out << "\n";
    // In address order: the kernel lists its entries in its hash's order.
    std::set<std::string> unconfirmed;
    for (const auto& entry : ReadNetlinkNeighbours().value_or(std::vector<NeighbourEntry>{})) {
        if (!entry.linkAddress.empty() && entry.state != NeighbourState::Reachable &&
            entry.confirmedAgo && *entry.confirmedAgo > 60s) {
            unconfirmed.insert(Text(entry.address));
        }
    }
    for (const auto& address : unconfirmed) {
        out << address << " unconfirmed\n";
    }
    return out.str();
}

TEST(NetlinkNeighbours, AStaleMachineThatAnswersWithAPortUnreachableIsListedAndADepartedOneIsNot) {
    const std::string peer = NamespaceName();
    const auto output = testing::RunInNetworkNamespace(StaleSetUp(peer), StaleProbe);
    const bool deleted = std::system(("ip netns del " + peer + " 2>/dev/null").c_str()) == 0;
    if (!output) {
        GTEST_SKIP() << "network namespaces are not permitted here; run as root";
    }
    EXPECT_TRUE(deleted) << peer;
    // Still unconfirmed when the sweep ended: only its port unreachable made
    // 10.78.0.2 count.
    EXPECT_EQ(*output, "swept 10.78.0.2\n10.78.0.2 unconfirmed\n10.78.0.9 unconfirmed\n")
        << *output;
}

TEST(NetlinkNeighbours, ReadsOnlyWholeMessagesOfADump) {
    std::vector<std::uint8_t> garbage(64, 0xFF);
    std::vector<NeighbourEntry> entries;
    EXPECT_TRUE(ReadNeighbourMessages(garbage, 100, 10, entries));
    EXPECT_TRUE(entries.empty());
    EXPECT_FALSE(ReadNeighbourMessages({}, 100, 10, entries));
}

} // namespace
} // namespace vexor

#include "core/discovery/SweepPlan.h"

#include <gtest/gtest.h>

#include <string>

namespace vexor {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

LocalInterface Link(std::string name, std::uint32_t index, Ipv4 address, std::uint8_t prefix) {
    LocalInterface local;
    local.name = std::move(name);
    local.index = index;
    local.address = address;
    local.prefixLength = prefix;
    local.up = local.carrier = local.broadcast = true;
    return local;
}

template <typename Change> LocalInterface With(LocalInterface local, Change change) {
    change(local);
    return local;
}

LocalInterface Windows(std::uint32_t ifType, std::string description) {
    LocalInterface local = Link("Ethernet", 3, {192, 168, 1, 5}, 24);
    local.ifType = ifType;
    local.description = std::move(description);
    return local;
}

TEST(SweepPlan, SweepsOnlyPrivateBroadcastLinksTheSystemDidNotMakeForGuests) {
    const Ipv4 home{192, 168, 1, 5};
    const struct {
        const char* what;
        LocalInterface local;
        bool swept;
        bool readOnly;
    } cases[] = {
        {"an ordinary Ethernet link", Link("eth0", 2, home, 24), true, false},
        {"10/8", Link("eth0", 2, {10, 1, 2, 3}, 8), true, false},
        {"172.16/12, low end", Link("eth0", 2, {172, 16, 0, 9}, 24), true, false},
        {"172.16/12, high end", Link("eth0", 2, {172, 31, 255, 9}, 24), true, false},
        {"172.32 is public", Link("eth0", 2, {172, 32, 0, 9}, 24), false, false},
        {"172.15 is public", Link("eth0", 2, {172, 15, 0, 9}, 24), false, false},
        {"192.169 is public", Link("eth0", 2, {192, 169, 1, 5}, 24), false, false},
        {"a public address", Link("eth0", 2, {8, 8, 8, 8}, 24), false, false},
        {"link-local: read, never swept", Link("eth0", 2, {169, 254, 7, 7}, 16), false, true},
        {"down", With(Link("eth0", 2, home, 24), [](auto& l) { l.up = false; }), false, false},
        {"no carrier", With(Link("eth0", 2, home, 24), [](auto& l) { l.carrier = false; }), false,
         false},
        {"no broadcast", With(Link("eth0", 2, home, 24), [](auto& l) { l.broadcast = false; }),
         false, false},
        {"no ARP", With(Link("eth0", 2, home, 24), [](auto& l) { l.noArp = true; }), false, false},
        {"no ARP, link-local",
         With(Link("eth0", 2, {169, 254, 1, 1}, 16), [](auto& l) { l.noArp = true; }), false,
         false},
        {"point-to-point", With(Link("tun0", 2, home, 24), [](auto& l) { l.pointToPoint = true; }),
         false, false},
        {"loopback", With(Link("lo", 1, {127, 0, 0, 1}, 8), [](auto& l) { l.loopback = true; }),
         false, false},
        {"loopback with a private address",
         With(Link("lo", 1, {10, 9, 9, 9}, 8), [](auto& l) { l.loopback = true; }), false, false},
        {"docker's bridge", Link("docker0", 4, {172, 17, 0, 1}, 16), false, false},
        {"a compose network's bridge", Link("br-3f2a9c", 5, {172, 18, 0, 1}, 16), false, false},
        {"libvirt's bridge", Link("virbr0", 6, {192, 168, 122, 1}, 24), false, false},
        {"LXC's bridge", Link("lxcbr0", 6, {10, 0, 3, 1}, 24), false, false},
        {"LXD's bridge", Link("lxdbr0", 6, {10, 0, 4, 1}, 24), false, false},
        {"a CNI bridge", Link("cni0", 6, {10, 88, 0, 1}, 16), false, false},
        {"flannel", Link("flannel.1", 6, {10, 244, 0, 0}, 24), false, false},
        {"podman", Link("podman0", 6, {10, 88, 0, 1}, 16), false, false},
        {"VMware's host link", Link("vmnet8", 6, {192, 168, 80, 1}, 24), false, false},
        {"VirtualBox's host-only link", Link("vboxnet0", 6, {192, 168, 56, 1}, 24), false, false},
        {"a veth enslaved to docker's bridge",
         With(Link("veth1a2b", 7, {172, 17, 0, 5}, 16), [](auto& l) { l.master = "docker0"; }),
         false, false},
        {"a veth enslaved to a user's own bridge",
         With(Link("veth1a2b", 7, home, 24), [](auto& l) { l.master = "br0"; }), true, false},
        {"a veth of its own (a namespace's link)", Link("veth0", 7, home, 24), true, false},
        {"a user's own bridge", Link("br0", 8, home, 24), true, false},
        {"Wi-Fi", Link("wlp2s0", 3, {10, 20, 30, 40}, 22), true, false},
        {"a /31", Link("eth0", 2, {10, 0, 0, 0}, 31), true, false},
        {"a /32 has no neighbour", Link("eth0", 2, {10, 0, 0, 1}, 32), false, false},
        {"Windows Ethernet", Windows(6, "Intel(R) Ethernet Connection I219-V"), true, false},
        {"Windows Wi-Fi", Windows(71, "Intel(R) Wi-Fi 6 AX201 160MHz"), true, false},
        {"Windows PPP", Windows(23, "WAN Miniport (PPP)"), false, false},
        {"Windows tunnel", Windows(131, "Microsoft Teredo Tunneling Adapter"), false, false},
        {"Windows loopback type", Windows(24, "Software Loopback Interface 1"), false, false},
        {"Hyper-V's virtual switch", Windows(6, "Hyper-V Virtual Ethernet Adapter #2"), false,
         false},
        {"Hyper-V, other case", Windows(6, "hyper-v virtual ethernet adapter"), false, false},
        {"VirtualBox host-only on Windows", Windows(6, "VirtualBox Host-Only Ethernet Adapter"),
         false, false},
        {"VMware on Windows", Windows(6, "VMware Virtual Ethernet Adapter for VMnet8"), false,
         false},
        {"a Windows adapter named like a Linux bridge is judged as Windows",
         With(Windows(6, "Realtek PCIe GbE Family Controller"),
              [](auto& l) { l.name = "docker0"; }),
         true, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsSweptInterface(c.local), c.swept) << c.what;
        EXPECT_EQ(IsReadOnlyInterface(c.local), c.readOnly) << c.what;
    }
}

std::vector<NeighbourEntry> Known(const std::vector<Ipv4>& addresses) {
    std::vector<NeighbourEntry> table;
    for (const auto& address : addresses) {
        table.push_back({address, 2, NeighbourState::Stale, {0, 1, 2, 3, 4, 5}, std::nullopt});
    }
    return table;
}

std::string Text(const Ipv4& a) {
    return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
           std::to_string(a[3]);
}

// The targets as "first..last (count)" runs of consecutive addresses.
std::vector<std::string> Runs(const std::vector<Ipv4>& targets) {
    std::vector<std::string> runs;
    const auto number = [](const Ipv4& a) {
        return std::uint32_t{a[0]} << 24 | std::uint32_t{a[1]} << 16 | std::uint32_t{a[2]} << 8 |
               a[3];
    };
    std::size_t start = 0;
    for (std::size_t i = 1; i <= targets.size(); ++i) {
        if (i == targets.size() || number(targets[i]) != number(targets[i - 1]) + 1) {
            if (!targets.empty()) {
                runs.push_back(Text(targets[start]) + ".." + Text(targets[i - 1]) + " (" +
                               std::to_string(i - start) + ")");
            }
            start = i;
        }
    }
    return runs;
}

TEST(SweepPlan, SendsToEveryHostAddressOfTheSubnetsWithinTheLimit) {
    const LocalInterface lan = Link("eth0", 2, {192, 168, 1, 5}, 24);
    std::vector<Ipv4> many;
    for (int i = 0; i < 512; ++i) {
        many.push_back(
            {10, 9, static_cast<std::uint8_t>(i / 250), static_cast<std::uint8_t>(i % 250)});
    }
    const struct {
        const char* what;
        std::vector<LocalInterface> interfaces;
        std::vector<NeighbourEntry> table;
        std::size_t limit;
        std::vector<std::string> runs;
    } cases[] = {
        {"a /24 without network, broadcast and own address",
         {lan},
         {},
         512,
         {"192.168.1.1..192.168.1.4 (4)", "192.168.1.6..192.168.1.254 (249)"}},
        {"a /30", {Link("eth0", 2, {10, 0, 0, 1}, 30)}, {}, 512, {"10.0.0.2..10.0.0.2 (1)"}},
        {"a /31 has no network or broadcast address",
         {Link("eth0", 2, {10, 0, 0, 1}, 31)},
         {},
         512,
         {"10.0.0.0..10.0.0.0 (1)"}},
        {"a /23 whole",
         {Link("eth0", 2, {10, 1, 3, 7}, 23)},
         {},
         512,
         {"10.1.2.1..10.1.3.6 (262)", "10.1.3.8..10.1.3.254 (247)"}},
        {"a /16 as the aligned /23 holding the machine; no network or broadcast inside it",
         {Link("eth0", 2, {172, 20, 7, 9}, 16)},
         {},
         512,
         {"172.20.6.0..172.20.7.8 (265)", "172.20.7.10..172.20.7.255 (246)"}},
        {"a /8 swept at its start keeps the network address out",
         {Link("eth0", 2, {10, 0, 1, 1}, 8)},
         {},
         512,
         {"10.0.0.1..10.0.1.0 (256)", "10.0.1.2..10.0.1.255 (254)"}},
        {"the machine's other addresses on the subnet are left out",
         {lan, Link("eth0", 2, {192, 168, 1, 200}, 24)},
         {},
         512,
         {"192.168.1.1..192.168.1.4 (4)", "192.168.1.6..192.168.1.199 (194)",
          "192.168.1.201..192.168.1.254 (54)"}},
        {"two interfaces share the limit in the system's order",
         {Link("eth0", 2, {10, 0, 0, 1}, 24), Link("eth1", 3, {10, 0, 1, 1}, 24)},
         {},
         300,
         {"10.0.0.2..10.0.0.254 (253)", "10.0.1.2..10.0.1.48 (47)"}},
        {"entries the table holds cost nothing, the table's size comes off the limit",
         {lan},
         Known({{192, 168, 1, 100}, {192, 168, 1, 101}, {10, 7, 7, 7}}),
         13,
         {"192.168.1.1..192.168.1.4 (4)", "192.168.1.6..192.168.1.11 (6)",
          "192.168.1.100..192.168.1.101 (2)"}},
        {"a full table leaves no room for new addresses, only the known ones",
         {lan},
         [&] {
             auto table = Known(many);
             table.push_back(Known({{192, 168, 1, 77}}).front());
             return table;
         }(),
         512,
         {"192.168.1.77..192.168.1.77 (1)"}},
        {"a subnet on two interfaces is swept once",
         {lan, Link("eth1", 3, {192, 168, 1, 6}, 24)},
         {},
         512,
         {"192.168.1.1..192.168.1.4 (4)", "192.168.1.7..192.168.1.254 (248)"}},
        {"nothing to a guest bridge, a public or a link-local subnet",
         {Link("docker0", 4, {172, 17, 0, 1}, 16), Link("eth0", 2, {8, 8, 4, 4}, 24),
          Link("eth1", 3, {169, 254, 3, 3}, 16)},
         {},
         512,
         {}},
        {"no interface", {}, {}, 512, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Runs(PlanSweep(c.interfaces, c.table, c.limit).targets), c.runs) << c.what;
    }
}

TEST(SweepPlan, AtMostTheLimitOfNewAddressesWhateverTheSubnets) {
    std::vector<LocalInterface> interfaces;
    for (std::uint8_t i = 0; i < 8; ++i) {
        interfaces.push_back(Link("eth" + std::to_string(i), 2u + i, {10, i, 0, 1}, 8));
    }
    const auto plan = PlanSweep(interfaces, {});
    EXPECT_EQ(plan.targets.size(), kSweepNewAddressLimit);
    EXPECT_EQ(plan.subnets.size(), interfaces.size());
}

NeighbourEntry Entry(Ipv4 address, NeighbourState state, std::vector<std::uint8_t> link,
                     std::optional<milliseconds> confirmedAgo = std::nullopt,
                     std::uint32_t index = 2) {
    return {address, index, state, std::move(link), confirmedAgo};
}

TEST(SweepPlan, LiveMachinesAreTheReachableOrRecentlyConfirmedOnesOfASweptSubnet) {
    using S = NeighbourState;
    const std::vector<std::uint8_t> mac{0x52, 0x54, 0x00, 0x12, 0x34, 0x56};
    const auto plan =
        PlanSweep({Link("eth0", 2, {192, 168, 1, 5}, 24), Link("eth1", 3, {169, 254, 9, 9}, 16),
                   Link("docker0", 4, {172, 17, 0, 1}, 16)},
                  {});
    const std::set<Ipv4> answered{{192, 168, 1, 40}, {192, 168, 1, 41}};
    const struct {
        const char* what;
        NeighbourEntry entry;
        bool live;
    } cases[] = {
        {"reachable", Entry({192, 168, 1, 10}, S::Reachable, mac), true},
        {"stale, confirmed 59 s ago", Entry({192, 168, 1, 10}, S::Stale, mac, seconds(59)), true},
        {"stale, confirmed just 60 s ago", Entry({192, 168, 1, 10}, S::Stale, mac, seconds(60)),
         true},
        {"stale, confirmed 61 s ago: the machine left",
         Entry({192, 168, 1, 10}, S::Stale, mac, seconds(61)), false},
        {"stale, no time given", Entry({192, 168, 1, 10}, S::Stale, mac), false},
        {"stale but answered in this refresh", Entry({192, 168, 1, 40}, S::Stale, mac), true},
        {"delay, recently confirmed", Entry({192, 168, 1, 10}, S::Delay, mac, seconds(5)), true},
        {"probe, long ago", Entry({192, 168, 1, 10}, S::Probe, mac, seconds(300)), false},
        {"permanent, set long ago", Entry({192, 168, 1, 10}, S::Permanent, mac, seconds(9000)),
         false},
        {"permanent, answered", Entry({192, 168, 1, 41}, S::Permanent, mac, seconds(9000)), true},
        {"incomplete", Entry({192, 168, 1, 10}, S::Incomplete, {}), false},
        {"incomplete, though answered", Entry({192, 168, 1, 40}, S::Incomplete, {}), false},
        {"failed with an old address", Entry({192, 168, 1, 10}, S::Failed, mac, seconds(1)), false},
        {"no-ARP entry", Entry({192, 168, 1, 10}, S::NoArp, mac, seconds(1)), false},
        {"all-zero link address (Wine's unresolved entries)",
         Entry({192, 168, 1, 10}, S::Stale, {0, 0, 0, 0, 0, 0}, seconds(1)), false},
        {"all-zero link address, said reachable",
         Entry({192, 168, 1, 10}, S::Reachable, {0, 0, 0, 0, 0, 0}), false},
        {"broadcast link address",
         Entry({192, 168, 1, 10}, S::Reachable, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), false},
        {"multicast link address", Entry({192, 168, 1, 10}, S::Reachable, {0x01, 0, 0x5E, 0, 0, 1}),
         false},
        {"locally administered unicast link address",
         Entry({192, 168, 1, 10}, S::Reachable, {0x02, 0, 0, 0, 0, 1}), true},
        {"no link address", Entry({192, 168, 1, 10}, S::Reachable, {}), false},
        {"the subnet's broadcast address", Entry({192, 168, 1, 255}, S::Reachable, mac), false},
        {"the subnet's network address", Entry({192, 168, 1, 0}, S::Reachable, mac), false},
        {"the machine's own address", Entry({192, 168, 1, 5}, S::Reachable, mac), false},
        {"another subnet on that interface", Entry({192, 168, 2, 10}, S::Reachable, mac), false},
        {"the right subnet on another interface",
         Entry({192, 168, 1, 10}, S::Reachable, mac, std::nullopt, 3), false},
        {"a multicast address", Entry({224, 0, 0, 251}, S::Reachable, mac), false},
        {"a link-local neighbour is read",
         Entry({169, 254, 1, 2}, S::Reachable, mac, std::nullopt, 3), true},
        {"a guest bridge's neighbour", Entry({172, 17, 0, 2}, S::Reachable, mac, std::nullopt, 4),
         false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsLiveNeighbour(c.entry, plan, answered), c.live) << c.what;
    }
}

TEST(SweepPlan, ReadsATableOfTenThousandEntriesOnce) {
    using S = NeighbourState;
    const std::vector<std::uint8_t> mac{0x52, 0x54, 0x00, 0x12, 0x34, 0x56};
    const auto plan = PlanSweep({Link("eth0", 2, {10, 0, 5, 1}, 16)}, {});
    std::vector<NeighbourEntry> table;
    std::vector<Ipv4> expected;
    for (int i = 0; i < 10000; ++i) {
        const Ipv4 address{10, static_cast<std::uint8_t>(i % 3 == 0 ? 0 : 1),
                           static_cast<std::uint8_t>(i / 250),
                           static_cast<std::uint8_t>(i % 250 + 1)};
        const S state = i % 7 == 0 ? S::Reachable : i % 7 == 1 ? S::Incomplete : S::Stale;
        table.push_back(Entry(address, state,
                              state == S::Incomplete ? std::vector<std::uint8_t>{} : mac,
                              seconds(i % 5 == 0 ? 10 : 3600)));
        if (address[1] == 0 && (state == S::Reachable || (state == S::Stale && i % 5 == 0))) {
            expected.push_back(address);
        }
    }
    // The same machine twice (two entries, as after a change of interface) is one.
    table.push_back(table.front());
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(LiveNeighbours(table, plan, {}), expected);
}

} // namespace
} // namespace vexor

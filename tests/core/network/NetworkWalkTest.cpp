#include "FakeNetwork.h"
#include "FakeWindow.h"
#include "core/network/modNetwork.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vexor {
namespace {

using fakes::Domain;
using fakes::FakeListBox;
using fakes::FakeNetwork;
using fakes::FakeNode;
using fakes::Provider;
using fakes::Server;
using fakes::Share;
using Lines = std::vector<std::string>;

struct WalkCase {
    const char* name;
    std::vector<FakeNode> tree;
    Lines expected;
};

std::vector<WalkCase> WalkCases() {
    FakeNode unreachable = Server("\\\\OFFLINE", {Share("\\\\OFFLINE\\c")});
    unreachable.openFails = true;
    FakeNode unreadable = Domain("SILENT", {Server("\\\\HIDDEN")});
    unreadable.readError = net::kErrorAccessDenied;
    FakeNode shared = Server("\\\\SHARED", {Share("\\\\SHARED\\pub")});
    return {
        {"domains inside domains, several providers",
         {Provider("Rede Microsoft",
                   {Domain("GRUPO", {Server("\\\\ALFA", {Share("\\\\ALFA\\docs")}),
                                     Domain("SUB", {Server("\\\\BETA")}), Server("\\\\GAMA")})}),
          Provider("Outra Rede", {Domain("OUTRO", {Server("\\\\DELTA")})})},
         {"ALFA", "BETA", "GAMA", "DELTA"}},
        {"top-level entries are walked but never listed",
         {Server("\\\\TOPO", {Server("\\\\DENTRO")}), Domain("TOPDOM", {Server("\\\\X")})},
         {"DENTRO", "X"}},
        {"mixed display types: only servers are listed",
         {Provider("P", {Domain("D", {Share("\\\\S\\a"), Server("\\\\UM"), Share("\\\\S\\b"),
                                      Server("\\\\DOIS")})})},
         {"UM", "DOIS"}},
        {"servers beneath servers are listed after their parent",
         {Provider("P",
                   {Domain("D", {Server("\\\\PAI", {Server("\\\\FILHO")}), Server("\\\\IRMAO")})})},
         {"PAI", "FILHO", "IRMAO"}},
        {"a server reached twice is listed twice",
         {Provider("P1", {Domain("D1", {shared})}), Provider("P2", {Domain("D2", {shared})})},
         {"SHARED", "SHARED"}},
        {"a server that cannot be opened is still listed",
         {Provider("P", {Domain("D", {unreachable, Server("\\\\ONLINE")})})},
         {"OFFLINE", "ONLINE"}},
        {"a container whose read fails is passed over",
         {Provider("P", {unreadable, Domain("D", {Server("\\\\VISTO")})})},
         {"VISTO"}},
        {"backslashes removed wherever they stand",
         {Provider("P", {Domain("D", {Server("\\\\A\\B"), Server("\\\\\\\\"), Server(""),
                                      Server("SEM")})})},
         {"AB", "", "", "SEM"}},
        {"names keep their accents",
         {Provider("P", {Domain("D", {Server("\\\\ESTAÇÃO")})})},
         {"ESTAÇÃO"}},
    };
}

TEST(NetworkWalk, ListsServersDepthFirst) {
    for (const auto& c : WalkCases()) {
        FakeNetwork network(c.tree);
        FakeListBox list;
        list.AddItem("anterior");
        EXPECT_TRUE(ListNetworkMachines(network, list)) << c.name;
        Lines expected{"anterior"};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(list.lines(), expected) << c.name;
        EXPECT_EQ(network.openHandles(), 0) << c.name;
    }
}

TEST(NetworkWalk, RootOutcomes) {
    {
        FakeNetwork network({Provider("P", {Domain("D", {Server("\\\\A")})})});
        network.rootOpenFails = true;
        FakeListBox list;
        list.AddItem("mantida");
        EXPECT_FALSE(ListNetworkMachines(network, list));
        EXPECT_EQ(list.lines(), Lines{"mantida"});
        EXPECT_EQ(network.calls, Lines{"open:<root>"});
    }
    {
        FakeNetwork network({});
        FakeListBox list;
        EXPECT_TRUE(ListNetworkMachines(network, list));
        EXPECT_TRUE(list.lines().empty());
        EXPECT_EQ(network.calls, (Lines{"open:<root>", "read:<root>", "close:<root>"}));
    }
    {
        FakeNetwork network({Provider("P", {Domain("D", {Server("\\\\A")})})});
        network.rootReadError = net::kErrorNoNetwork;
        FakeListBox list;
        EXPECT_TRUE(ListNetworkMachines(network, list));
        EXPECT_TRUE(list.lines().empty());
        EXPECT_EQ(network.openHandles(), 0);
    }
}

TEST(NetworkWalk, EachServerIsOpenedAndEveryContainerClosedInOrder) {
    FakeNetwork network({Provider("P", {Domain("D", {Server("\\\\A", {Share("\\\\A\\s")})})})});
    FakeListBox list;
    EXPECT_TRUE(ListNetworkMachines(network, list));
    EXPECT_EQ(network.calls,
              (Lines{"open:<root>", "read:<root>", "open:P", "read:P", "open:D", "read:D",
                     "open:\\\\A", "read:\\\\A", "read:\\\\A", "close:\\\\A", "read:D", "close:D",
                     "read:P", "close:P", "read:<root>", "close:<root>"}));
}

TEST(NetworkWalk, ContainerLargerThanOneBufferIsReadWhole) {
    std::vector<FakeNode> servers;
    Lines expected;
    for (int i = 0; i < 2000; ++i) {
        const std::string name = "SERVIDOR" + std::to_string(i);
        servers.push_back(Server("\\\\" + name));
        expected.push_back(name);
    }
    FakeNetwork network({Provider("P", {Domain("GRANDE", servers)})});
    FakeListBox list;
    EXPECT_TRUE(ListNetworkMachines(network, list));
    EXPECT_EQ(list.lines(), expected);
    const auto reads = std::count(network.calls.begin(), network.calls.end(), "read:GRANDE");
    EXPECT_GT(reads, 2) << "the container should not fit one buffer";
    EXPECT_EQ(network.openHandles(), 0);
}

TEST(NetworkWalk, RefusedLineAbandonsTheWalkAndReleasesEveryLevel) {
    FakeNetwork network({Provider("P", {Domain("D", {Server("\\\\UM"), Server("\\\\DOIS"),
                                                     Server("\\\\TRES"), Server("\\\\QUATRO")})})});
    FakeListBox list(2);
    EXPECT_FALSE(ListNetworkMachines(network, list));
    EXPECT_EQ(list.lines(), (Lines{"UM", "DOIS"}));
    EXPECT_EQ(network.openHandles(), 0);
    EXPECT_EQ(std::count(network.calls.begin(), network.calls.end(), "open:\\\\QUATRO"), 0);
}

TEST(NetworkWalk, ContainerWithoutBufferIsPassedOver) {
    static int allocations;
    allocations = 0;
    // The third buffer (the first domain's) cannot be had.
    const EnumBufferAllocator failThird = [](std::size_t size) -> std::unique_ptr<std::byte[]> {
        return ++allocations == 3 ? nullptr : AllocateEnumBuffer(size);
    };
    FakeNetwork network({Provider(
        "P", {Domain("D1", {Server("\\\\PERDIDO")}), Domain("D2", {Server("\\\\ACHADO")})})});
    FakeListBox list;
    EXPECT_TRUE(ListNetworkMachines(network, list, failThird));
    EXPECT_EQ(list.lines(), Lines{"ACHADO"});
    EXPECT_EQ(network.openHandles(), 0);
}

} // namespace
} // namespace vexor

namespace vexor {
namespace {

// A provider whose domain never says "no more": every read hands out one more server.
class EndlessNetwork : public INetworkEnumeration {
  public:
    std::uint32_t openEnum(std::uint32_t, std::uint32_t, std::uint32_t,
                           const NetResource* container, NetEnumHandle* handle) override {
        const bool root = container == nullptr || container->lpRemoteName == nullptr;
        const std::uint32_t level = root                                               ? 0
                                    : container->dwDisplayType == net::kDisplayNetwork ? 1
                                                                                       : 2;
        if (level == 2 && container->dwDisplayType == net::kDisplayServer) {
            return net::kErrorBadNetPath;
        }
        *handle = reinterpret_cast<NetEnumHandle>(static_cast<std::uintptr_t>(level + 1));
        return net::kNoError;
    }
    std::uint32_t enumResource(NetEnumHandle handle, std::int32_t* count, void* buffer,
                               std::uint32_t* size) override {
        const auto level = reinterpret_cast<std::uintptr_t>(handle) - 1;
        if (level < 2 && given_[level]++ > 0) {
            return net::kErrorNoMoreItems;
        }
        ResourceEntry entry;
        entry.displayType = level == 0   ? net::kDisplayNetwork
                            : level == 1 ? net::kDisplayDomain
                                         : net::kDisplayServer;
        entry.remoteName = level == 2 ? "\\\\SEMFIM" : "X";
        std::size_t next = 0;
        return ReadResources({entry}, next, count, buffer, size);
    }
    std::uint32_t closeEnum(NetEnumHandle) override { return net::kNoError; }

  private:
    int given_[2] = {0, 0};
};

class CountingSink : public IItemSink {
  public:
    void AddItem(const std::string&) override { ++added; }
    std::size_t added = 0;
};

TEST(NetworkWalk, AContainerThatNeverEndsIsReadUpToTheBound) {
    EndlessNetwork network;
    CountingSink sink;
    EXPECT_TRUE(ListNetworkMachines(network, sink));
    EXPECT_EQ(sink.added, kMaxEntriesPerContainer);
}

} // namespace
} // namespace vexor

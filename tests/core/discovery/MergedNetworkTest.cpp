// The merged neighbourhood over scripted sources: what the walk reads, what a
// machine's open costs, and the refresh's one deadline.
#include "core/discovery/MergedNetwork.h"
#include "Eventually.h"
#include "FakeClock.h"
#include "core/discovery/EnumerationBrowse.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace vexor {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using fakes::Eventually;
using fakes::FakeClock;

// A source that reports its machines, then optionally blocks until released
// or throws; it counts its runs.
class ScriptedSource : public INeighbourhoodSource {
  public:
    explicit ScriptedSource(std::vector<FoundMachine> machines, bool blocks = false,
                            bool throws = false)
        : machines_(std::move(machines)), blocks_(blocks), throws_(throws) {}

    void Find(const FoundSink& found, Clock::time_point) override {
        std::unique_lock lock(mutex_);
        ++runs_;
        lock.unlock();
        for (const FoundMachine& machine : machines_) {
            found(machine);
        }
        {
            const std::lock_guard reporting(mutex_);
            ++reported_;
        }
        released_.notify_all();
        if (throws_) {
            throw std::runtime_error("a source that fails");
        }
        lock.lock();
        if (!blocks_) {
            return;
        }
        released_.wait(lock, [&] { return !blocks_; });
        lock.unlock();
        // Reported after its refresh has ended: must be dropped.
        found({MachineSource::BrowseList, "ATRASADO", "G", {10, 9, 9, 9}});
    }
    void Release() {
        {
            const std::lock_guard lock(mutex_);
            blocks_ = false;
        }
        released_.notify_all();
    }
    int runs() {
        const std::lock_guard lock(mutex_);
        return runs_;
    }
    // Waits until `runs` runs have reported all their machines; false on a hang.
    bool AwaitReported(int runs) {
        std::unique_lock lock(mutex_);
        return released_.wait_for(lock, 60s, [&] { return reported_ >= runs; });
    }

  private:
    std::vector<FoundMachine> machines_;
    std::mutex mutex_;
    std::condition_variable released_;
    bool blocks_;
    bool throws_;
    int runs_ = 0;
    int reported_ = 0;
};

struct Refresh {
    // Every machine the walk reads, as "GROUP/\\NAME=status of its open,read".
    std::vector<std::string> lines;
    // On the network's clock.
    Clock::duration took{};
};

Refresh Walk(MergedNetwork& network, const IClock& clock) {
    Refresh refresh;
    const auto start = clock.Now();
    std::vector<ResourceEntry> providers;
    EXPECT_EQ(ReadContainer(network, nullptr, providers), net::kNoError);
    refresh.took = clock.Now() - start;
    for (const auto& provider : providers) {
        NetResource providerRecord{0,
                                   0,
                                   provider.displayType,
                                   provider.usage,
                                   nullptr,
                                   const_cast<char*>(provider.remoteName->c_str()),
                                   nullptr,
                                   nullptr};
        std::vector<ResourceEntry> groups;
        ReadContainer(network, &providerRecord, groups);
        for (const auto& group : groups) {
            NetResource groupRecord{
                0,           0,       group.displayType,
                group.usage, nullptr, const_cast<char*>(group.remoteName->c_str()),
                nullptr,     nullptr};
            std::vector<ResourceEntry> servers;
            ReadContainer(network, &groupRecord, servers);
            for (const auto& server : servers) {
                NetResource serverRecord{0,
                                         0,
                                         server.displayType,
                                         server.usage,
                                         nullptr,
                                         const_cast<char*>(server.remoteName->c_str()),
                                         nullptr,
                                         nullptr};
                NetEnumHandle handle = nullptr;
                const auto opened = network.openEnum(0, 0, 0, &serverRecord, &handle);
                std::int32_t count = -1;
                std::vector<NetResource> buffer(64);
                auto size = static_cast<std::uint32_t>(buffer.size() * sizeof(NetResource));
                const auto read = opened == net::kNoError
                                      ? network.enumResource(handle, &count, buffer.data(), &size)
                                      : opened;
                network.closeEnum(handle);
                refresh.lines.push_back(group.remoteName.value() + "/" + server.remoteName.value() +
                                        "=" + std::to_string(opened) + "," + std::to_string(read));
            }
        }
    }
    return refresh;
}

// A walk on a thread of its own, so that the test can move the clock under it.
class BackgroundWalk {
  public:
    BackgroundWalk(MergedNetwork& network, FakeClock& clock)
        : clock_(clock), result_(std::async(std::launch::async,
                                            [&network, &clock] { return Walk(network, clock); })) {}
    ~BackgroundWalk() {
        if (result_.valid()) {
            Finish();
        }
    }
    bool Done() const { return result_.wait_for(0s) == std::future_status::ready; }
    // True once the refresh and `others` more threads wait on the clock at its
    // present time; false once the walk ended.
    bool Waiting(std::size_t others = 0) const {
        EXPECT_TRUE(clock_.AwaitWaiters(1 + others, [this] { return Done(); }))
            << "the refresh hangs";
        return !Done();
    }
    // The walk's result once it ends, without moving the clock.
    Refresh Finish() {
        if (result_.wait_for(60s) != std::future_status::ready) {
            ADD_FAILURE() << "the walk does not end without the clock moving";
            clock_.Advance(24h);
        }
        return result_.get();
    }

  private:
    FakeClock& clock_;
    std::future<Refresh> result_;
};

TEST(MergedNetwork, ServersOpenFromMemoryAndEveryNameIsHandedOnAsSoonAsFound) {
    auto browse = std::make_shared<ScriptedSource>(
        std::vector<FoundMachine>{{MachineSource::BrowseList, "APOLO", "CLASSICO", {}},
                                  {MachineSource::BrowseList, "ATENA", "ESCRITORIO", {}}});
    auto wsd = std::make_shared<ScriptedSource>(std::vector<FoundMachine>{
        {MachineSource::WsDiscovery, "atena", "ESCRITORIO", {10, 0, 0, 12}},
        {MachineSource::WsDiscovery, "zeus", "EMPRESA", {10, 0, 0, 14}}});
    auto failing = std::make_shared<ScriptedSource>(
        std::vector<FoundMachine>{{MachineSource::DnsSd, "nas-sala.local", "", {10, 0, 0, 21}}},
        false, true);
    const auto learnt = std::make_shared<NameAnswerCache>();
    learnt->Learn("VELHO", {{10, 1, 1, 1}});
    std::mutex mutex;
    std::vector<std::string> hooks;
    auto record = [&](std::string what) {
        const std::lock_guard lock(mutex);
        hooks.push_back(std::move(what));
    };
    FakeClock clock;
    MergedNetwork network(
        "Rede", {browse, wsd, failing}, learnt,
        {[&](SteadyTime) { record("begin"); }, [&](const std::string& n) { record(n); }},
        MergedNetwork::kRefreshDeadline, {}, clock);
    // Every source ends: the walk ends though the clock never reaches the deadline.
    const Refresh refresh = BackgroundWalk(network, clock).Finish();

    // Opening a machine succeeds and reads nothing: no source ran again for it.
    EXPECT_EQ(refresh.lines,
              (std::vector<std::string>{"CLASSICO/\\\\APOLO=0,259", "EMPRESA/\\\\zeus=0,259",
                                        "ESCRITORIO/\\\\ATENA=0,259",
                                        "Outras máquinas/\\\\nas-sala=0,259"}));
    EXPECT_EQ(browse->runs() + wsd->runs() + failing->runs(), 3);
    std::sort(hooks.begin() + 1, hooks.end());
    EXPECT_EQ(hooks,
              (std::vector<std::string>{"begin", "APOLO", "ATENA", "atena", "nas-sala", "zeus"}));
    // What this refresh learnt, and nothing of the one before.
    EXPECT_EQ(learnt->Find("ATENA"), (std::vector<Ipv4>{{10, 0, 0, 12}}));
    EXPECT_EQ(learnt->Find("nas-sala"), (std::vector<Ipv4>{{10, 0, 0, 21}}));
    EXPECT_TRUE(learnt->Find("VELHO").empty());

    NetResource unknown{0,
                        0,
                        net::kDisplayServer,
                        net::kUsageContainer,
                        nullptr,
                        const_cast<char*>("\\\\DESCONHECIDO"),
                        nullptr,
                        nullptr};
    NetEnumHandle handle = nullptr;
    EXPECT_EQ(network.openEnum(0, 0, 0, &unknown, &handle), net::kErrorBadNetPath);
    // A source that ended still lets go of what the refresh shared on its own
    // thread, a moment after the refresh saw it end.
    EXPECT_TRUE(Eventually([&] { return !network.SourcesOverrunning(); }));
}

TEST(MergedNetwork, ASourceThatNeverReturnsIsLeftBehindAtTheDeadline) {
    auto stuck = std::make_shared<ScriptedSource>(
        std::vector<FoundMachine>{{MachineSource::BrowseList, "PRESO", "G", {}}}, true);
    auto quick = std::make_shared<ScriptedSource>(
        std::vector<FoundMachine>{{MachineSource::WsDiscovery, "RAPIDO", "G", {10, 0, 0, 2}}});
    const auto learnt = std::make_shared<NameAnswerCache>();
    FakeClock clock;
    {
        MergedNetwork network("Rede", {stuck, quick}, learnt, {}, 200ms, {}, clock);
        BackgroundWalk walk(network, clock);
        ASSERT_TRUE(stuck->AwaitReported(1));
        ASSERT_TRUE(quick->AwaitReported(1));
        EXPECT_TRUE(walk.Waiting());
        clock.Advance(199ms);
        EXPECT_TRUE(walk.Waiting()) << "ended before the deadline";
        clock.Advance(1ms);
        const Refresh first = walk.Finish();
        EXPECT_EQ(first.lines,
                  (std::vector<std::string>{"G/\\\\PRESO=0,259", "G/\\\\RAPIDO=0,259"}));
        EXPECT_EQ(first.took, 200ms);
        EXPECT_TRUE(network.SourcesOverrunning());
        // The quick source's thread lets go of it once its run is over.
        ASSERT_TRUE(Eventually([&] { return quick.use_count() == 2; }));

        // The next refresh neither waits for the stuck source nor runs it beside itself.
        const Refresh second = BackgroundWalk(network, clock).Finish();
        EXPECT_EQ(second.lines, (std::vector<std::string>{"G/\\\\RAPIDO=0,259"}));
        EXPECT_EQ(second.took, 0ms);
        EXPECT_EQ(stuck->runs(), 1);
        EXPECT_EQ(quick->runs(), 2);
        // The network goes while its source still runs: nothing waits for it.
    }
    stuck->Release();
    // Its late report reaches nothing that was freed, and is dropped.
    EXPECT_TRUE(Eventually([&] { return stuck.use_count() == 1; }));
    EXPECT_TRUE(learnt->Find("ATRASADO").empty());
}

// A namer that answers from a table once the clock reaches `answersAt`, if
// that is before the deadline, and returns at `returnsAt` whatever the
// deadline (as a namer held up in the system might); it records what it was
// asked.
class TableNamer : public IAddressNamer {
  public:
    TableNamer(const FakeClock& clock, std::vector<AddressName> answers, SteadyTime answersAt,
               SteadyTime returnsAt = {})
        : clock_(clock), answers_(std::move(answers)), answersAt_(answersAt),
          returnsAt_(returnsAt) {}

    void Name(const std::vector<NamingRequest>& requests, Clock::time_point deadline,
              const AddressNameSink& found) override {
        {
            const std::lock_guard lock(mutex_);
            for (const NamingRequest& request : requests) {
                asked_.push_back(DottedAddress(request.address) +
                                 (request.askNodeStatus ? "+nbstat" : ""));
            }
        }
        asking_.notify_all();
        clock_.SleepUntil(answersAt_);
        for (const NamingRequest& request : requests) {
            for (const AddressName& answer : answers_) {
                if (answer.address == request.address && clock_.Now() < deadline) {
                    found(answer);
                }
            }
        }
        // Other questions still open, as a PTR asked of a silent DNS server.
        clock_.SleepUntil(returnsAt_);
    }
    // Waits until `count` addresses have been asked; false on a hang.
    bool AwaitAsked(std::size_t count) {
        std::unique_lock lock(mutex_);
        return asking_.wait_for(lock, 60s, [&] { return asked_.size() >= count; });
    }
    std::vector<std::string> asked() {
        const std::lock_guard lock(mutex_);
        auto sorted = asked_;
        std::sort(sorted.begin(), sorted.end());
        return sorted;
    }

  private:
    const FakeClock& clock_;
    std::vector<AddressName> answers_;
    SteadyTime answersAt_;
    SteadyTime returnsAt_;
    std::mutex mutex_;
    std::condition_variable asking_;
    std::vector<std::string> asked_;
};

// Every address a source reports is named once, the sweep's without asking its
// node status again; the refresh waits for the names within its deadline, and
// each line's name answers the walk's lookups with that line's address.
TEST(MergedNetwork, AddressesAreNamedOnceAndEachLineAnswersWithItsOwnAddress) {
    const Ipv4 own{10, 71, 0, 1};
    auto sweep = std::make_shared<ScriptedSource>(
        std::vector<FoundMachine>{{MachineSource::Sweep, "", "", {10, 71, 0, 50}},
                                  {MachineSource::Sweep, "RECEPÇÃO", "ESCRITORIO", {10, 71, 0, 7}},
                                  {MachineSource::Sweep, "", "", own},
                                  {MachineSource::Sweep, "", "", {10, 71, 0, 21}},
                                  {MachineSource::Sweep, "", "", {10, 71, 0, 50}}});
    auto wsd = std::make_shared<ScriptedSource>(
        std::vector<FoundMachine>{{MachineSource::WsDiscovery, "SERVIDOR", "", {10, 71, 0, 2}},
                                  {MachineSource::WsDiscovery, "PC", "EMPRESA", {10, 71, 0, 22}}});
    FakeClock clock;
    auto namer = std::make_shared<TableNamer>(
        clock,
        std::vector<AddressName>{{{10, 71, 0, 2}, NameOrigin::NodeStatus, "SRV", "EMPRESA"},
                                 {{10, 71, 0, 21}, NameOrigin::Ptr, "pc", ""},
                                 {{10, 71, 0, 7}, NameOrigin::Ptr, "recepcao-dns", ""}},
        clock.Now() + 50ms);
    const auto learnt = std::make_shared<NameAnswerCache>();
    MergedNetwork network("Rede", {sweep, wsd}, learnt, {}, 1500ms,
                          {namer, [own] { return std::vector<Ipv4>{own}; }}, clock);
    BackgroundWalk walk(network, clock);
    // Addresses found while every naming call waits are asked once one returns.
    ASSERT_TRUE(sweep->AwaitReported(1));
    ASSERT_TRUE(wsd->AwaitReported(1));
    clock.Advance(50ms);
    const Refresh refresh = walk.Finish();

    EXPECT_EQ(refresh.lines,
              (std::vector<std::string>{"EMPRESA/\\\\PC=0,259", "ESCRITORIO/\\\\RECEPÇÃO=0,259",
                                        "Outras máquinas/\\\\10.71.0.50=0,259",
                                        "Outras máquinas/\\\\pc=0,259",
                                        "Outras máquinas/\\\\SERVIDOR=0,259"}));
    // It waited for the names, and no longer.
    EXPECT_EQ(refresh.took, 50ms);
    // The own address is not asked; what the sweep asked is not asked again.
    const auto asked = namer->asked();
    EXPECT_EQ(asked, (std::vector<std::string>{"10.71.0.2+nbstat", "10.71.0.21",
                                               "10.71.0.22+nbstat", "10.71.0.50", "10.71.0.7"}))
        << ::testing::PrintToString(asked);
    // Two lines named "PC": the walk's lookups get each line's address in turn.
    EXPECT_EQ(learnt->Answer("PC"), (std::vector<Ipv4>{{10, 71, 0, 22}, {10, 71, 0, 21}}));
    EXPECT_EQ(learnt->Answer("pc"), (std::vector<Ipv4>{{10, 71, 0, 21}, {10, 71, 0, 22}}));
    EXPECT_EQ(learnt->Answer("PC"), (std::vector<Ipv4>{{10, 71, 0, 22}, {10, 71, 0, 21}}));
    EXPECT_EQ(learnt->Answer("RECEPÇÃO"), (std::vector<Ipv4>{{10, 71, 0, 7}}));
    EXPECT_EQ(learnt->Answer("10.71.0.50"), (std::vector<Ipv4>{{10, 71, 0, 50}}));
}

// The sweep counts live the addresses the other sources reported in this
// refresh: the merge keeps them, afresh each time, without the sweep's own.
TEST(MergedNetwork, KeepsTheAddressesEachRefreshsAnnouncingSourcesReported) {
    const Ipv4 own{10, 71, 0, 1};
    auto sweep = std::make_shared<ScriptedSource>(
        std::vector<FoundMachine>{{MachineSource::Sweep, "", "", {10, 71, 0, 50}}});
    auto others = std::make_shared<ScriptedSource>(
        std::vector<FoundMachine>{{MachineSource::WsDiscovery, "SERVIDOR", "", {10, 71, 0, 2}},
                                  {MachineSource::DnsSd, "linux", "", {10, 71, 0, 30}},
                                  {MachineSource::Ssdp, "TV", "", {10, 71, 0, 31}},
                                  {MachineSource::BrowseList, "ANTIGO", "G", {}},
                                  {MachineSource::DnsSd, "eu", "", own}});
    const auto announced = std::make_shared<AnnouncedAddresses>();
    // Left from an earlier refresh.
    announced->Add({10, 71, 0, 99});
    FakeClock clock;
    MergedNetwork network("Rede", {sweep, others}, std::make_shared<NameAnswerCache>(), {}, 1500ms,
                          {nullptr, [own] { return std::vector<Ipv4>{own}; }, announced}, clock);
    BackgroundWalk(network, clock).Finish();
    EXPECT_EQ(announced->Snapshot(),
              (std::set<Ipv4>{{10, 71, 0, 2}, {10, 71, 0, 30}, {10, 71, 0, 31}}));
}

// Once every address has the name it announced or its node status's, the
// questions still open cannot change a line: the refresh ends without them.
TEST(MergedNetwork, TheRefreshEndsOnceEveryAddressHasItsFinalName) {
    auto sweep = std::make_shared<ScriptedSource>(
        std::vector<FoundMachine>{{MachineSource::Sweep, "", "", {10, 71, 0, 9}},
                                  {MachineSource::Sweep, "NOVO", "", {10, 71, 0, 8}}});
    auto wsd = std::make_shared<ScriptedSource>(
        std::vector<FoundMachine>{{MachineSource::WsDiscovery, "SERVIDOR", "G", {10, 71, 0, 2}}});
    FakeClock clock;
    auto namer = std::make_shared<TableNamer>(
        clock,
        std::vector<AddressName>{{{10, 71, 0, 9}, NameOrigin::Ptr, "velho-dns", ""},
                                 {{10, 71, 0, 9}, NameOrigin::NodeStatus, "VELHO", "OFICINA"}},
        clock.Now() + 20ms, clock.Now() + 1020ms);
    MergedNetwork network("Rede", {sweep, wsd}, std::make_shared<NameAnswerCache>(), {}, 1500ms,
                          {namer, {}}, clock);
    BackgroundWalk walk(network, clock);
    ASSERT_TRUE(sweep->AwaitReported(1));
    ASSERT_TRUE(wsd->AwaitReported(1));
    clock.Advance(20ms);
    const Refresh refresh = walk.Finish();
    EXPECT_EQ(refresh.lines,
              (std::vector<std::string>{"G/\\\\SERVIDOR=0,259", "OFICINA/\\\\VELHO=0,259",
                                        "Outras máquinas/\\\\NOVO=0,259"}));
    EXPECT_EQ(refresh.took, 20ms);
    // The namer still asks: the program would end without waiting for it.
    EXPECT_TRUE(network.SourcesOverrunning());
    clock.Advance(1s);
    EXPECT_TRUE(Eventually([&] { return !network.SourcesOverrunning(); }));
}

// A namer that answers after the deadline costs nothing beyond it, and its
// late answers are dropped.
TEST(MergedNetwork, ANamerThatOverrunsIsLeftBehindAtTheDeadline) {
    auto sweep = std::make_shared<ScriptedSource>(
        std::vector<FoundMachine>{{MachineSource::Sweep, "", "", {10, 71, 0, 9}}});
    FakeClock clock;
    auto namer = std::make_shared<TableNamer>(
        clock, std::vector<AddressName>{{{10, 71, 0, 9}, NameOrigin::Ptr, "tarde", ""}},
        clock.Now() + 1s);
    MergedNetwork network("Rede", {sweep}, std::make_shared<NameAnswerCache>(), {}, 200ms,
                          {namer, {}}, clock);
    BackgroundWalk walk(network, clock);
    ASSERT_TRUE(namer->AwaitAsked(1));
    EXPECT_TRUE(walk.Waiting(1));
    clock.Advance(199ms);
    EXPECT_TRUE(walk.Waiting(1)) << "ended before the deadline";
    clock.Advance(1ms);
    const Refresh refresh = walk.Finish();
    EXPECT_EQ(refresh.lines, (std::vector<std::string>{"Outras máquinas/\\\\10.71.0.9=0,259"}));
    EXPECT_EQ(refresh.took, 200ms);
    // Its answer comes too late, and its thread then ends.
    clock.Advance(1s);
    EXPECT_TRUE(Eventually([&] { return !network.SourcesOverrunning(); }));
}

// Held, by value, in what a refresh's sources share: the copy a source thread
// releases records, as it goes, whether the network still counts that source
// as running. The program's exit reads that count to decide whether libraries
// may be torn down, so it must not drop while anything shared is alive.
struct ReleaseWitness {
    MergedNetwork** network;
    std::atomic<bool>* watching;
    std::promise<bool>* overrunningAtRelease;
    ~ReleaseWitness() {
        if (watching != nullptr && watching->exchange(false)) {
            overrunningAtRelease->set_value((*network)->SourcesOverrunning());
        }
    }
};

TEST(MergedNetwork, ASourceCountsAsRunningUntilItHasReleasedWhatItShared) {
    auto stuck = std::make_shared<ScriptedSource>(
        std::vector<FoundMachine>{{MachineSource::BrowseList, "PRESO", "G", {}}}, true);
    MergedNetwork* raw = nullptr;
    std::atomic<bool> watching{false};
    std::promise<bool> overrunningAtRelease;
    RefreshHooks hooks;
    hooks.found = [witness = ReleaseWitness{&raw, &watching, &overrunningAtRelease}](
                      const std::string&) { (void)witness; };
    FakeClock clock;
    auto network = std::make_unique<MergedNetwork>(
        "Rede", std::vector<std::shared_ptr<INeighbourhoodSource>>{stuck},
        std::make_shared<NameAnswerCache>(), hooks, 20ms, AddressNaming{}, clock);
    raw = network.get();
    hooks = {};
    {
        BackgroundWalk walk(*network, clock);
        ASSERT_TRUE(stuck->AwaitReported(1));
        EXPECT_TRUE(walk.Waiting());
        clock.Advance(20ms);
        walk.Finish();
    }
    EXPECT_TRUE(network->SourcesOverrunning());
    // Only the stuck source's thread now holds the refresh's shared state.
    watching = true;
    stuck->Release();
    auto released = overrunningAtRelease.get_future();
    ASSERT_EQ(released.wait_for(10s), std::future_status::ready);
    EXPECT_TRUE(released.get());
    EXPECT_TRUE(Eventually([&] { return !network->SourcesOverrunning(); }));
}

// A source whose library call outlives its Find counts as running until that
// call has ended, though a later refresh runs it again.
class AbandoningSource : public INeighbourhoodSource {
  public:
    void Find(const FoundSink& found, Clock::time_point) override {
        ++runs;
        found({MachineSource::BrowseList, "GUARDADO", "G", {}});
    }
    bool Busy() const override { return busy.load(); }
    std::atomic<bool> busy{false};
    std::atomic<int> runs{0};
};

TEST(MergedNetwork, ASourceStillBusyAfterItsFindHoldsTheExitButNotTheNextRefresh) {
    auto source = std::make_shared<AbandoningSource>();
    FakeClock clock;
    MergedNetwork network("Rede", {source}, std::make_shared<NameAnswerCache>(), {}, 200ms, {},
                          clock);
    source->busy = true;
    EXPECT_EQ(BackgroundWalk(network, clock).Finish().lines,
              (std::vector<std::string>{"G/\\\\GUARDADO=0,259"}));
    EXPECT_TRUE(network.SourcesOverrunning());
    EXPECT_EQ(BackgroundWalk(network, clock).Finish().lines,
              (std::vector<std::string>{"G/\\\\GUARDADO=0,259"}));
    EXPECT_EQ(source->runs.load(), 2);
    source->busy = false;
    EXPECT_TRUE(Eventually([&] { return !network.SourcesOverrunning(); }));
}

// A networking enumeration (WNet on Windows) that records every container
// opened: a provider with one domain of two servers.
class RecordingEnumeration : public INetworkEnumeration {
  public:
    explicit RecordingEnumeration(std::vector<std::string>& opened) : opened_(opened) {}
    std::uint32_t openEnum(std::uint32_t, std::uint32_t, std::uint32_t,
                           const NetResource* container, NetEnumHandle* handle) override {
        const std::string name = container == nullptr ? "(raiz)" : container->lpRemoteName;
        opened_.push_back(name);
        std::vector<ResourceEntry> entries;
        auto add = [&](std::uint32_t type, std::string remote) {
            ResourceEntry entry;
            entry.displayType = type;
            entry.usage = net::kUsageContainer;
            entry.remoteName = std::move(remote);
            entries.push_back(std::move(entry));
        };
        if (container == nullptr) {
            add(net::kDisplayNetwork, "Rede Microsoft Windows");
        } else if (container->dwDisplayType == net::kDisplayNetwork) {
            add(net::kDisplayDomain, "GRUPO");
        } else if (container->dwDisplayType == net::kDisplayDomain) {
            add(net::kDisplayServer, "\\\\ALFA");
            add(net::kDisplayServer, "\\\\BETA");
        }
        listings_.push_back({std::move(entries), 0});
        *handle = reinterpret_cast<NetEnumHandle>(listings_.size());
        return net::kNoError;
    }
    std::uint32_t enumResource(NetEnumHandle handle, std::int32_t* count, void* buffer,
                               std::uint32_t* size) override {
        auto& [entries, next] = listings_[reinterpret_cast<std::uintptr_t>(handle) - 1];
        return ReadResources(entries, next, count, buffer, size);
    }
    std::uint32_t closeEnum(NetEnumHandle) override { return net::kNoError; }

  private:
    std::vector<std::string>& opened_;
    std::vector<std::pair<std::vector<ResourceEntry>, std::size_t>> listings_;
};

// The browse list is read through the system's enumeration down to its
// domains; the walk then opens every machine, and none of those opens reaches
// the system: no machine is ever connected to or offered credentials.
// A source that reports and withdraws machines in the order scripted.
class WithdrawingSource : public INeighbourhoodSource {
  public:
    // Each step: '+' reports the machine, '-' withdraws it.
    using Step = std::pair<char, FoundMachine>;
    explicit WithdrawingSource(std::vector<Step> steps) : steps_(std::move(steps)) {}
    void Find(const FoundSink& found, Clock::time_point) override {
        for (const auto& [kind, machine] : steps_) {
            if (kind == '+') {
                found(machine);
            } else {
                found.Withdraw(machine);
            }
        }
    }

  private:
    std::vector<Step> steps_;
};

// A source takes back only what it reported itself: what another source
// reported for the same address, or this one under another name, stays.
TEST(MergedNetwork, AWithdrawalDropsOnlyThatSourcesReport) {
    const Ipv4 nasAt{10, 0, 0, 21};
    const FoundMachine nas{MachineSource::DnsSd, "nas-sala.local", "", nasAt};
    const FoundMachine nasOther{MachineSource::DnsSd, "nas-b.local", "", nasAt};
    const FoundMachine mac{MachineSource::DnsSd, "MacBook.local", "", {10, 0, 0, 23}};
    const FoundMachine swept{MachineSource::Sweep, "", "", nasAt};
    const FoundMachine described{MachineSource::Ssdp, "nas-sala", "", nasAt};
    using Steps = std::vector<WithdrawingSource::Step>;
    const struct {
        const char* what;
        Steps first;
        Steps second;
        std::vector<std::string> lines;
        // What the walk's lookup of "nas-sala" finds afterwards.
        std::vector<Ipv4> learnt;
    } cases[] = {
        {"reported, then withdrawn: gone, and its address no longer learnt",
         {{'+', nas}, {'+', mac}, {'-', nas}},
         {},
         {"Outras máquinas/\\\\MacBook=0,259"},
         {}},
        {"another source's machine at the address stays, by its address",
         {{'+', nas}, {'-', nas}},
         {{'+', swept}},
         {"Outras máquinas/\\\\10.0.0.21=0,259"},
         {}},
        {"another source's report of the same machine stays",
         {{'+', nas}, {'-', nas}},
         {{'+', described}},
         {"Outras máquinas/\\\\nas-sala=0,259"},
         {nasAt}},
        {"another source cannot withdraw what this one reported",
         {{'+', nas}},
         {{'-', nas}},
         {"Outras máquinas/\\\\nas-sala=0,259"},
         {nasAt}},
        {"a machine never reported: nothing to withdraw",
         {{'-', nas}, {'+', mac}},
         {},
         {"Outras máquinas/\\\\MacBook=0,259"},
         {}},
        {"the same source's other name at the address stays",
         {{'+', nas}, {'+', nasOther}, {'-', nas}},
         {},
         {"Outras máquinas/\\\\nas-b=0,259"},
         {}},
        {"reported again after it was withdrawn",
         {{'+', nas}, {'-', nas}, {'+', nas}},
         {},
         {"Outras máquinas/\\\\nas-sala=0,259"},
         {nasAt}},
    };
    for (const auto& c : cases) {
        const auto learnt = std::make_shared<NameAnswerCache>();
        FakeClock clock;
        MergedNetwork network("Rede",
                              {std::make_shared<WithdrawingSource>(c.first),
                               std::make_shared<WithdrawingSource>(c.second)},
                              learnt, {}, 1500ms, {}, clock);
        EXPECT_EQ(BackgroundWalk(network, clock).Finish().lines, c.lines) << c.what;
        EXPECT_EQ(learnt->Find("nas-sala"), c.learnt) << c.what;
    }
}

TEST(MergedNetwork, TheBrowseListNeverOpensAServer) {
    std::vector<std::string> opened;
    FakeClock clock;
    auto browse =
        std::make_shared<EnumerationSource>(std::make_unique<RecordingEnumeration>(opened), clock);
    MergedNetwork network("Rede", {browse}, std::make_shared<NameAnswerCache>(), {},
                          MergedNetwork::kRefreshDeadline, {}, clock);
    const Refresh refresh = BackgroundWalk(network, clock).Finish();
    EXPECT_EQ(refresh.lines,
              (std::vector<std::string>{"GRUPO/\\\\ALFA=0,259", "GRUPO/\\\\BETA=0,259"}));
    EXPECT_EQ(opened, (std::vector<std::string>{"(raiz)", "Rede Microsoft Windows", "GRUPO"}));
}

// Two domains of servers, the second one slow to open: a hook runs as each
// container opens.
class TwoDomainEnumeration : public INetworkEnumeration {
  public:
    explicit TwoDomainEnumeration(std::function<void(const std::string&)> opening)
        : opening_(std::move(opening)) {}
    std::uint32_t openEnum(std::uint32_t, std::uint32_t, std::uint32_t,
                           const NetResource* container, NetEnumHandle* handle) override {
        const std::string name = container == nullptr ? "(raiz)" : container->lpRemoteName;
        opening_(name);
        std::vector<ResourceEntry> entries;
        auto add = [&](std::uint32_t type, std::string remote) {
            ResourceEntry entry;
            entry.displayType = type;
            entry.remoteName = std::move(remote);
            entries.push_back(std::move(entry));
        };
        if (container == nullptr) {
            add(net::kDisplayNetwork, "Rede Microsoft Windows");
        } else if (name == "Rede Microsoft Windows") {
            add(net::kDisplayDomain, "PRIMEIRO");
            add(net::kDisplayDomain, "LENTO");
        } else if (name == "PRIMEIRO") {
            add(net::kDisplayServer, "\\\\ALFA");
            add(net::kDisplayServer, "\\\\BETA");
        } else {
            add(net::kDisplayServer, "\\\\GAMA");
        }
        listings_.push_back({std::move(entries), 0});
        *handle = reinterpret_cast<NetEnumHandle>(listings_.size());
        return net::kNoError;
    }
    std::uint32_t enumResource(NetEnumHandle handle, std::int32_t* count, void* buffer,
                               std::uint32_t* size) override {
        auto& [entries, next] = listings_[reinterpret_cast<std::uintptr_t>(handle) - 1];
        return ReadResources(entries, next, count, buffer, size);
    }
    std::uint32_t closeEnum(NetEnumHandle) override { return net::kNoError; }

  private:
    std::function<void(const std::string&)> opening_;
    std::vector<std::pair<std::vector<ResourceEntry>, std::size_t>> listings_;
};

// The browse list is reported as it is read, not once all of it is walked, so a
// domain whose listing blocks past the deadline costs only its own machines;
// past the deadline nothing more is opened.
TEST(EnumerationBrowse, ReportsEachMachineAsItIsReadAndOpensNothingPastTheDeadline) {
    const struct {
        Clock::duration deadlineFromNow;
        std::vector<std::string> reportedWhenLentoOpens;
        std::vector<std::string> opened;
    } cases[] = {
        {1h,
         {"PRIMEIRO/ALFA", "PRIMEIRO/BETA"},
         {"(raiz)", "Rede Microsoft Windows", "PRIMEIRO", "LENTO"}},
        {-1ms, {}, {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> reported;
        std::vector<std::string> opened;
        std::vector<std::string> reportedWhenLentoOpens;
        FakeClock clock;
        EnumerationSource source(
            std::make_unique<TwoDomainEnumeration>([&](const std::string& name) {
                opened.push_back(name);
                if (name == "LENTO") {
                    reportedWhenLentoOpens = reported;
                }
            }),
            clock);
        source.Find(
            [&](FoundMachine machine) {
                reported.push_back(machine.workgroup + "/" + machine.name);
            },
            clock.Now() + c.deadlineFromNow);
        EXPECT_EQ(reportedWhenLentoOpens, c.reportedWhenLentoOpens);
        EXPECT_EQ(opened, c.opened);
        if (!c.opened.empty()) {
            EXPECT_EQ(reported,
                      (std::vector<std::string>{"PRIMEIRO/ALFA", "PRIMEIRO/BETA", "LENTO/GAMA"}));
        }
    }
}

} // namespace
} // namespace vexor

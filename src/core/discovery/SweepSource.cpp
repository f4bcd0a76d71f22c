#include "SweepSource.h"

#include "NetbiosMessages.h"
#include "SweepPlan.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

namespace vexor {
namespace {

// Addresses found live in the table but not in the plan (a link-local
// neighbour, one outside the swept block) are asked their node status too, at
// most this many.
constexpr std::size_t kMaxLateQuestions = 512;

struct NodeNames {
    std::string name;
    std::string workgroup;
};

// One refresh's sweep: what was asked, what answered, what was reported.
class Sweep {
  public:
    Sweep(const NeighbourSeams& neighbours, const IOemCodePage& codePage, const SweepTiming& timing,
          const FoundSink& found, SweepPlan plan, const IClock& clock, SteadyTime deadline,
          const AnnouncedAddresses* announced)
        : neighbours_(neighbours), codePage_(codePage), timing_(timing), found_(found),
          plan_(std::move(plan)), clock_(clock), deadline_(deadline), announced_(announced) {}

    void Ask(QueryEngine& engine, const Ipv4& address) {
        if (!asked_.insert(address).second) {
            return;
        }
        const std::uint16_t id = NewQueryId();
        engine.Ask({netbios::NodeStatusRequest(id),
                    {{{address, netbios::kPort}, Ipv4{}}},
                    timing_.nodeStatus,
                    [this, address, id](const Datagram& datagram) {
                        return Answer(address, id, datagram);
                    },
                    [this](const UdpEndpoint& to) {
                        // No NetBIOS here, but a machine: its table entry counts.
                        unreachable_.insert(to.address);
                        return Reply::Settles;
                    }});
    }

    // Reads the table and reports its live machines; those never asked are
    // asked through `engine` while it runs.
    void ReadTable(QueryEngine* engine) {
        const auto table = neighbours_.neighbours();
        // A read that outlasted the refresh reports nothing: the source must
        // not report after its deadline.
        if (table && clock_.Now() <= deadline_) {
            Consider(*table, engine);
        }
    }

    void Consider(const std::vector<NeighbourEntry>& table, QueryEngine* engine) {
        std::set<Ipv4> answered = announced_ != nullptr ? announced_->Snapshot() : std::set<Ipv4>{};
        answered.insert(unreachable_.begin(), unreachable_.end());
        for (const auto& [address, names] : answers_) {
            answered.insert(address);
        }
        for (const Ipv4& address : LiveNeighbours(table, plan_, answered)) {
            live_.insert(address);
            Report(address);
            if (engine != nullptr && !asked_.contains(address) && late_ < kMaxLateQuestions) {
                ++late_;
                Ask(*engine, address);
            }
        }
    }

  private:
    Reply Answer(const Ipv4& address, std::uint16_t id, const Datagram& datagram) {
        if (datagram.from.address != address || datagram.from.port != netbios::kPort) {
            return Reply::NotMine;
        }
        const auto status = netbios::ReadNodeStatus(datagram.bytes, id, codePage_);
        if (!status) {
            return Reply::NotMine;
        }
        answers_[address] = {status->Workstation().value_or(""), status->Workgroup().value_or("")};
        // An address already listed gets its name now; another waits for the
        // table to show a machine behind the answer.
        if (live_.contains(address)) {
            Report(address);
        }
        return Reply::Settles;
    }

    // Reports `address` the first time, and again when its name came later.
    void Report(const Ipv4& address) {
        const auto answer = answers_.find(address);
        const NodeNames names = answer != answers_.end() ? answer->second : NodeNames{};
        const bool named = !names.name.empty() || !names.workgroup.empty();
        const auto reported = reported_.find(address);
        if (reported != reported_.end() && (reported->second || !named)) {
            return;
        }
        reported_[address] = named;
        found_({MachineSource::Sweep, names.name, names.workgroup, address});
    }

    const NeighbourSeams& neighbours_;
    const IOemCodePage& codePage_;
    const SweepTiming& timing_;
    const FoundSink& found_;
    const SweepPlan plan_;
    const IClock& clock_;
    const SteadyTime deadline_;
    std::set<Ipv4> asked_;
    const AnnouncedAddresses* const announced_;
    std::map<Ipv4, NodeNames> answers_;
    // Addresses asked that answered with a port unreachable.
    std::set<Ipv4> unreachable_;
    std::set<Ipv4> live_;
    // Whether each reported address was reported with a name.
    std::map<Ipv4, bool> reported_;
    std::size_t late_ = 0;
};

// The engine's socket, which reads the neighbour table on the sweep's
// schedule while the engine waits for answers. The first read waits until
// every planned address has had its datagram: a system whose table is slow to
// read (Wine takes about 2 ms an entry) would otherwise hold the sweep back.
class TableWatch : public IDatagramSocket {
  public:
    TableWatch(IDatagramSocket& socket, const IClock& clock, const SweepTiming& timing,
               Sweep& sweep, std::size_t firstRound)
        : socket_(socket), clock_(clock), sweep_(sweep), interval_(timing.firstRead),
          lastInterval_(timing.lastReadInterval), firstRound_(firstRound),
          nextRead_(firstRound == 0 ? clock.Now() + timing.firstRead : SteadyTime::max()) {}

    void Attach(QueryEngine* engine) { engine_ = engine; }

    bool SendTo(std::span<const std::uint8_t> bytes, const UdpEndpoint& to,
                const Ipv4& via) override {
        const bool sent = socket_.SendTo(bytes, to, via);
        if (++sends_ == firstRound_) {
            nextRead_ = clock_.Now() + interval_;
        }
        return sent;
    }

    std::optional<Datagram> ReceiveUntil(SteadyTime deadline) override {
        for (;;) {
            if (auto datagram = socket_.ReceiveUntil(std::min(deadline, nextRead_))) {
                return datagram;
            }
            const SteadyTime now = clock_.Now();
            if (now >= nextRead_) {
                sweep_.ReadTable(engine_);
                interval_ = std::min(interval_ * 2, lastInterval_);
                nextRead_ = now + interval_;
            }
            if (now >= deadline) {
                return std::nullopt;
            }
        }
    }

  private:
    IDatagramSocket& socket_;
    const IClock& clock_;
    Sweep& sweep_;
    std::chrono::milliseconds interval_;
    const std::chrono::milliseconds lastInterval_;
    const std::size_t firstRound_;
    std::size_t sends_ = 0;
    SteadyTime nextRead_;
    QueryEngine* engine_ = nullptr;
};

} // namespace

SweepSource::SweepSource(DiscoverySeams seams, NeighbourSeams neighbours,
                         const IOemCodePage& codePage, SweepTiming timing,
                         std::shared_ptr<const AnnouncedAddresses> announced)
    : seams_(std::move(seams)), neighbours_(std::move(neighbours)), codePage_(codePage),
      timing_(std::move(timing)), announced_(std::move(announced)) {}

void SweepSource::Find(const FoundSink& found, SteadyTime deadline) {
    const auto table = neighbours_.neighbours().value_or(std::vector<NeighbourEntry>{});
    SweepPlan plan = PlanSweep(neighbours_.interfaces(), table);
    if (plan.subnets.empty()) {
        return;
    }
    const auto socket = seams_.openSocket();
    Sweep sweep(neighbours_, codePage_, timing_, found, plan, *seams_.clock, deadline,
                announced_.get());
    if (!socket) {
        sweep.Consider(table, nullptr);
        return;
    }
    TableWatch watch(*socket, *seams_.clock, timing_, sweep, plan.targets.size());
    {
        QueryEngine engine(watch, *seams_.clock, deadline, timing_.pacing);
        watch.Attach(&engine);
        for (const Ipv4& address : plan.targets) {
            sweep.Ask(engine, address);
        }
        // Machines the table already shows are listed at once.
        sweep.Consider(table, &engine);
        engine.Run();
        watch.Attach(nullptr);
    }
    // The answers and the ARP replies of the last questions.
    if (seams_.clock->Now() < deadline) {
        sweep.ReadTable(nullptr);
    }
}

} // namespace vexor

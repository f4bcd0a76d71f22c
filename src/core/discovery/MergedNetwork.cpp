#include "MergedNetwork.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

namespace vexor {

// What one refresh's sources share with the opener of the root. Held by every
// source and naming thread, so that one left behind at the deadline still
// reports into memory that is alive; what it reports then is dropped.
struct MergedNetwork::Round : std::enable_shared_from_this<Round> {
    // A network that announces more machines than this is not listed further.
    static constexpr std::size_t kMaxMachines = 8192;
    // Addresses named in one refresh: what a sweep of the subnets can find,
    // with room for the announcing sources.
    static constexpr std::size_t kMaxNamed = 2048;
    // Namer calls under way at once; addresses found meanwhile wait for the
    // next call of a running one.
    static constexpr std::size_t kMaxNamingCalls = 4;

    // A machine as one source (by its place among the network's) reported it.
    struct Reported {
        std::size_t source = 0;
        FoundMachine machine;
    };

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Reported> found;
    std::vector<AddressName> names;
    std::size_t running = 0;
    bool closed = false;
    std::shared_ptr<NameAnswerCache> learnt;
    std::function<void(const std::string&)> onFound;
    std::shared_ptr<IAddressNamer> namer;
    std::shared_ptr<AnnouncedAddresses> announced;
    std::chrono::steady_clock::time_point deadline;
    std::set<Ipv4> own;
    std::set<Ipv4> asked;
    // Whether each address found has the name its line will show whatever
    // else answers: one it announced, or its node status's.
    std::map<Ipv4, bool> named;
    // The addresses whose node status gave a name a line can show.
    std::set<Ipv4> statusNamed;
    std::size_t unnamed = 0;
    std::vector<NamingRequest> pending;
    std::size_t namingCalls = 0;
    // The network's count of naming threads alive, of this refresh and others.
    std::shared_ptr<std::atomic<std::size_t>> namersAlive;

    void Report(std::size_t source, FoundMachine machine) {
        const auto name = ListedName(machine);
        if (!name && machine.address == Ipv4{}) {
            return;
        }
        bool startNaming = false;
        {
            const std::lock_guard lock(mutex);
            if (closed || found.size() >= kMaxMachines) {
                return;
            }
            if (machine.address != Ipv4{} && !own.contains(machine.address)) {
                if (name && learnt) {
                    learnt->Add(*name, machine.address);
                }
                Named(machine.address, name.has_value());
                if (announced && machine.source != MachineSource::Sweep) {
                    announced->Add(machine.address);
                }
                // The sweep asked the node status already; every other source
                // leaves all the questions to the namer.
                if (namer && asked.size() < kMaxNamed && asked.insert(machine.address).second) {
                    pending.push_back({machine.address, machine.source != MachineSource::Sweep});
                    if (namingCalls < kMaxNamingCalls) {
                        ++namingCalls;
                        startNaming = true;
                    }
                }
            }
            found.push_back({source, std::move(machine)});
            // The address is sought while the other sources go on.
            if (name && onFound) {
                onFound(*name);
            }
        }
        if (startNaming) {
            StartNaming();
        }
    }

    // Drops what `source` reported as `machine`; what other sources, or this
    // one under another name, reported for its address stands.
    void Withdraw(std::size_t source, const FoundMachine& machine) {
        const std::lock_guard lock(mutex);
        if (closed || std::erase_if(found, [&](const Reported& reported) {
                          return reported.source == source &&
                                 reported.machine.address == machine.address &&
                                 reported.machine.name == machine.name;
                      }) == 0) {
            return;
        }
        if (machine.address == Ipv4{} || own.contains(machine.address)) {
            return;
        }
        const auto name = ListedName(machine);
        bool stillNamed = false;
        bool stillListed = false;
        for (const Reported& reported : found) {
            if (reported.machine.address != machine.address) {
                continue;
            }
            if (const auto other = ListedName(reported.machine)) {
                stillNamed = true;
                stillListed = stillListed || (name && MachineKey(*other) == MachineKey(*name));
            }
        }
        // The walk must not find the address under a name no line shows.
        if (name && learnt && !stillListed) {
            learnt->Forget(*name, machine.address);
        }
        // An address left without an announced name waits for its node status again.
        if (!stillNamed && !statusNamed.contains(machine.address)) {
            if (auto at = named.find(machine.address); at != named.end() && at->second) {
                at->second = false;
                ++unnamed;
            }
        }
    }

    // Notes that `address` was found, with a final name or not; true when that
    // named the last address still waiting for one. Called with the lock held.
    bool Named(const Ipv4& address, bool final) {
        auto [at, added] = named.try_emplace(address, final);
        if (added) {
            unnamed += final ? 0 : 1;
            return false;
        }
        if (final && !at->second) {
            at->second = true;
            return --unnamed == 0;
        }
        return false;
    }

    void StartNaming() {
        ++*namersAlive;
        try {
            std::thread([round = shared_from_this()] {
                round->NameWhatIsPending();
                --*round->namersAlive;
            }).detach();
        } catch (const std::system_error&) {
            // No thread to be had: the addresses stay unnamed, as dotted addresses.
            --*namersAlive;
            NamingEnded();
        }
    }

    // Names the addresses found so far, then those found meanwhile, until
    // none waits or the refresh is over.
    void NameWhatIsPending() {
        for (;;) {
            std::vector<NamingRequest> batch;
            {
                const std::lock_guard lock(mutex);
                if (closed || pending.empty()) {
                    break;
                }
                batch.swap(pending);
            }
            try {
                namer->Name(batch, deadline, [this](AddressName answer) {
                    bool settled = false;
                    {
                        const std::lock_guard lock(mutex);
                        if (closed || names.size() >= kMaxNamed * 4) {
                            return;
                        }
                        if (answer.origin == NameOrigin::NodeStatus) {
                            const auto clean = CleanNetworkName(answer.name);
                            const bool final = clean && !MachineKey(*clean).empty();
                            if (final) {
                                statusNamed.insert(answer.address);
                            }
                            settled = Named(answer.address, final);
                        }
                        names.push_back(std::move(answer));
                    }
                    if (settled) {
                        changed.notify_all();
                    }
                });
            } catch (...) {
                // A namer that fails leaves its addresses as they are named so far.
            }
        }
        NamingEnded();
    }

    void NamingEnded() {
        {
            const std::lock_guard lock(mutex);
            --namingCalls;
        }
        changed.notify_all();
    }

    void SourceEnded() {
        {
            const std::lock_guard lock(mutex);
            --running;
        }
        changed.notify_all();
    }
};

MergedNetwork::MergedNetwork(std::string providerName,
                             std::vector<std::shared_ptr<INeighbourhoodSource>> sources,
                             std::shared_ptr<NameAnswerCache> learnt, RefreshHooks hooks,
                             std::chrono::milliseconds deadline, AddressNaming naming,
                             const IClock& clock)
    : provider_(std::move(providerName)), learnt_(std::move(learnt)), hooks_(std::move(hooks)),
      deadline_(deadline), naming_(std::move(naming)), clock_(clock) {
    for (auto& source : sources) {
        sources_.push_back({std::move(source), std::make_shared<std::atomic<bool>>(false),
                            std::make_shared<std::atomic<int>>(0)});
    }
}

bool MergedNetwork::SourcesOverrunning() const {
    if (namersAlive_->load() > 0) {
        return true;
    }
    for (const Slot& slot : sources_) {
        if (slot.running->load() || slot.holding->load() > 0 || slot.source->Busy()) {
            return true;
        }
    }
    return false;
}

void MergedNetwork::Discover() {
    const auto deadline = clock_.Now() + deadline_;
    if (learnt_) {
        learnt_->Clear();
    }
    if (hooks_.begin) {
        hooks_.begin(deadline);
    }
    const auto round = std::make_shared<Round>();
    round->learnt = learnt_;
    round->onFound = hooks_.found;
    round->namer = naming_.namer;
    round->announced = naming_.announced;
    if (round->announced) {
        round->announced->Begin();
    }
    round->namersAlive = namersAlive_;
    round->deadline = deadline;
    if (naming_.ownAddresses) {
        for (const Ipv4& address : naming_.ownAddresses()) {
            round->own.insert(address);
        }
    }
    for (std::size_t index = 0; index < sources_.size(); ++index) {
        const Slot& slot = sources_[index];
        if (slot.running->exchange(true)) {
            continue;
        }
        {
            const std::lock_guard lock(round->mutex);
            ++round->running;
        }
        ++*slot.holding;
        auto run = [source = slot.source, running = slot.running, holding = slot.holding,
                    round = round, deadline, index]() mutable {
            try {
                source->Find(
                    {[round, index](FoundMachine machine) {
                         round->Report(index, std::move(machine));
                     },
                     [round, index](FoundMachine machine) { round->Withdraw(index, machine); }},
                    deadline);
            } catch (...) {
                // A source that fails gives what it reported; the others go on.
            }
            running->store(false);
            round->SourceEnded();
            // The thread counts until it has let go of everything: until then
            // the program's exit must not tear down what the source, or a
            // destructor run here, still uses.
            source.reset();
            round.reset();
            --*holding;
        };
        try {
            std::thread(run).detach();
        } catch (const std::system_error&) {
            // No thread to be had: this source runs here, after the others started.
            run();
        }
    }
    std::unique_lock lock(round->mutex);
    // Names still asked cannot change a line once every address has the name
    // it announced or its node status's: the refresh does not wait for them.
    clock_.WaitUntil(lock, round->changed, deadline, [&] {
        return round->running == 0 && (round->namingCalls == 0 || round->unnamed == 0);
    });
    round->closed = true;
    std::vector<FoundMachine> found;
    found.reserve(round->found.size());
    for (const Round::Reported& reported : round->found) {
        found.push_back(reported.machine);
    }
    groups_ = MergeNeighbourhood(
        found, {round->names, std::vector<Ipv4>(round->own.begin(), round->own.end())});
    servers_.clear();
    std::vector<std::pair<std::string, Ipv4>> lines;
    for (const auto& group : groups_) {
        for (const auto& machine : group.machines) {
            servers_.insert("\\\\" + machine.name);
            lines.emplace_back(machine.name, machine.address);
        }
    }
    // The walk looks each line's name up: it finds the address the machine
    // was found at, whatever else answers for the name.
    if (learnt_) {
        learnt_->List(lines);
    }
}

std::uint32_t MergedNetwork::List(const NetResource& container,
                                  std::vector<ResourceEntry>& entries) const {
    const std::string remote = container.lpRemoteName;
    auto entry = [&](std::uint32_t displayType, std::uint32_t usage, std::string name) {
        ResourceEntry made;
        made.displayType = displayType;
        made.usage = usage;
        made.remoteName = std::move(name);
        made.provider = provider_;
        entries.push_back(std::move(made));
    };
    switch (container.dwDisplayType) {
    case net::kDisplayNetwork:
        for (const auto& group : groups_) {
            entry(net::kDisplayDomain, net::kUsageContainer, group.name);
        }
        return net::kNoError;
    case net::kDisplayDomain:
        for (const auto& group : groups_) {
            if (group.name == remote) {
                for (const auto& machine : group.machines) {
                    entry(net::kDisplayServer, net::kUsageContainer, "\\\\" + machine.name);
                }
                return net::kNoError;
            }
        }
        return net::kErrorBadNetPath;
    case net::kDisplayServer:
        // A machine the sources listed opens with nothing in it; nothing is asked of it.
        return servers_.contains(remote) ? net::kNoError : net::kErrorBadNetPath;
    default:
        return net::kErrorNotContainer;
    }
}

std::uint32_t MergedNetwork::openEnum(std::uint32_t /*scope*/, std::uint32_t /*type*/,
                                      std::uint32_t /*usage*/, const NetResource* container,
                                      NetEnumHandle* handle) {
    if (handle == nullptr) {
        return net::kErrorInvalidParameter;
    }
    EntryListing listing;
    if (container == nullptr || container->lpRemoteName == nullptr) {
        Discover();
        ResourceEntry provider;
        provider.displayType = net::kDisplayNetwork;
        provider.usage = net::kUsageContainer;
        provider.remoteName = provider_;
        provider.provider = provider_;
        listing.entries.push_back(std::move(provider));
    } else if (const std::uint32_t status = List(*container, listing.entries);
               status != net::kNoError) {
        return status;
    }
    const std::uintptr_t id = nextHandle_++;
    open_.emplace(id, std::move(listing));
    *handle = reinterpret_cast<NetEnumHandle>(id);
    return net::kNoError;
}

std::uint32_t MergedNetwork::enumResource(NetEnumHandle handle, std::int32_t* count, void* buffer,
                                          std::uint32_t* size) {
    const auto found = open_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (found == open_.end() || count == nullptr || size == nullptr) {
        return net::kErrorInvalidHandle;
    }
    return found->second.Read(count, buffer, size);
}

std::uint32_t MergedNetwork::closeEnum(NetEnumHandle handle) {
    return open_.erase(reinterpret_cast<std::uintptr_t>(handle)) == 1 ? net::kNoError
                                                                      : net::kErrorInvalidHandle;
}

} // namespace vexor

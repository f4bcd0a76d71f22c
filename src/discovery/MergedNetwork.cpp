#include "MergedNetwork.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace vexor {

// What one refresh's sources share with the opener of the root. Held by every
// source thread, so that a source left behind at the deadline still reports
// into memory that is alive; what it reports then is dropped.
struct MergedNetwork::Round {
    // A network that announces more machines than this is not listed further.
    static constexpr std::size_t kMaxMachines = 8192;

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<FoundMachine> found;
    std::size_t running = 0;
    bool closed = false;
    std::shared_ptr<NameAnswerCache> learnt;
    std::function<void(const std::string&)> onFound;

    void Report(FoundMachine machine) {
        const auto name = ListedName(machine);
        if (!name) {
            return;
        }
        const std::lock_guard lock(mutex);
        if (closed || found.size() >= kMaxMachines) {
            return;
        }
        if (machine.address != Ipv4{} && learnt) {
            learnt->Learn(*name, {machine.address});
        }
        found.push_back(std::move(machine));
        // The address is sought while the other sources go on.
        if (onFound) {
            onFound(*name);
        }
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
                             std::chrono::milliseconds deadline)
    : provider_(std::move(providerName)), learnt_(std::move(learnt)), hooks_(std::move(hooks)),
      deadline_(deadline) {
    for (auto& source : sources) {
        sources_.push_back({std::move(source), std::make_shared<std::atomic<bool>>(false),
                            std::make_shared<std::atomic<int>>(0)});
    }
}

bool MergedNetwork::SourcesOverrunning() const {
    for (const Slot& slot : sources_) {
        if (slot.running->load() || slot.holding->load() > 0 || slot.source->Busy()) {
            return true;
        }
    }
    return false;
}

void MergedNetwork::Discover() {
    const auto deadline = std::chrono::steady_clock::now() + deadline_;
    if (learnt_) {
        learnt_->Clear();
    }
    if (hooks_.begin) {
        hooks_.begin();
    }
    const auto round = std::make_shared<Round>();
    round->learnt = learnt_;
    round->onFound = hooks_.found;
    for (const Slot& slot : sources_) {
        if (slot.running->exchange(true)) {
            continue;
        }
        {
            const std::lock_guard lock(round->mutex);
            ++round->running;
        }
        ++*slot.holding;
        auto run = [source = slot.source, running = slot.running, holding = slot.holding,
                    round = round, deadline]() mutable {
            try {
                source->Find([round](FoundMachine machine) { round->Report(std::move(machine)); },
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
    round->changed.wait_until(lock, deadline, [&] { return round->running == 0; });
    round->closed = true;
    groups_ = MergeNeighbourhood(round->found);
    servers_.clear();
    for (const auto& group : groups_) {
        for (const auto& machine : group.machines) {
            servers_.insert("\\\\" + machine);
        }
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
                    entry(net::kDisplayServer, net::kUsageContainer, "\\\\" + machine);
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

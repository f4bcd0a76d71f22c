#include "AheadResolver.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

namespace vexor {

struct AheadResolver::State {
    struct Entry {
        std::string name;
        SteadyTime deadline;
        bool started = false;
        bool done = false;
        Answer answer;
    };

    State(Lookup lookup, const IClock& clock) : lookup(std::move(lookup)), clock(clock) {}

    // Looks `entry` up here and publishes its answer, unless the deadline
    // passed first: the name is then already answered as having no address.
    void Run(const std::shared_ptr<Entry>& entry) {
        Answer answer;
        try {
            answer = lookup(entry->name, entry->deadline);
        } catch (...) {
            // A lookup that fails is a name with no address.
            answer = {entry->name, {}};
        }
        {
            const std::lock_guard lock(mutex);
            if (!entry->done && clock.Now() < entry->deadline) {
                entry->answer = std::move(answer);
                entry->done = true;
            }
        }
        changed.notify_all();
    }

    void Work() {
        std::unique_lock lock(mutex);
        for (;;) {
            work.wait(lock, [&] { return stopping || !queue.empty(); });
            if (stopping) {
                --workers;
                return;
            }
            const std::shared_ptr<Entry> entry = std::move(queue.front());
            queue.pop_front();
            // A name whose deadline passed in the queue is not asked at all.
            if (entry->started || entry->done || clock.Now() >= entry->deadline) {
                continue;
            }
            entry->started = true;
            --idle;
            lock.unlock();
            Run(entry);
            lock.lock();
            ++idle;
        }
    }

    // The deadline of a name asked now.
    SteadyTime DeadlineNow() const {
        const SteadyTime now = clock.Now();
        return now < roundDeadline ? roundDeadline : now + kLoneBound;
    }

    // Queues `entry` and makes sure a worker will take it; false when no
    // thread can be had.
    bool Queue(const std::shared_ptr<Entry>& entry) {
        queue.push_back(entry);
        if (idle < queue.size() && workers < kMaxInFlight) {
            try {
                // Workers hold the state: one still in a lookup when the
                // resolver goes ends by itself.
                std::thread([keep = self.lock()] { keep->Work(); }).detach();
                ++workers;
                ++idle;
            } catch (const std::system_error&) {
                return workers > 0;
            }
        }
        return true;
    }

    const Lookup lookup;
    const IClock& clock;
    std::weak_ptr<State> self;
    std::mutex mutex;
    // Signalled when an answer is in; `work` when the queue has a name.
    std::condition_variable changed;
    std::condition_variable work;
    std::map<std::string, std::shared_ptr<Entry>> entries;
    std::deque<std::shared_ptr<Entry>> queue;
    SteadyTime roundDeadline = SteadyTime::min();
    std::size_t workers = 0;
    std::size_t idle = 0;
    bool stopping = false;
};

AheadResolver::AheadResolver(Lookup lookup, const IClock& clock)
    : state_(std::make_shared<State>(std::move(lookup), clock)) {
    state_->self = state_;
}

AheadResolver::~AheadResolver() {
    {
        const std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->work.notify_all();
}

AheadResolver::Answer AheadResolver::Resolve(const std::string& name) {
    if (name.empty()) {
        return {};
    }
    State& state = *state_;
    std::unique_lock lock(state.mutex);
    const std::string key = AsciiLower(name);
    auto found = state.entries.find(key);
    if (found == state.entries.end()) {
        if (state.entries.size() >= kMaxNames) {
            return {name, {}};
        }
        auto entry = std::make_shared<State::Entry>();
        entry->name = name;
        entry->deadline = state.DeadlineNow();
        found = state.entries.emplace(key, entry).first;
        if (!state.Queue(entry)) {
            // No thread to be had: this caller asks, bounded as the lookup allows.
            entry->started = true;
            lock.unlock();
            state.Run(entry);
            lock.lock();
        }
        state.work.notify_one();
    }
    const std::shared_ptr<State::Entry> entry = found->second;
    state.clock.WaitUntil(lock, state.changed, entry->deadline, [&] { return entry->done; });
    if (!entry->done) {
        // Abandoned at the deadline: the name has no address in this refresh.
        entry->answer = {entry->name, {}};
        entry->done = true;
    }
    return entry->answer;
}

void AheadResolver::Prefetch(const std::string& name) {
    if (name.empty()) {
        return;
    }
    State& state = *state_;
    {
        const std::lock_guard lock(state.mutex);
        const std::string key = AsciiLower(name);
        if (state.entries.contains(key) || state.entries.size() >= kMaxNames) {
            return;
        }
        const auto entry = std::make_shared<State::Entry>();
        entry->name = name;
        entry->deadline = state.DeadlineNow();
        state.entries.emplace(key, entry);
        // Without a thread the name is resolved when it is asked for.
        if (!state.Queue(entry)) {
            state.entries.erase(key);
            state.queue.pop_back();
        }
    }
    state.work.notify_one();
}

bool AheadResolver::Known(const std::string& name) const {
    const std::lock_guard lock(state_->mutex);
    return state_->entries.contains(AsciiLower(name));
}

void AheadResolver::NewRound(SteadyTime deadline) {
    const std::lock_guard lock(state_->mutex);
    state_->roundDeadline = deadline;
    // Lookups of the last refresh still running are abandoned with it.
    state_->entries.clear();
    state_->queue.clear();
}

} // namespace vexor

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
        bool started = false;
        bool done = false;
        Answer answer;
    };

    explicit State(Lookup lookup) : lookup(std::move(lookup)) {}

    // Runs the lookup for `entry` here and publishes its answer.
    Answer Run(const std::string& name, const std::shared_ptr<Entry>& entry) {
        Answer answer;
        try {
            answer = lookup(name);
        } catch (...) {
            // A lookup that fails is a name with no address.
            answer = {name, {}};
        }
        {
            const std::lock_guard lock(mutex);
            entry->answer = answer;
            entry->done = true;
        }
        changed.notify_all();
        return answer;
    }

    void Work() {
        std::unique_lock lock(mutex);
        for (;;) {
            work.wait(lock, [&] { return stopping || !queue.empty(); });
            if (stopping) {
                --workers;
                return;
            }
            auto [name, entry] = std::move(queue.front());
            queue.pop_front();
            if (entry->started) {
                continue;
            }
            entry->started = true;
            --idle;
            lock.unlock();
            Run(name, entry);
            lock.lock();
            ++idle;
        }
    }

    const Lookup lookup;
    std::mutex mutex;
    // Signalled when an answer is in; `work` when the queue has a name.
    std::condition_variable changed;
    std::condition_variable work;
    std::map<std::string, std::shared_ptr<Entry>> entries;
    std::deque<std::pair<std::string, std::shared_ptr<Entry>>> queue;
    std::size_t workers = 0;
    std::size_t idle = 0;
    bool stopping = false;
};

AheadResolver::AheadResolver(Lookup lookup) : state_(std::make_shared<State>(std::move(lookup))) {}

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
            lock.unlock();
            return state.Run(name, std::make_shared<State::Entry>());
        }
        found = state.entries.emplace(key, std::make_shared<State::Entry>()).first;
    }
    const std::shared_ptr<State::Entry> entry = found->second;
    if (entry->started || entry->done) {
        state.changed.wait(lock, [&] { return entry->done; });
        return entry->answer;
    }
    // Not asked yet, or still waiting in the queue: this caller asks now.
    entry->started = true;
    lock.unlock();
    return state.Run(name, entry);
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
        state.entries.emplace(key, entry);
        state.queue.emplace_back(name, entry);
        if (state.idle < state.queue.size() && state.workers < kMaxInFlight) {
            try {
                // Workers hold the state: one still in a lookup when the
                // resolver goes ends by itself.
                std::thread([keep = state_] { keep->Work(); }).detach();
                ++state.workers;
                ++state.idle;
            } catch (const std::system_error&) {
                // No thread to be had: the name is resolved when it is asked for.
            }
        }
    }
    state.work.notify_one();
}

bool AheadResolver::Known(const std::string& name) const {
    const std::lock_guard lock(state_->mutex);
    return state_->entries.contains(AsciiLower(name));
}

void AheadResolver::NewRound() {
    const std::lock_guard lock(state_->mutex);
    std::erase_if(state_->entries, [](const auto& item) { return item.second->done; });
}

} // namespace vexor

#include "QueryEngine.h"

#include "base/RandomBits.h"

#include <algorithm>
#include <deque>

namespace vexor {

struct QueryEngine::State {
    enum class Status { Open, Settled, GivenUp };

    struct Entry {
        Query query;
        Status status = Status::Open;
        // Sends made so far; the first sets where the schedule runs from.
        std::size_t sends = 0;
        SteadyTime first;
        SteadyTime giveUpAt = SteadyTime::max();
    };

    State(IDatagramSocket& socket, const IClock& clock, SteadyTime deadline, QueryPacing pacing)
        : socket(socket), clock(clock), deadline(deadline), pacing(pacing) {}

    // When `entry` is next sent; max when all its sends are made.
    SteadyTime NextSend(const Entry& entry) const {
        const auto& sends = entry.query.schedule.sends;
        if (entry.sends >= sends.size()) {
            return SteadyTime::max();
        }
        if (entry.sends == 0) {
            return SteadyTime::min();
        }
        return entry.first + sends[entry.sends];
    }

    // Datagrams still allowed in the pacing window that holds `now`.
    std::size_t Allowance(SteadyTime now) {
        while (!recent.empty() && recent.front() + pacing.window <= now) {
            recent.pop_front();
        }
        return recent.size() >= pacing.datagrams ? 0 : pacing.datagrams - recent.size();
    }

    void Send(Entry& entry, SteadyTime now) {
        for (const QueryTarget& target : entry.query.targets) {
            socket.SendTo(entry.query.bytes, target.to, target.via);
            recent.push_back(now);
            ++sent;
        }
        if (entry.sends++ == 0) {
            entry.first = now;
        }
        if (entry.sends >= entry.query.schedule.sends.size()) {
            const auto after = entry.query.schedule.giveUpAfterLast;
            // A question answered until the deadline has no time of its own.
            entry.giveUpAt = after >= std::chrono::duration_cast<std::chrono::milliseconds>(
                                          SteadyTime::max() - now)
                                 ? SteadyTime::max()
                                 : now + after;
        }
    }

    // Sends what is due, as far as the pacing allows; when it holds sends
    // back, `paced` is when room is made next.
    void SendDue(SteadyTime now) {
        paced = SteadyTime::max();
        for (std::size_t i = 0; i < entries.size(); ++i) {
            Entry& entry = entries[i];
            if (entry.status != Status::Open || NextSend(entry) > now) {
                continue;
            }
            const std::size_t allowed = Allowance(now);
            // A question with more targets than a window holds still goes,
            // alone in an empty window.
            if (allowed == 0 || (allowed < entry.query.targets.size() && !recent.empty())) {
                paced = recent.front() + pacing.window;
                return;
            }
            Send(entry, now);
        }
    }

    void GiveUpDue(SteadyTime now) {
        for (Entry& entry : entries) {
            if (entry.status == Status::Open && entry.giveUpAt <= now) {
                entry.status = Status::GivenUp;
                --open;
            }
        }
    }

    SteadyTime NextEvent(SteadyTime now) const {
        SteadyTime next = paced;
        for (const Entry& entry : entries) {
            if (entry.status == Status::Open) {
                // A send already due waits only for the pacing.
                const SteadyTime send = NextSend(entry) <= now ? paced : NextSend(entry);
                next = std::min({next, send, entry.giveUpAt});
            }
        }
        return next;
    }

    // Hands a port unreachable to the first open question sent to that
    // endpoint; an unreachable for anything not asked is dropped.
    void OfferUnreachable(const UdpEndpoint& from) {
        for (Entry& entry : entries) {
            if (entry.status != Status::Open || entry.sends == 0 || !entry.query.unreachable) {
                continue;
            }
            const bool asked = std::any_of(entry.query.targets.begin(), entry.query.targets.end(),
                                           [&](const QueryTarget& target) {
                                               return target.to.address == from.address &&
                                                      target.to.port == from.port;
                                           });
            if (!asked) {
                continue;
            }
            const Reply reply = entry.query.unreachable(from);
            if (reply == Reply::NotMine) {
                continue;
            }
            if (reply == Reply::Settles && entry.status == Status::Open) {
                entry.status = Status::Settled;
                --open;
            }
            return;
        }
        ++dropped;
    }

    void Offer(const Datagram& datagram) {
        if (datagram.unreachable) {
            OfferUnreachable(datagram.from);
            return;
        }
        // Matchers may ask follow-up questions: entries grow as this runs.
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].status != Status::Open || entries[i].sends == 0) {
                continue;
            }
            const Reply reply = entries[i].query.match(datagram);
            if (reply == Reply::NotMine) {
                continue;
            }
            if (reply == Reply::Settles && entries[i].status == Status::Open) {
                entries[i].status = Status::Settled;
                --open;
            }
            return;
        }
        ++dropped;
    }

    IDatagramSocket& socket;
    const IClock& clock;
    const SteadyTime deadline;
    const QueryPacing pacing;
    // A deque keeps entries in place while a matcher adds one.
    std::deque<Entry> entries;
    std::deque<SteadyTime> recent;
    SteadyTime paced = SteadyTime::max();
    std::size_t open = 0;
    bool stopped = false;
    std::size_t dropped = 0;
    std::size_t sent = 0;
};

QueryEngine::QueryEngine(IDatagramSocket& socket, const IClock& clock, SteadyTime deadline,
                         QueryPacing pacing)
    : state_(std::make_unique<State>(socket, clock, deadline, pacing)) {}

QueryEngine::~QueryEngine() = default;

QueryEngine::QueryId QueryEngine::Ask(Query query) {
    State::Entry entry;
    entry.query = std::move(query);
    if (entry.query.schedule.sends.empty()) {
        entry.query.schedule.sends.push_back(std::chrono::milliseconds(0));
    }
    if (!entry.query.match) {
        entry.query.match = [](const Datagram&) { return Reply::NotMine; };
    }
    state_->entries.push_back(std::move(entry));
    ++state_->open;
    return state_->entries.size() - 1;
}

void QueryEngine::Run() {
    State& state = *state_;
    for (;;) {
        const SteadyTime now = state.clock.Now();
        if (now >= state.deadline || state.stopped) {
            return;
        }
        state.SendDue(now);
        state.GiveUpDue(now);
        if (state.open == 0) {
            return;
        }
        const SteadyTime wake = std::min(state.NextEvent(now), state.deadline);
        if (auto datagram = state.socket.ReceiveUntil(wake)) {
            state.Offer(*datagram);
        }
    }
}

void QueryEngine::Stop() {
    state_->stopped = true;
}

bool QueryEngine::Settled(QueryId id) const {
    return id < state_->entries.size() && state_->entries[id].status == State::Status::Settled;
}

std::size_t QueryEngine::Open() const {
    return state_->open;
}

std::size_t QueryEngine::Dropped() const {
    return state_->dropped;
}

std::size_t QueryEngine::Sent() const {
    return state_->sent;
}

std::uint16_t NewQueryId() {
    return static_cast<std::uint16_t>(RandomBetween(1, 0xFFFF));
}

} // namespace vexor

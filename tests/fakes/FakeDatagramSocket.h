#pragma once

#include "FakeClock.h"
#include "seams/DiscoverySeams.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <vector>

namespace vexor::fakes {

// A datagram socket on a scripted link that runs on a fake clock. Each
// datagram sent is handed to `respond`, which returns the replies and how long
// after the send each arrives. ReceiveUntil moves the clock to the next reply
// due by the deadline and returns it, or moves the clock to the deadline.
class FakeDatagramSocket : public IDatagramSocket {
  public:
    struct Sent {
        std::vector<std::uint8_t> bytes;
        UdpEndpoint to;
        Ipv4 via{};
        SteadyTime at;
    };
    struct Delayed {
        std::chrono::nanoseconds after{0};
        Datagram datagram;
    };
    using Responder = std::function<std::vector<Delayed>(const Sent& sent)>;

    explicit FakeDatagramSocket(FakeClock& clock, Responder respond = {})
        : clock_(clock), respond_(std::move(respond)) {}

    bool SendTo(std::span<const std::uint8_t> bytes, const UdpEndpoint& to,
                const Ipv4& via) override {
        Sent sent{{bytes.begin(), bytes.end()}, to, via, clock_.Now()};
        std::vector<Delayed> replies = respond_ ? respond_(sent) : std::vector<Delayed>{};
        const std::lock_guard lock(mutex_);
        for (Delayed& reply : replies) {
            queue_.insert({sent.at + reply.after, order_++, std::move(reply.datagram)});
        }
        sent_.push_back(std::move(sent));
        return sendResult;
    }

    std::optional<Datagram> ReceiveUntil(SteadyTime deadline) override {
        std::unique_lock lock(mutex_);
        ++receives_;
        if (queue_.empty() || queue_.begin()->at > deadline) {
            lock.unlock();
            clock_.AdvanceTo(deadline);
            return std::nullopt;
        }
        Arrival arrival = std::move(queue_.extract(queue_.begin()).value());
        lock.unlock();
        clock_.AdvanceTo(arrival.at);
        return std::move(arrival.datagram);
    }

    // A datagram that arrives `after` from now, asked for or not.
    void Deliver(Datagram datagram, std::chrono::nanoseconds after = {}) {
        const auto at = clock_.Now() + after;
        const std::lock_guard lock(mutex_);
        queue_.insert({at, order_++, std::move(datagram)});
    }

    std::vector<Sent> sent() const {
        const std::lock_guard lock(mutex_);
        return sent_;
    }
    std::size_t pending() const {
        const std::lock_guard lock(mutex_);
        return queue_.size();
    }
    std::size_t receives() const {
        const std::lock_guard lock(mutex_);
        return receives_;
    }

    bool sendResult = true;

  private:
    struct Arrival {
        SteadyTime at;
        std::size_t order = 0;
        Datagram datagram;
        bool operator<(const Arrival& other) const {
            return at != other.at ? at < other.at : order < other.order;
        }
    };

    FakeClock& clock_;
    Responder respond_;
    mutable std::mutex mutex_;
    std::vector<Sent> sent_;
    std::set<Arrival> queue_;
    std::size_t order_ = 0;
    std::size_t receives_ = 0;
};

} // namespace vexor::fakes

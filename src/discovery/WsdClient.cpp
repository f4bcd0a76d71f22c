#include "WsdClient.h"

#include "TaskPool.h"
#include "WsdMessages.h"

#include <algorithm>
#include <map>
#include <set>

namespace vexor {
namespace {

using Clock = std::chrono::steady_clock;

// The most a metadata response may hold.
constexpr std::size_t kMaxMetadataBytes = 1024 * 1024;

std::span<const std::uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// A multicast message sent on every interface, and sent again once after the
// repeat delay, since UDP may lose either copy. A Resolve has one device to
// answer it: once its answer is in, nothing was lost and the repeat is left out,
// which spares every device on the link one more message to read per device,
// and the exchange no longer waits for other answers to it.
struct Multicast {
    std::string id;
    std::string message;
    Clock::time_point repeatAt;
    Clock::time_point answersUntil;
    bool oneAnswer = false;
    bool repeated = false;
    bool answered = false;
};

class Exchange {
  public:
    Exchange(const DiscoverySeams& seams, IDatagramSocket& socket, std::vector<Ipv4> interfaces,
             const FoundSink& found, Clock::time_point deadline, const WsdTiming& timing)
        : seams_(seams), socket_(socket), interfaces_(std::move(interfaces)), found_(found),
          deadline_(deadline), timing_(timing), gets_(timing.parallelGets) {}

    void Run() {
        const std::string probeId = NewMessageId();
        Send(probeId, WsdProbe(probeId), false);
        for (;;) {
            const auto now = Clock::now();
            RepeatDue(now);
            const auto stop = std::min(ListenUntil(), deadline_);
            if (now >= stop) {
                break;
            }
            if (auto datagram = socket_.ReceiveUntil(std::min(stop, NextRepeat()))) {
                Handle(*datagram);
            }
        }
        // Every Get ends by the deadline: its limit is cut to what is left.
        gets_.Wait();
    }

  private:
    struct Device {
        bool resolveSent = false;
        bool fetched = false;
    };

    void Send(const std::string& id, std::string message, bool oneAnswer) {
        ours_.insert(id);
        for (const Ipv4& via : interfaces_) {
            socket_.SendTo(Bytes(message), {kWsdGroup, kWsdPort}, via);
        }
        const auto now = Clock::now();
        sent_.push_back({id, std::move(message), now + timing_.repeatDelay,
                         now + timing_.repeatDelay + timing_.answerWindow, oneAnswer});
    }

    Clock::time_point ListenUntil() const {
        auto until = Clock::time_point::min();
        for (const Multicast& multicast : sent_) {
            if (!multicast.answered) {
                until = std::max(until, multicast.answersUntil);
            }
        }
        return until;
    }

    void RepeatDue(Clock::time_point now) {
        for (Multicast& multicast : sent_) {
            if (!multicast.repeated && multicast.repeatAt <= now) {
                multicast.repeated = true;
                for (const Ipv4& via : interfaces_) {
                    socket_.SendTo(Bytes(multicast.message), {kWsdGroup, kWsdPort}, via);
                }
            }
        }
    }

    Clock::time_point NextRepeat() const {
        auto next = Clock::time_point::max();
        for (const Multicast& multicast : sent_) {
            if (!multicast.repeated) {
                next = std::min(next, multicast.repeatAt);
            }
        }
        return next;
    }

    void Handle(const Datagram& datagram) {
        const std::string_view text(reinterpret_cast<const char*>(datagram.bytes.data()),
                                    datagram.bytes.size());
        const auto reply = ParseWsdReply(seams_.xml, text);
        // Responders send each reply more than once; only the first counts.
        if (!reply || !ours_.contains(reply->relatesTo) ||
            !seenMessages_.insert(reply->messageId).second) {
            return;
        }
        for (Multicast& multicast : sent_) {
            if (multicast.oneAnswer && multicast.id == reply->relatesTo) {
                multicast.repeated = true;
                multicast.answered = true;
            }
        }
        for (const WsdMatch& match : reply->matches) {
            // A device is its endpoint as spoken for by one sender: a peer that
            // claims another device's endpoint does not hide that device.
            const auto key = std::make_pair(match.endpoint, datagram.from.address);
            auto at = devices_.find(key);
            if (at == devices_.end()) {
                if (devices_.size() >= timing_.maxDevices) {
                    continue;
                }
                at = devices_.emplace(key, Device{}).first;
            }
            Device& device = at->second;
            if (device.fetched) {
                continue;
            }
            if (const auto xaddr = UsableXaddr(match.xaddrs, datagram.from.address)) {
                device.fetched = true;
                Fetch(*xaddr, match.endpoint, datagram.from.address);
            } else if (match.xaddrs.empty() && !device.resolveSent) {
                // A device that named no address is asked for it; one that named
                // only addresses elsewhere is not followed.
                device.resolveSent = true;
                // The answer comes from the same sender, under the same key.
                const std::string resolveId = NewMessageId();
                Send(resolveId, WsdResolve(resolveId, match.endpoint), true);
            }
        }
    }

    void Fetch(const std::string& xaddr, const std::string& endpoint, const Ipv4& from) {
        gets_.Submit([this, xaddr, endpoint, from] {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
            const auto limit = std::min(timing_.getLimit, left);
            if (limit.count() <= 0) {
                return;
            }
            const auto response = seams_.post(xaddr, WsdGetMetadata(NewMessageId(), endpoint),
                                              limit, kMaxMetadataBytes);
            const auto computer =
                response ? ParseMetadataComputer(seams_.xml, *response) : std::nullopt;
            if (computer) {
                WsdComputer parsed = ParseComputerText(*computer);
                found_({MachineSource::WsDiscovery, std::move(parsed.name),
                        std::move(parsed.workgroup), from});
            }
        });
    }

    const DiscoverySeams& seams_;
    IDatagramSocket& socket_;
    const std::vector<Ipv4> interfaces_;
    const FoundSink& found_;
    const Clock::time_point deadline_;
    const WsdTiming& timing_;
    std::set<std::string> ours_;
    std::set<std::string> seenMessages_;
    std::map<std::pair<std::string, Ipv4>, Device> devices_;
    std::vector<Multicast> sent_;
    // Declared last: destroyed first, so no Get outlives what it uses.
    TaskPool gets_;
};

} // namespace

void DiscoverWsdComputers(const DiscoverySeams& seams, const FoundSink& found,
                          Clock::time_point deadline, const WsdTiming& timing) {
    if (auto link = OpenMulticastLink(seams)) {
        Exchange(seams, *link->socket, std::move(link->interfaces), found, deadline, timing).Run();
    }
}

} // namespace vexor

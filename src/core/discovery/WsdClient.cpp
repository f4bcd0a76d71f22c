#include "WsdClient.h"

#include "SeenMessages.h"
#include "TaskPool.h"
#include "WsdMessages.h"

#include <algorithm>
#include <map>
#include <set>

namespace vexor {
namespace {

// The most a metadata response may hold.
constexpr std::size_t kMaxMetadataBytes = 1024 * 1024;

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

class Exchange {
  public:
    Exchange(const DiscoverySeams& seams, IDatagramSocket& socket,
             const std::vector<Ipv4>& interfaces, const FoundSink& found, SteadyTime deadline,
             const WsdTiming& timing)
        : seams_(seams), clock_(*seams.clock), engine_(socket, clock_, deadline), found_(found),
          deadline_(deadline), timing_(timing), seenMessages_(timing.seenMessages),
          gets_(timing.parallelGets) {
        for (const Ipv4& via : interfaces) {
            targets_.push_back({{kWsdGroup, kWsdPort}, via});
        }
    }

    void Run() {
        const std::string probeId = NewMessageId();
        Send(probeId, WsdProbe(probeId), false);
        engine_.Run();
        // Every Get ends by the deadline: its limit is cut to what is left.
        gets_.Wait();
    }

  private:
    struct Device {
        bool resolveSent = false;
        bool fetched = false;
    };

    // A Probe has many answers and is listened to until it is given up; a
    // Resolve has one device to answer it, and once its answer is in nothing
    // was lost: its repeat is left out, sparing every device on the link one
    // more message to read.
    void Send(const std::string& id, const std::string& message, bool oneAnswer) {
        engine_.Ask({Bytes(message), targets_, timing_.schedule,
                     [this, id, oneAnswer](const Datagram& datagram) {
                         const WsdReply* reply = Parsed(datagram);
                         if (reply == nullptr || reply->relatesTo != id) {
                             return Reply::NotMine;
                         }
                         Handle(*reply, datagram.from.address);
                         return oneAnswer ? Reply::Settles : Reply::Taken;
                     }});
    }

    // The datagram read as a reply once, however many questions it is
    // offered to.
    const WsdReply* Parsed(const Datagram& datagram) {
        if (datagram.bytes != lastBytes_) {
            lastBytes_ = datagram.bytes;
            const std::string_view text(reinterpret_cast<const char*>(datagram.bytes.data()),
                                        datagram.bytes.size());
            lastReply_ = ParseWsdReply(seams_.xml, text);
        }
        return lastReply_ ? &*lastReply_ : nullptr;
    }

    void Handle(const WsdReply& reply, const Ipv4& from) {
        // Responders send each reply more than once; only the first counts.
        if (!seenMessages_.Insert(reply.messageId)) {
            return;
        }
        for (const WsdMatch& match : reply.matches) {
            // A device is its endpoint as spoken for by one sender: a peer that
            // claims another device's endpoint does not hide that device.
            const auto key = std::make_pair(match.endpoint, from);
            auto at = devices_.find(key);
            if (at == devices_.end()) {
                std::size_t& share = shares_[from];
                if (share >= timing_.perSender || devices_.size() >= timing_.maxDevices) {
                    continue;
                }
                ++share;
                at = devices_.emplace(key, Device{}).first;
            }
            Device& device = at->second;
            if (device.fetched) {
                continue;
            }
            if (const auto xaddr = UsableXaddr(match.xaddrs, from)) {
                device.fetched = true;
                Fetch(*xaddr, match.endpoint, from);
            } else if (match.xaddrs.empty() && !device.resolveSent) {
                // A device that named no address is asked for it; one that named
                // only addresses elsewhere is not followed.
                device.resolveSent = true;
                const std::string resolveId = NewMessageId();
                Send(resolveId, WsdResolve(resolveId, match.endpoint), true);
            }
        }
    }

    void Fetch(const std::string& xaddr, const std::string& endpoint, const Ipv4& from) {
        gets_.Submit([this, xaddr, endpoint, from] {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - clock_.Now());
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
    const IClock& clock_;
    QueryEngine engine_;
    std::vector<QueryTarget> targets_;
    const FoundSink& found_;
    const SteadyTime deadline_;
    const WsdTiming& timing_;
    std::vector<std::uint8_t> lastBytes_;
    std::optional<WsdReply> lastReply_;
    SeenMessages seenMessages_;
    std::map<std::pair<std::string, Ipv4>, Device> devices_;
    // Devices taken from each sender.
    std::map<Ipv4, std::size_t> shares_;
    // Declared last: destroyed first, so no Get outlives what it uses.
    TaskPool gets_;
};

} // namespace

void DiscoverWsdComputers(const DiscoverySeams& seams, const FoundSink& found, SteadyTime deadline,
                          const WsdTiming& timing) {
    if (auto link = OpenMulticastLink(seams)) {
        Exchange(seams, *link->socket, link->interfaces, found, deadline, timing).Run();
    }
}

} // namespace vexor

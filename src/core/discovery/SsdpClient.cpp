#include "SsdpClient.h"

#include "QueryEngine.h"
#include "SsdpDescription.h"
#include "SsdpMessages.h"
#include "TaskPool.h"
#include "WsdMessages.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>

namespace vexor {
namespace {

using Clock = std::chrono::steady_clock;

// Answers read after the window: a few datagrams of each device, and a
// flood's worth, but never an endless stream.
constexpr std::size_t kMaxLateAnswers = 4096;

// Loopback, unspecified and multicast addresses are no device on the link.
bool IsPeerAddress(const Ipv4& address) {
    return address[0] != 0 && address[0] != 127 && address[0] < 224;
}

// One answering address and the descriptions it offered, in answer order.
struct Sender {
    enum class Fetch { Pending, Unnamed, Named };
    struct Description {
        std::string location;
        Fetch state = Fetch::Pending;
        std::string name;
        // When its fetch's limit passes; a backend that overruns it is not
        // waited for.
        SteadyTime overAt = SteadyTime::max();
    };
    std::vector<Description> descriptions;
    bool reported = false;
};

class Exchange {
  public:
    Exchange(const DiscoverySeams& seams, IDatagramSocket& socket, std::vector<Ipv4> interfaces,
             const FoundSink& found, Clock::time_point deadline, const SsdpTiming& timing)
        : seams_(seams), socket_(socket), interfaces_(std::move(interfaces)), found_(found),
          deadline_(deadline), timing_(timing), clock_(*seams.clock), gets_(timing.parallelGets) {}

    void Run() {
        const std::string search = SsdpSearch(timing_.maxWaitSeconds);
        std::vector<QueryTarget> targets;
        for (const Ipv4& via : interfaces_) {
            targets.push_back({{kSsdpGroup, kSsdpPort}, via});
        }
        const std::chrono::milliseconds answersFor = std::chrono::seconds(timing_.maxWaitSeconds);
        QueryEngine engine(socket_, clock_, deadline_);
        engine.Ask({{search.begin(), search.end()},
                    std::move(targets),
                    {{std::chrono::milliseconds(0), timing_.repeatDelay},
                     answersFor - timing_.repeatDelay},
                    [this](const Datagram& datagram) { return Handle(datagram); }});
        engine.Run();
        // Answers that came within the window but wait unread (a slow socket
        // layer behind a flood reads them late) still count, until the deadline.
        for (std::size_t read = 0; read < kMaxLateAnswers && clock_.Now() < deadline_; ++read) {
            const auto datagram = socket_.ReceiveUntil(clock_.Now());
            if (!datagram) {
                break;
            }
            if (!datagram->unreachable) {
                Handle(*datagram);
            }
        }
        std::unique_lock lock(mutex_);
        listening_ = false;
        SettleAll();
        Report(lock);
        // Each fetch is given until its limit, cut to the deadline; one that
        // overruns it is counted as failed, and left behind.
        for (;;) {
            fetchEnded_ = false;
            const SteadyTime now = clock_.Now();
            SteadyTime next = deadline_;
            bool pending = false;
            for (auto& [address, sender] : senders_) {
                for (Sender::Description& description : sender.descriptions) {
                    if (description.state != Sender::Fetch::Pending) {
                        continue;
                    }
                    if (description.overAt <= now) {
                        description.state = Sender::Fetch::Unnamed;
                    } else {
                        pending = true;
                        next = std::min(next, description.overAt);
                    }
                }
            }
            SettleAll();
            Report(lock);
            if (!pending || now >= deadline_) {
                break;
            }
            clock_.WaitUntil(lock, changed_, next, [this] { return fetchEnded_; });
        }
        SettleAll(true);
        Report(lock);
    }

  private:
    Reply Handle(const Datagram& datagram) {
        const auto answer = ParseSsdpAnswer(
            {reinterpret_cast<const char*>(datagram.bytes.data()), datagram.bytes.size()});
        if (!answer) {
            return Reply::NotMine;
        }
        const Ipv4& from = datagram.from.address;
        const std::lock_guard lock(mutex_);
        auto at = senders_.find(from);
        if (at == senders_.end()) {
            if (!IsPeerAddress(from) || senders_.size() >= timing_.maxSenders) {
                return Reply::Taken;
            }
            at = senders_.emplace(from, Sender{}).first;
        }
        Sender& sender = at->second;
        // A description elsewhere than at the sender is never fetched: a peer
        // cannot send the client's requests to another machine or to itself.
        if (answer->location.empty() || !UsableXaddr({answer->location}, from) ||
            sender.descriptions.size() >= timing_.descriptionsPerSender ||
            std::any_of(sender.descriptions.begin(), sender.descriptions.end(),
                        [&](const Sender::Description& known) {
                            return known.location == answer->location;
                        })) {
            return Reply::Taken;
        }
        sender.descriptions.push_back({answer->location, Sender::Fetch::Pending, {}});
        Fetch(from, sender.descriptions.size() - 1, answer->location);
        return Reply::Taken;
    }

    void Fetch(const Ipv4& from, std::size_t index, const std::string& location) {
        gets_.Submit([this, from, index, location] {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - clock_.Now());
            const auto limit = std::min(timing_.getLimit, left);
            {
                const std::lock_guard lock(mutex_);
                senders_.at(from).descriptions[index].overAt = clock_.Now() + limit;
            }
            std::optional<std::string> name;
            if (limit.count() > 0) {
                if (const auto body = seams_.get(location, limit, kMaxDescriptionBytes)) {
                    if (const auto friendly = ReadFriendlyName(seams_.xml, *body)) {
                        name = CleanNetworkName(*friendly);
                    }
                }
            }
            std::unique_lock lock(mutex_);
            Sender& sender = senders_.at(from);
            Sender::Description& description = sender.descriptions[index];
            // A fetch already given up stays so.
            if (description.state == Sender::Fetch::Pending) {
                description.state = name ? Sender::Fetch::Named : Sender::Fetch::Unnamed;
                description.name = name.value_or("");
                Settle(from, sender);
            }
            fetchEnded_ = true;
            changed_.notify_all();
            Report(lock);
        });
    }

    void SettleAll(bool last = false) {
        for (auto& [address, sender] : senders_) {
            Settle(address, sender, last);
        }
    }

    // Reports `sender` once its name is known: the first description in answer
    // order that named it, once every one before it has failed to; an empty
    // name once none can, after the answers' time. At the end (`last`) the
    // first name fetched by then counts.
    void Settle(const Ipv4& address, Sender& sender, bool last = false) {
        if (sender.reported) {
            return;
        }
        std::string name;
        bool known = true;
        for (const Sender::Description& description : sender.descriptions) {
            if (description.state == Sender::Fetch::Named) {
                name = description.name;
                break;
            }
            if (description.state == Sender::Fetch::Pending && !last) {
                known = false;
                break;
            }
        }
        if (!known || (name.empty() && listening_ && !last)) {
            return;
        }
        sender.reported = true;
        settled_.push_back({MachineSource::Ssdp, std::move(name), {}, address});
    }

    // Reports what was settled, outside the lock: a sink may take its time,
    // and answers must go on being read meanwhile.
    void Report(std::unique_lock<std::mutex>& lock) {
        std::vector<FoundMachine> ready;
        ready.swap(settled_);
        lock.unlock();
        for (FoundMachine& machine : ready) {
            found_(std::move(machine));
        }
        lock.lock();
    }

    const DiscoverySeams& seams_;
    IDatagramSocket& socket_;
    const std::vector<Ipv4> interfaces_;
    const FoundSink& found_;
    const Clock::time_point deadline_;
    const SsdpTiming& timing_;
    const IClock& clock_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool fetchEnded_ = false;
    std::vector<FoundMachine> settled_;
    std::map<Ipv4, Sender> senders_;
    bool listening_ = true;
    // Declared last: destroyed first, so no fetch outlives what it uses.
    TaskPool gets_;
};

} // namespace

void DiscoverSsdpDevices(const DiscoverySeams& seams, const FoundSink& found,
                         Clock::time_point deadline, const SsdpTiming& timing) {
    if (auto link = OpenMulticastLink(seams)) {
        Exchange(seams, *link->socket, std::move(link->interfaces), found, deadline, timing).Run();
    }
}

} // namespace vexor

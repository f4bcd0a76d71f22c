#include "DnsSdBrowser.h"

#include "DnsCodec.h"
#include "DnsSdAnswer.h"

#include <map>
#include <set>

namespace vexor {
namespace {

constexpr Ipv4 kMdnsGroup{224, 0, 0, 251};
constexpr std::uint16_t kMdnsPort = 5353;

class Browse {
  public:
    Browse(IDatagramSocket& socket, const IClock& clock, const std::vector<Ipv4>& interfaces,
           const FoundSink& found, SteadyTime deadline, const DnsSdTiming& timing)
        : engine_(socket, clock, deadline), found_(found), timing_(timing) {
        for (const Ipv4& via : interfaces) {
            targets_.push_back({{kMdnsGroup, kMdnsPort}, via});
        }
    }

    void Run() {
        for (const char* type : kDnsSdMachineTypes) {
            Ask(std::string(type) + ".local", dns::kTypePtr);
        }
        engine_.Run();
    }

  private:
    void Ask(const std::string& name, std::uint16_t type) {
        if (asked_.size() >= timing_.maxServices * 2 + 8 ||
            !asked_.insert({AsciiLower(name), type}).second) {
            return;
        }
        const std::uint16_t id = NewQueryId();
        engine_.Ask({dns::Query(id, name, type), targets_, timing_.schedule,
                     [this, id, name, type](const Datagram& datagram) {
                         return Handle(datagram, id, name, type);
                     }});
    }

    Reply Handle(const Datagram& datagram, std::uint16_t id, const std::string& name,
                 std::uint16_t type) {
        // Responders answer a one-shot query from their own port, echoing its id.
        if (datagram.from.port != kMdnsPort) {
            return Reply::NotMine;
        }
        const auto message = dns::Read(datagram.bytes, {id, true});
        if (!message) {
            return Reply::NotMine;
        }
        for (const auto* section : {&message->answers, &message->authority, &message->additional}) {
            for (const dns::Record& record : *section) {
                Take(record);
            }
        }
        FollowUp();
        // A PTR question has no last answer: it is asked until its repeats are
        // done. A SRV or A question is settled by its answer.
        const std::string key = AsciiLower(name);
        if ((type == dns::kTypeSrv && services_.contains(key)) ||
            (type == dns::kTypeA && addresses_.contains(key))) {
            return Reply::Settles;
        }
        return Reply::Taken;
    }

    void Take(const dns::Record& record) {
        if (record.klass != dns::kClassIn) {
            return;
        }
        switch (record.type) {
        case dns::kTypePtr:
            if (asked_.contains({AsciiLower(record.name), dns::kTypePtr}) &&
                instances_.size() < timing_.maxServices) {
                instances_.emplace(AsciiLower(record.target), record.target);
            }
            break;
        case dns::kTypeSrv:
            if (services_.size() < timing_.maxServices && !record.target.empty()) {
                services_.emplace(AsciiLower(record.name), record.target);
            }
            break;
        case dns::kTypeA:
            if (addresses_.size() < timing_.maxServices && record.address != Ipv4{}) {
                addresses_.emplace(AsciiLower(record.name), record.address);
            }
            break;
        default:
            break;
        }
    }

    // Asks for what the answers so far leave missing, and reports every
    // service whose host and address are known.
    void FollowUp() {
        for (const auto& [key, instance] : instances_) {
            const auto target = services_.find(key);
            if (target == services_.end()) {
                Ask(instance, dns::kTypeSrv);
                continue;
            }
            const std::string host = AsciiLower(target->second);
            const auto address = addresses_.find(host);
            if (address == addresses_.end()) {
                Ask(target->second, dns::kTypeA);
                continue;
            }
            if (reported_.insert(host).second) {
                if (auto machine = DnsSdMachine(target->second, address->second)) {
                    found_(std::move(*machine));
                }
            }
        }
    }

    QueryEngine engine_;
    std::vector<QueryTarget> targets_;
    const FoundSink& found_;
    const DnsSdTiming& timing_;
    // Keyed by names in lower case: DNS compares names so.
    std::set<std::pair<std::string, std::uint16_t>> asked_;
    std::map<std::string, std::string> instances_;
    std::map<std::string, std::string> services_;
    std::map<std::string, Ipv4> addresses_;
    std::set<std::string> reported_;
};

} // namespace

void BrowseDnsSdItself(const DiscoverySeams& seams, const FoundSink& found, SteadyTime deadline,
                       const DnsSdTiming& timing) {
    if (auto link = OpenMulticastLink(seams)) {
        Browse(*link->socket, *seams.clock, link->interfaces, found, deadline, timing).Run();
    }
}

} // namespace vexor

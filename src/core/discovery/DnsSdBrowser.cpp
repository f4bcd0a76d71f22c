#include "DnsSdBrowser.h"

#include "DnsCodec.h"
#include "DnsSdAnswer.h"

#include <map>
#include <optional>
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
    // Names are kept in lower case, as DNS compares them, each with the
    // sender that spoke for it: one sender never fills in another's service.
    using Key = std::pair<Ipv4, std::string>;

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
                Take(record, datagram.from.address);
            }
        }
        FollowUp();
        // A PTR question has no last answer: it is asked until its repeats are
        // done. A SRV or A question is settled once every sender that needs
        // its answer has given it.
        const std::string key = AsciiLower(name);
        if ((type == dns::kTypeSrv && ServiceKnown(key)) ||
            (type == dns::kTypeA && AddressKnown(key))) {
            return Reply::Settles;
        }
        return Reply::Taken;
    }

    void Take(const dns::Record& record, const Ipv4& sender) {
        if (record.klass != dns::kClassIn) {
            return;
        }
        const bool goodbye = record.ttl == 0;
        const std::string name = AsciiLower(record.name);
        switch (record.type) {
        case dns::kTypePtr:
            if (asked_.contains({name, dns::kTypePtr})) {
                TakeInstance({sender, AsciiLower(record.target)}, record.target, goodbye);
            }
            break;
        case dns::kTypeSrv:
            // Only a service taken from this sender: nobody asked for others.
            if (!instances_.contains({sender, name})) {
                break;
            }
            if (goodbye) {
                // A goodbye names the record it ends: another target stands.
                if (const auto at = services_.find({sender, name});
                    at != services_.end() && AsciiLower(at->second) == AsciiLower(record.target)) {
                    services_.erase(at);
                }
            } else if (!record.target.empty()) {
                services_.emplace(Key{sender, name}, record.target);
            }
            break;
        case dns::kTypeA:
            // A host speaks for its own address only, and only for a host one
            // of its services names.
            if (record.address != sender || !NamedBy(sender, name)) {
                break;
            }
            if (goodbye) {
                addresses_.erase({sender, name});
            } else {
                addresses_.insert({sender, name});
            }
            break;
        default:
            break;
        }
    }

    void TakeInstance(const Key& key, const std::string& instance, bool goodbye) {
        if (goodbye) {
            instances_.erase(key);
            services_.erase(key);
            return;
        }
        if (instances_.contains(key)) {
            return;
        }
        // A service seen before, though said goodbye to since, uses no more
        // of its sender's share.
        if (!everTaken_.contains(key)) {
            std::size_t& share = shares_[key.first];
            if (share >= timing_.perSender || everTaken_.size() >= timing_.maxServices) {
                return;
            }
            ++share;
            everTaken_.insert(key);
        }
        instances_.emplace(key, instance);
    }

    // Whether one of `sender`'s services has `host` as its target.
    bool NamedBy(const Ipv4& sender, const std::string& host) const {
        for (auto at = services_.lower_bound({sender, {}});
             at != services_.end() && at->first.first == sender; ++at) {
            if (AsciiLower(at->second) == host) {
                return true;
            }
        }
        return false;
    }

    bool ServiceKnown(const std::string& instance) const {
        for (const auto& [key, name] : instances_) {
            if (key.second == instance && !services_.contains(key)) {
                return false;
            }
        }
        return true;
    }

    bool AddressKnown(const std::string& host) const {
        for (const auto& [key, target] : services_) {
            if (AsciiLower(target) == host && !addresses_.contains({key.first, host})) {
                return false;
            }
        }
        return true;
    }

    // Asks for what the answers so far leave missing, reports every host
    // whose service and address are known, and withdraws each host reported
    // before that no service of its sender leads to any more (goodbyes).
    void FollowUp() {
        // Each host known, as its first service spelt its name.
        std::map<Key, std::string> complete;
        for (const auto& [key, instance] : instances_) {
            const auto target = services_.find(key);
            if (target == services_.end()) {
                Ask(instance, dns::kTypeSrv);
                continue;
            }
            Key host{key.first, AsciiLower(target->second)};
            if (!addresses_.contains(host)) {
                Ask(target->second, dns::kTypeA);
                continue;
            }
            complete.emplace(std::move(host), target->second);
        }
        for (auto at = reported_.begin(); at != reported_.end();) {
            if (complete.contains(at->first)) {
                ++at;
                continue;
            }
            if (at->second) {
                found_.Withdraw(*at->second);
            }
            at = reported_.erase(at);
        }
        for (const auto& [host, target] : complete) {
            if (reported_.contains(host)) {
                continue;
            }
            auto machine = DnsSdMachine(target, host.first);
            reported_.emplace(host, machine);
            if (machine) {
                found_(std::move(*machine));
            }
        }
    }

    QueryEngine engine_;
    std::vector<QueryTarget> targets_;
    const FoundSink& found_;
    const DnsSdTiming& timing_;
    std::set<std::pair<std::string, std::uint16_t>> asked_;
    // Services by sender, their targets, and the hosts whose address their
    // sender gave.
    std::map<Key, std::string> instances_;
    std::map<Key, std::string> services_;
    std::set<Key> addresses_;
    // Every service ever taken, and how many of them each sender gave.
    std::set<Key> everTaken_;
    std::map<Ipv4, std::size_t> shares_;
    // The hosts reported, each as it went to `found_` (nothing for a host
    // whose name no list could show).
    std::map<Key, std::optional<FoundMachine>> reported_;
};

} // namespace

void BrowseDnsSdItself(const DiscoverySeams& seams, const FoundSink& found, SteadyTime deadline,
                       const DnsSdTiming& timing) {
    if (auto link = OpenMulticastLink(seams)) {
        Browse(*link->socket, *seams.clock, link->interfaces, found, deadline, timing).Run();
    }
}

} // namespace vexor

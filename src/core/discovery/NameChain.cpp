#include "NameChain.h"

#include "base/HostName.h"

namespace vexor {
namespace {

NameAnswer Chain(const std::string& name, SteadyTime deadline, const NameAnswerCache& learnt,
                 const NameChain::SystemLookup& system, const NameChain::LinkQuery& link) {
    // What a source reported in this refresh needs nobody asked.
    if (auto known = learnt.Find(name); !known.empty()) {
        return {name, std::move(known)};
    }
    if (auto found = system(name)) {
        return *found;
    }
    // A source may have reported the name while the system was asked.
    if (auto known = learnt.Find(name); !known.empty()) {
        return {name, std::move(known)};
    }
    // Windows asks the local link only for names that are not fully qualified
    // (and for names in the ".local" domain).
    if (!link || (name.find('.') != std::string::npos && !IsLocalDomainName(name))) {
        return {name, {}};
    }
    return {name, link(name, deadline)};
}

} // namespace

NameChain::NameChain(std::shared_ptr<NameAnswerCache> learnt, SystemLookup system, LinkQuery link,
                     const IClock& clock)
    : learnt_(std::move(learnt)),
      ahead_([learnt = learnt_, system = std::move(system), link = std::move(link)](
                 const std::string& name,
                 SteadyTime deadline) { return Chain(name, deadline, *learnt, system, link); },
             clock) {}

NameAnswer NameChain::Resolve(const std::string& name) {
    // A source's address answers at once, whatever lookup is still under way.
    if (auto known = learnt_->Find(name); !known.empty()) {
        return {name, std::move(known)};
    }
    NameAnswer answer = ahead_.Resolve(name);
    // A source may have learnt the name's address after the network was asked.
    if (answer.addresses.empty()) {
        if (auto known = learnt_->Find(name); !known.empty()) {
            return {name, std::move(known)};
        }
    }
    return answer;
}

} // namespace vexor

#include "PosixNameResolver.h"

#include "LocalLinkQuery.h"
#include "PosixInterfaces.h"
#include "base/SocketAddress.h"
#include "base/UniqueHandle.h"

#include <algorithm>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace vexor {
namespace {

std::optional<PosixNameResolver::Answer> GetAddrInfo(const std::string& name) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* raw = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &raw) != 0 || raw == nullptr) {
        return std::nullopt;
    }
    const UniqueHandle<addrinfo, freeaddrinfo> list(raw);
    PosixNameResolver::Answer answer;
    answer.canonicalName = list->ai_canonname != nullptr ? list->ai_canonname : name;
    for (const addrinfo* entry = list.get(); entry != nullptr; entry = entry->ai_next) {
        const Ipv4 bytes = AddressOf(entry->ai_addr);
        // getaddrinfo repeats an address once per socket type; a host record lists it once.
        if (std::find(answer.addresses.begin(), answer.addresses.end(), bytes) ==
            answer.addresses.end()) {
            answer.addresses.push_back(bytes);
        }
    }
    return answer;
}

PosixNameResolver::Answer Chain(const std::string& name, SteadyTime deadline,
                                const NameAnswerCache& learnt,
                                const PosixNameResolver::SystemLookup& system,
                                const PosixNameResolver::LinkQuery& link) {
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
    if (name.find('.') != std::string::npos && !IsLocalDomainName(name)) {
        return {name, {}};
    }
    return {name, link(name, deadline)};
}

} // namespace

PosixNameResolver::PosixNameResolver(std::shared_ptr<NameAnswerCache> learnt, LinkQuery linkQuery,
                                     SystemLookup systemLookup, const IClock& clock)
    : learnt_(std::move(learnt)),
      ahead_([learnt = learnt_,
              link = linkQuery ? std::move(linkQuery)
                               : LinkQuery([](const std::string& name, SteadyTime deadline) {
                                     return QueryLocalLink(name, LinkTargetsOf(LocalInterfaces()),
                                                           deadline);
                                 }),
              system = systemLookup ? std::move(systemLookup) : SystemLookup(GetAddrInfo)](
                 const std::string& name,
                 SteadyTime deadline) { return Chain(name, deadline, *learnt, system, link); },
             clock) {}

PosixNameResolver::Answer PosixNameResolver::Resolve(const std::string& name) {
    // A source's address answers at once, whatever lookup is still under way.
    if (auto known = learnt_->Find(name); !known.empty()) {
        return {name, std::move(known)};
    }
    Answer answer = ahead_.Resolve(name);
    // A source may have learnt the name's address after the network was asked.
    if (answer.addresses.empty()) {
        if (auto known = learnt_->Find(name); !known.empty()) {
            return {name, std::move(known)};
        }
    }
    return answer;
}

} // namespace vexor

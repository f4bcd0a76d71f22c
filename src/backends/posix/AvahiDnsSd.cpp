#include "AvahiDnsSd.h"

#include "AvahiAnswers.h"
#include "PosixInterfaces.h"
#include "SharedLibrary.h"
#include "base/UniqueHandle.h"

#include <algorithm>
#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/error.h>
#include <avahi-common/simple-watch.h>
#include <cstring>
#include <memory>
#include <net/if.h>
#include <netinet/in.h>
#include <string>

namespace vexor {
namespace {

using Clock = std::chrono::steady_clock;

// A network that announces more services than this is not followed further.
constexpr int kMaxResolves = 1024;

// avahi-daemon reports "all for now" a fixed second after a browser starts,
// long after the answers are in: mDNS responders answer a query within 120 ms
// (RFC 6762, section 6) and the daemon answers from its cache at once. The
// browse is therefore complete once this much time has passed since it began,
// no resolve is under way, and nothing new has come for the quiet time.
constexpr std::chrono::milliseconds kSettled{450};
constexpr std::chrono::milliseconds kQuiet{150};
constexpr std::chrono::milliseconds kReportMargin{50};

// The IPv4 subnets of this machine's up interfaces, loopback included.
std::vector<ConnectedSubnet> ConnectedSubnets() {
    std::vector<ConnectedSubnet> subnets;
    for (const LocalInterface& local : LocalInterfaces()) {
        if (!local.up) {
            continue;
        }
        ConnectedSubnet subnet;
        subnet.address = local.address;
        const std::uint32_t mask = local.prefixLength == 0
                                       ? 0
                                       : ~std::uint32_t{0}
                                             << (32 - std::min<int>(local.prefixLength, 32));
        for (std::size_t i = 0; i < subnet.mask.size(); ++i) {
            subnet.mask[i] = static_cast<std::uint8_t>(mask >> (24 - 8 * i));
        }
        subnets.push_back(subnet);
    }
    return subnets;
}

// The Avahi client libraries, loaded on the first refresh rather than at
// start-up; where they are missing, the program's own queries serve instead.
class AvahiLibraries {
  public:
    AvahiLibraries() {
        ready_ = common_.Bind(pollNew, "avahi_simple_poll_new") &&
                 common_.Bind(pollFree, "avahi_simple_poll_free") &&
                 common_.Bind(pollGet, "avahi_simple_poll_get") &&
                 common_.Bind(pollIterate, "avahi_simple_poll_iterate") &&
                 client_.Bind(clientNew, "avahi_client_new") &&
                 client_.Bind(clientFree, "avahi_client_free") &&
                 client_.Bind(browserNew, "avahi_service_browser_new") &&
                 client_.Bind(browserFree, "avahi_service_browser_free") &&
                 client_.Bind(resolverNew, "avahi_service_resolver_new") &&
                 client_.Bind(resolverFree, "avahi_service_resolver_free");
    }
    bool ready() const { return ready_; }

    decltype(&avahi_simple_poll_new) pollNew = nullptr;
    decltype(&avahi_simple_poll_free) pollFree = nullptr;
    decltype(&avahi_simple_poll_get) pollGet = nullptr;
    decltype(&avahi_simple_poll_iterate) pollIterate = nullptr;
    decltype(&avahi_client_new) clientNew = nullptr;
    decltype(&avahi_client_free) clientFree = nullptr;
    decltype(&avahi_service_browser_new) browserNew = nullptr;
    decltype(&avahi_service_browser_free) browserFree = nullptr;
    decltype(&avahi_service_resolver_new) resolverNew = nullptr;
    decltype(&avahi_service_resolver_free) resolverFree = nullptr;

  private:
    SharedLibrary common_{"libavahi-common.so.3"};
    SharedLibrary client_{"libavahi-client.so.3"};
    bool ready_ = false;
};

const AvahiLibraries& Avahi() {
    static const AvahiLibraries libraries;
    return libraries;
}

// What the loaded library hands out goes back through the same library.
void FreePoll(AvahiSimplePoll* poll) {
    Avahi().pollFree(poll);
}
void FreeClient(AvahiClient* client) {
    Avahi().clientFree(client);
}
void FreeBrowser(AvahiServiceBrowser* browser) {
    Avahi().browserFree(browser);
}

// Avahi's identity of one service: the same instance may be seen on several
// interfaces, each announced and removed on its own.
std::string InstanceKey(AvahiIfIndex interface, const char* name, const char* type,
                        const char* domain) {
    std::string key = std::to_string(interface);
    for (const char* part : {name, type, domain}) {
        key += '\0';
        key += part != nullptr ? part : "";
    }
    return key;
}

struct BrowseState {
    BrowseState(std::vector<ConnectedSubnet> subnets, const DnsSdBrowseRequest& request)
        : request(request), answers(std::move(subnets)) {}
    const DnsSdBrowseRequest& request;
    AvahiClient* client = nullptr;
    AvahiAnswers answers;
    Clock::time_point lastEvent = Clock::now();
    int browsersDone = 0;
    int pending = 0;
    int started = 0;
};

void Resolved(AvahiServiceResolver* resolver, AvahiIfIndex interface, AvahiProtocol,
              AvahiResolverEvent event, const char* name, const char* type, const char* domain,
              const char* hostName, const AvahiAddress* address, uint16_t, AvahiStringList*,
              AvahiLookupResultFlags, void* user) {
    auto& state = *static_cast<BrowseState*>(user);
    state.lastEvent = Clock::now();
    if (event == AVAHI_RESOLVER_FOUND && hostName != nullptr && address != nullptr &&
        address->proto == AVAHI_PROTO_INET) {
        Ipv4 bytes{};
        std::memcpy(bytes.data(), &address->data.ipv4.address, 4);
        if (auto machine = state.request.machineOf(hostName, bytes)) {
            state.answers.Resolved(InstanceKey(interface, name, type, domain), std::move(*machine));
        }
    }
    Avahi().resolverFree(resolver);
    --state.pending;
}

void Browsed(AvahiServiceBrowser*, AvahiIfIndex interface, AvahiProtocol protocol,
             AvahiBrowserEvent event, const char* name, const char* type, const char* domain,
             AvahiLookupResultFlags, void* user) {
    auto& state = *static_cast<BrowseState*>(user);
    state.lastEvent = Clock::now();
    switch (event) {
    case AVAHI_BROWSER_NEW:
        state.answers.Announced(InstanceKey(interface, name, type, domain));
        if (state.started < kMaxResolves &&
            Avahi().resolverNew(state.client, interface, protocol, name, type, domain,
                                AVAHI_PROTO_INET, static_cast<AvahiLookupFlags>(0), Resolved,
                                &state) != nullptr) {
            ++state.started;
            ++state.pending;
        }
        break;
    case AVAHI_BROWSER_REMOVE:
        state.answers.Removed(InstanceKey(interface, name, type, domain));
        break;
    case AVAHI_BROWSER_ALL_FOR_NOW:
    case AVAHI_BROWSER_FAILURE:
        ++state.browsersDone;
        break;
    default:
        break;
    }
}

} // namespace

bool BrowseDnsSd(const DnsSdBrowseRequest& request, const FoundSink& found,
                 Clock::time_point refreshDeadline) {
    const auto start = Clock::now();
    // Removals can undo what was resolved, so the machines are reported once
    // the browse ends: it ends early enough for them to count.
    const auto deadline = refreshDeadline - kReportMargin;
    if (!Avahi().ready()) {
        return false;
    }
    const UniqueHandle<AvahiSimplePoll, FreePoll> poll(Avahi().pollNew());
    if (!poll) {
        return false;
    }
    int error = 0;
    // Without AVAHI_CLIENT_NO_FAIL the client fails at once where no daemon runs.
    const UniqueHandle<AvahiClient, FreeClient> client(Avahi().clientNew(
        Avahi().pollGet(poll.get()), static_cast<AvahiClientFlags>(0), nullptr, nullptr, &error));
    if (!client) {
        return false;
    }
    BrowseState state(ConnectedSubnets(), request);
    state.client = client.get();
    std::vector<UniqueHandle<AvahiServiceBrowser, FreeBrowser>> browsers;
    for (const std::string& type : request.types) {
        if (AvahiServiceBrowser* browser =
                Avahi().browserNew(client.get(), AVAHI_IF_UNSPEC, AVAHI_PROTO_INET, type.c_str(),
                                   nullptr, static_cast<AvahiLookupFlags>(0), Browsed, &state)) {
            browsers.emplace_back(browser);
        }
    }
    const int browsing = static_cast<int>(browsers.size());
    while (browsing > 0 && (state.browsersDone < browsing || state.pending > 0)) {
        const auto now = Clock::now();
        if (state.pending == 0 && now >= start + kSettled && now >= state.lastEvent + kQuiet) {
            break;
        }
        // Wake for the deadline, or to look again whether the browse has settled.
        const auto wake = std::min(deadline, std::max(start + kSettled, state.lastEvent + kQuiet));
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(wake - now);
        if (now >= deadline || Avahi().pollIterate(poll.get(), static_cast<int>(std::max<long long>(
                                                                   left.count(), 1))) != 0) {
            break;
        }
    }
    // Resolvers still running are freed with the client.
    browsers.clear();
    for (FoundMachine& machine : state.answers.Machines()) {
        found(std::move(machine));
    }
    return true;
}

} // namespace vexor

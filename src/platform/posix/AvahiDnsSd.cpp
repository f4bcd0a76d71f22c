#include "AvahiDnsSd.h"

#include "discovery/DnsSdAnswer.h"

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/error.h>
#include <avahi-common/simple-watch.h>
#include <cstring>
#include <memory>

namespace vexor {
namespace {

// A network that announces more services than this is not followed further.
constexpr int kMaxResolves = 1024;

struct PollDeleter {
    void operator()(AvahiSimplePoll* poll) const { avahi_simple_poll_free(poll); }
};
struct ClientDeleter {
    void operator()(AvahiClient* client) const { avahi_client_free(client); }
};
struct BrowserDeleter {
    void operator()(AvahiServiceBrowser* browser) const { avahi_service_browser_free(browser); }
};

struct BrowseState {
    AvahiClient* client = nullptr;
    NameAnswerCache* learnt = nullptr;
    std::vector<FoundMachine> found;
    int browsersDone = 0;
    int pending = 0;
    int started = 0;
};

void Resolved(AvahiServiceResolver* resolver, AvahiIfIndex, AvahiProtocol, AvahiResolverEvent event,
              const char* /*name*/, const char* /*type*/, const char* /*domain*/,
              const char* hostName, const AvahiAddress* address, uint16_t, AvahiStringList*,
              AvahiLookupResultFlags, void* user) {
    auto& state = *static_cast<BrowseState*>(user);
    if (event == AVAHI_RESOLVER_FOUND && hostName != nullptr && address != nullptr &&
        address->proto == AVAHI_PROTO_INET) {
        Ipv4 bytes{};
        std::memcpy(bytes.data(), &address->data.ipv4.address, 4);
        if (auto machine = DnsSdMachine(hostName, bytes, *state.learnt)) {
            state.found.push_back(std::move(*machine));
        }
    }
    avahi_service_resolver_free(resolver);
    --state.pending;
}

void Browsed(AvahiServiceBrowser*, AvahiIfIndex interface, AvahiProtocol protocol,
             AvahiBrowserEvent event, const char* name, const char* type, const char* domain,
             AvahiLookupResultFlags, void* user) {
    auto& state = *static_cast<BrowseState*>(user);
    switch (event) {
    case AVAHI_BROWSER_NEW:
        if (state.started < kMaxResolves &&
            avahi_service_resolver_new(state.client, interface, protocol, name, type, domain,
                                       AVAHI_PROTO_INET, static_cast<AvahiLookupFlags>(0), Resolved,
                                       &state) != nullptr) {
            ++state.started;
            ++state.pending;
        }
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

std::vector<FoundMachine> BrowseDnsSd(NameAnswerCache& learnt, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    const std::unique_ptr<AvahiSimplePoll, PollDeleter> poll(avahi_simple_poll_new());
    if (!poll) {
        return {};
    }
    int error = 0;
    // Without AVAHI_CLIENT_NO_FAIL the client fails at once where no daemon runs.
    const std::unique_ptr<AvahiClient, ClientDeleter> client(
        avahi_client_new(avahi_simple_poll_get(poll.get()), static_cast<AvahiClientFlags>(0),
                         nullptr, nullptr, &error));
    if (!client) {
        return {};
    }
    BrowseState state;
    state.client = client.get();
    state.learnt = &learnt;
    std::vector<std::unique_ptr<AvahiServiceBrowser, BrowserDeleter>> browsers;
    for (const char* type : kDnsSdMachineTypes) {
        if (AvahiServiceBrowser* browser = avahi_service_browser_new(
                client.get(), AVAHI_IF_UNSPEC, AVAHI_PROTO_INET, type, nullptr,
                static_cast<AvahiLookupFlags>(0), Browsed, &state)) {
            browsers.emplace_back(browser);
        }
    }
    const int browsing = static_cast<int>(browsers.size());
    while (browsing > 0 && (state.browsersDone < browsing || state.pending > 0)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 ||
            avahi_simple_poll_iterate(poll.get(), static_cast<int>(left.count())) != 0) {
            break;
        }
    }
    // Resolvers still running are freed with the client.
    browsers.clear();
    return std::move(state.found);
}

} // namespace vexor

#pragma once

#include "core/discovery/DnsSdBrowser.h"

#include <chrono>
#include <vector>

namespace vexor {

// Browses the machine types in the local domain through the system's mDNS
// daemon (avahi-daemon over D-Bus) and resolves each service to its host name
// and IPv4 address, reporting each machine to `found` as it resolves. Ends when
// the daemon has reported all it knows for now, or once the answers have
// settled, or at `deadline`. False when no daemon answers on the system bus.
bool BrowseDnsSd(const FoundSink& found, std::chrono::steady_clock::time_point deadline);

// DNS-SD on Linux: through avahi-daemon, which shares the system's cache and is
// what the desktop uses; where no daemon answers, by this program's own
// one-shot mDNS queries, with the same results.
class LinuxDnsSdSource : public INeighbourhoodSource {
  public:
    explicit LinuxDnsSdSource(DiscoverySeams seams) : itself_(std::move(seams)) {}
    void Find(const FoundSink& found, std::chrono::steady_clock::time_point deadline) override {
        if (!BrowseDnsSd(found, deadline)) {
            itself_.Find(found, deadline);
        }
    }

  private:
    DnsSdBrowserSource itself_;
};

} // namespace vexor

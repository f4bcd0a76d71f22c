#pragma once

#include "backends/posix/AvahiDnsSd.h"
#include "core/discovery/DnsSdAnswer.h"
#include "core/discovery/DnsSdBrowser.h"

#include <iterator>

namespace vexor {

// DNS-SD on Linux: through avahi-daemon, which shares the system's cache and is
// what the desktop uses; where no daemon answers, by this program's own
// one-shot mDNS queries, with the same results.
class LinuxDnsSdSource : public INeighbourhoodSource {
  public:
    explicit LinuxDnsSdSource(DiscoverySeams seams) : itself_(std::move(seams)) {}
    void Find(const FoundSink& found, std::chrono::steady_clock::time_point deadline) override {
        static const DnsSdBrowseRequest kRequest{
            {std::begin(kDnsSdMachineTypes), std::end(kDnsSdMachineTypes)}, DnsSdMachine};
        if (!BrowseDnsSd(kRequest, found, deadline)) {
            itself_.Find(found, deadline);
        }
    }

  private:
    DnsSdBrowserSource itself_;
};

} // namespace vexor

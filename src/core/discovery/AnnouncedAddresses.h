#pragma once

#include "seams/Ipv4.h"

#include <cstddef>
#include <mutex>
#include <set>

namespace vexor {

// The addresses that the announcing sources (browse list, WS-Discovery,
// DNS-SD, SSDP) reported in the current refresh: the merge fills it, and the
// sweep counts each one a live machine, as it does an address that answered.
// Shared between threads.
class AnnouncedAddresses {
  public:
    // At most this many are kept; the merge lists no more machines than this.
    static constexpr std::size_t kMaxAddresses = 8192;

    // Forgets the last refresh's addresses.
    void Begin();
    void Add(const Ipv4& address);
    std::set<Ipv4> Snapshot() const;

  private:
    mutable std::mutex mutex_;
    std::set<Ipv4> addresses_;
};

} // namespace vexor

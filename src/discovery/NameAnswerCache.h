#pragma once

#include "HostName.h"

#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace vexor {

// The addresses this refresh has learnt for machine names from the network
// (WS-Discovery, DNS-SD), shared by the platform's backends: the discovery
// sources fill it and the sockets backend answers from it when the system's
// resolver knows a name no better. Safe to use from several threads.
class NameAnswerCache {
  public:
    // At most this many names are kept; a peer that announces more is not
    // allowed to grow the process without bound.
    static constexpr std::size_t kMaxNames = 8192;

    // Replaces what is known of `name` with `addresses` (none: forgets it).
    void Learn(std::string_view name, const std::vector<Ipv4>& addresses);
    // Forgets everything: what a refresh learnt belongs to that refresh.
    void Clear();
    // What is known of `name`, in the order learnt; empty when nothing is.
    std::vector<Ipv4> Find(std::string_view name) const;

  private:
    mutable std::mutex mutex_;
    std::map<std::string, std::vector<Ipv4>> known_;
};

} // namespace vexor

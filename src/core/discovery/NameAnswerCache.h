#pragma once

#include "base/HostName.h"
#include "seams/Ipv4.h"

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
    // Addresses kept for one name: machines that share a name each keep theirs.
    static constexpr std::size_t kMaxAddresses = 64;

    // Replaces what is known of `name` with `addresses` (none: forgets it).
    void Learn(std::string_view name, const std::vector<Ipv4>& addresses);
    // Adds `address` to what is known of `name`, after the addresses known already.
    void Add(std::string_view name, const Ipv4& address);
    // Takes `address` out of what is known of `name` (a machine that left).
    void Forget(std::string_view name, const Ipv4& address);
    // Forgets everything: what a refresh learnt belongs to that refresh.
    void Clear();
    // What is known of `name`, in the order learnt; empty when nothing is.
    std::vector<Ipv4> Find(std::string_view name) const;

    // The lines of the neighbourhood, in the order the walk lists them: each
    // name's addresses become those of its lines, in that order.
    void List(const std::vector<std::pair<std::string, Ipv4>>& lines);
    // The answer to the walk's lookup of a line's name: what is known of
    // `name`, the address of its next line first. Each call moves on to the
    // next line of that name (after the last, the first again), so that lines
    // of machines that share a name each show their own address.
    std::vector<Ipv4> Answer(std::string_view name);

  private:
    struct Known {
        std::vector<Ipv4> addresses;
        // The line whose address the next Answer gives first.
        std::size_t next = 0;
    };
    mutable std::mutex mutex_;
    std::map<std::string, Known> known_;
};

} // namespace vexor

#pragma once

#include "platform/api/DiscoverySeams.h"

#include <chrono>
#include <optional>

namespace vexor {

// The receive loop of a datagram socket, the same over BSD sockets and
// Winsock: waits until a datagram is readable or `deadline` passes, and reads
// it. `wait(left)` is true when one became readable within `left`; `read()`
// gives it, or nothing when the read failed (an ICMP error from a closed port),
// after which the loop waits again. A flood of datagrams cannot hold the loop
// past the deadline: each call returns at most one.
template <typename Wait, typename Read>
std::optional<Datagram> ReceiveUntil(std::chrono::steady_clock::time_point deadline, Wait wait,
                                     Read read) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        if (!wait(left)) {
            continue;
        }
        if (auto datagram = read()) {
            return datagram;
        }
    }
}

} // namespace vexor

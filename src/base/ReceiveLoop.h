#pragma once

#include "SocketAddress.h"
#include "seams/DiscoverySeams.h"

#include <chrono>
#include <cstddef>
#include <optional>

namespace vexor {

// The largest UDP payload; a larger datagram cannot arrive.
constexpr std::size_t kMaxDatagram = 65535;

// The receive loop of a datagram socket, the same over BSD sockets and
// Winsock: waits until a datagram is readable or `deadline` passes, and reads
// it. `wait(left)` is true when one became readable within `left`;
// `receive(bytes, size, from)` reads it as recvfrom does, giving its length, or
// a negative number when the read failed (an ICMP error from a closed port),
// after which the loop waits again. A flood of datagrams cannot hold the loop
// past the deadline: each call returns at most one.
template <typename Wait, typename Receive>
std::optional<Datagram> ReceiveUntil(std::chrono::steady_clock::time_point deadline, Wait wait,
                                     Receive receive) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        if (!wait(left)) {
            continue;
        }
        Datagram datagram;
        datagram.bytes.resize(kMaxDatagram);
        sockaddr_in from{};
        const auto got = receive(datagram.bytes.data(), datagram.bytes.size(), from);
        if (got < 0) {
            continue;
        }
        datagram.bytes.resize(static_cast<std::size_t>(got));
        datagram.from = EndpointOf(from);
        return datagram;
    }
}

} // namespace vexor

#pragma once

#include "SocketAddress.h"
#include "seams/DiscoverySeams.h"

#include <chrono>
#include <cstddef>
#include <optional>

namespace vexor {

// The largest UDP payload; a larger datagram cannot arrive.
constexpr std::size_t kMaxDatagram = 65535;

// What one read of a datagram socket gave.
enum class Received {
    // A datagram of the length returned, from the address filled in.
    Datagram,
    // A port unreachable; the address filled in is the endpoint sent to.
    Unreachable,
    // Nothing worth handing on (no datagram after all, an ICMP error of
    // another kind): the loop waits again.
    Nothing,
};

struct ReadResult {
    Received kind = Received::Nothing;
    std::size_t length = 0;
};

// The receive loop of a datagram socket, the same over BSD sockets and
// Winsock: waits until a datagram is readable or `deadline` passes, and reads
// it. `wait(left)` is true when the socket became readable within `left`;
// `receive(bytes, size, from)` reads what is there, as recvfrom does. A flood
// of datagrams cannot hold the loop past the deadline: each call returns at
// most one.
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
        const ReadResult got = receive(datagram.bytes.data(), datagram.bytes.size(), from);
        if (got.kind == Received::Nothing) {
            continue;
        }
        datagram.unreachable = got.kind == Received::Unreachable;
        datagram.bytes.resize(datagram.unreachable ? 0 : got.length);
        datagram.from = EndpointOf(from);
        return datagram;
    }
}

} // namespace vexor

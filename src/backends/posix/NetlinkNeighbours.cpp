#include "NetlinkNeighbours.h"
#include "base/UniqueDescriptor.h"

#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstring>

namespace vexor {
namespace {

// A neighbour table larger than this is read only this far (Linux's own
// default limit is 1,024).
constexpr std::size_t kMaxEntries = 65536;
// A dump that the kernel does not finish within this long is given up.
constexpr int kReceiveSeconds = 1;

NeighbourState StateOf(std::uint16_t state) {
    if ((state & NUD_PERMANENT) != 0) {
        return NeighbourState::Permanent;
    }
    if ((state & NUD_NOARP) != 0) {
        return NeighbourState::NoArp;
    }
    if ((state & NUD_REACHABLE) != 0) {
        return NeighbourState::Reachable;
    }
    if ((state & NUD_STALE) != 0) {
        return NeighbourState::Stale;
    }
    if ((state & NUD_DELAY) != 0) {
        return NeighbourState::Delay;
    }
    if ((state & NUD_PROBE) != 0) {
        return NeighbourState::Probe;
    }
    if ((state & NUD_FAILED) != 0) {
        return NeighbourState::Failed;
    }
    return NeighbourState::Incomplete;
}

template <typename T> T Copy(const std::uint8_t* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

NeighbourEntry EntryOf(const std::uint8_t* body, std::size_t length, long ticksPerSecond,
                       bool& hasAddress) {
    const auto message = Copy<ndmsg>(body);
    NeighbourEntry entry;
    entry.interfaceIndex = static_cast<std::uint32_t>(message.ndm_ifindex);
    entry.state = StateOf(message.ndm_state);
    hasAddress = false;
    std::size_t offset = NLMSG_ALIGN(sizeof(ndmsg));
    while (offset + sizeof(rtattr) <= length) {
        const auto attribute = Copy<rtattr>(body + offset);
        if (attribute.rta_len < sizeof(rtattr) || offset + attribute.rta_len > length) {
            break;
        }
        const std::uint8_t* data = body + offset + RTA_LENGTH(0);
        const std::size_t size = attribute.rta_len - RTA_LENGTH(0);
        if (attribute.rta_type == NDA_DST && size == 4) {
            std::memcpy(entry.address.data(), data, 4);
            hasAddress = true;
        } else if (attribute.rta_type == NDA_LLADDR && size <= 32) {
            entry.linkAddress.assign(data, data + size);
        } else if (attribute.rta_type == NDA_CACHEINFO && size >= sizeof(nda_cacheinfo) &&
                   ticksPerSecond > 0) {
            const auto info = Copy<nda_cacheinfo>(data);
            entry.confirmedAgo = std::chrono::milliseconds(
                static_cast<std::int64_t>(info.ndm_confirmed) * 1000 / ticksPerSecond);
        }
        offset += RTA_ALIGN(attribute.rta_len);
    }
    return entry;
}

} // namespace

bool ReadNeighbourMessages(std::span<const std::uint8_t> bytes, long ticksPerSecond,
                           std::size_t room, std::vector<NeighbourEntry>& entries) {
    std::size_t offset = 0;
    while (offset + sizeof(nlmsghdr) <= bytes.size()) {
        const auto header = Copy<nlmsghdr>(bytes.data() + offset);
        if (header.nlmsg_len < sizeof(nlmsghdr) || header.nlmsg_len > bytes.size() - offset) {
            return true;
        }
        if (header.nlmsg_type == NLMSG_DONE || header.nlmsg_type == NLMSG_ERROR) {
            return true;
        }
        const std::size_t bodyLength = header.nlmsg_len - NLMSG_HDRLEN;
        if (header.nlmsg_type == RTM_NEWNEIGH && bodyLength >= sizeof(ndmsg)) {
            const std::uint8_t* body = bytes.data() + offset + NLMSG_HDRLEN;
            if (Copy<ndmsg>(body).ndm_family == AF_INET && entries.size() < room) {
                bool hasAddress = false;
                NeighbourEntry entry = EntryOf(body, bodyLength, ticksPerSecond, hasAddress);
                if (hasAddress) {
                    entries.push_back(std::move(entry));
                }
            }
        }
        offset += NLMSG_ALIGN(header.nlmsg_len);
    }
    return false;
}

std::optional<std::vector<NeighbourEntry>> ReadNetlinkNeighbours() {
    // The rtnetlink socket, closed when the dump is read.
    const UniqueDescriptor owned(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    const int raw = owned.get();
    if (raw < 0) {
        return std::nullopt;
    }
    const timeval limit{kReceiveSeconds, 0};
    setsockopt(raw, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);

    struct {
        nlmsghdr header;
        ndmsg body;
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(ndmsg));
    request.header.nlmsg_type = RTM_GETNEIGH;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = 1;
    request.body.ndm_family = AF_INET;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (sendto(raw, &request, request.header.nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel),
               sizeof kernel) < 0) {
        return std::nullopt;
    }
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    std::vector<NeighbourEntry> entries;
    std::vector<std::uint8_t> buffer(32 * 1024);
    // Each datagram holds at least one message, so a dump of the bounded table
    // ends within this many.
    for (std::size_t datagrams = 0; datagrams < kMaxEntries; ++datagrams) {
        const ssize_t received = recv(raw, buffer.data(), buffer.size(), 0);
        if (received <= 0) {
            return std::nullopt;
        }
        if (ReadNeighbourMessages({buffer.data(), static_cast<std::size_t>(received)},
                                  ticksPerSecond, kMaxEntries, entries)) {
            return entries;
        }
    }
    return entries;
}

} // namespace vexor

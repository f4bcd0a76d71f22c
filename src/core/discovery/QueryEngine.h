#pragma once

#include "seams/Clock.h"
#include "seams/DiscoverySeams.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace vexor {

// When a question is sent and when it is given up: sent at each offset from
// its first send, given up `giveUpAfterLast` after the last send.
struct QuerySchedule {
    std::vector<std::chrono::milliseconds> sends;
    std::chrono::milliseconds giveUpAfterLast{0};
};

// The schedule of each kind of question, chosen from its protocol and the
// refresh's 1.5 s deadline.
namespace schedules {
using namespace std::chrono_literals;
// A NetBIOS name server or node answers at once on a LAN; one repeat covers a
// lost datagram, and 250 ms after it a silent name is given up (RFC 1002's
// 250 ms broadcast retry interval).
inline const QuerySchedule kNetbios{{0ms, 250ms}, 250ms};
// mDNS responders answer a query within 120 ms (RFC 6762, 6); one repeat at
// 250 ms covers a lost datagram, and 250 ms after it is enough for the answer.
inline const QuerySchedule kMdns{{0ms, 250ms}, 250ms};
// A unicast DNS server may forward to another before answering, so it is given
// longer than a peer on the link: asked again at 400 ms, given up 400 ms later.
inline const QuerySchedule kUnicastDns{{0ms, 400ms}, 400ms};
// A WS-Discovery message is repeated 50 to 250 ms after the first
// (MULTICAST_UDP_REPEAT, UDP_MIN_DELAY, UDP_MAX_DELAY) and its responders answer
// within 500 ms (APP_MAX_DELAY), plus a LAN round trip.
inline const QuerySchedule kWsDiscovery{{0ms, 100ms}, 600ms};
// DNS-SD's one-shot queries (RFC 6762, 5.1) ask three times as UDP may lose a
// question or an answer; each answer window is the 120 ms responders take.
inline const QuerySchedule kDnsSd{{0ms, 100ms, 300ms}, 150ms};
// An SSDP M-SEARCH is sent twice (UDA 1.1, 1.3.2, UDP is unreliable) and every
// device answers in its own delay up to MX seconds, so its answers are taken
// until the refresh's deadline.
inline const QuerySchedule kSsdp{{0ms, 100ms}, std::chrono::milliseconds::max()};
} // namespace schedules

// What a question's matcher says of a datagram.
enum class Reply {
    // Not an answer to this question (another sender, ID or name).
    NotMine,
    // An answer; the question goes on taking answers until it is given up
    // (a multicast question many may answer).
    Taken,
    // The answer: the question is settled and sent no more.
    Settles,
};

// One destination of a question: where it goes and out of which interface
// (what IP_MULTICAST_IF chooses for a group; any for a unicast).
struct QueryTarget {
    UdpEndpoint to;
    Ipv4 via{};
};

// A question on the wire: the bytes sent to every target on its schedule,
// and the matcher that tells its answers from everything else. The matcher
// sees every datagram the socket receives while the question is open.
// `unreachable`, when set, hears that one of the question's targets has no
// program on its port (the machine is there, but will not answer); it never
// hears of an endpoint the question was not sent to.
struct Query {
    std::vector<std::uint8_t> bytes;
    std::vector<QueryTarget> targets;
    QuerySchedule schedule;
    std::function<Reply(const Datagram&)> match;
    std::function<Reply(const UdpEndpoint&)> unreachable = {};
};

// How fast a sweep may send: at most `datagrams` in each `window`.
struct QueryPacing {
    std::size_t datagrams = 64;
    std::chrono::milliseconds window{10};
};

// The one engine for every question this program asks over UDP. Questions are
// sent on their schedules (paced), every datagram received is offered to the
// open questions in the order they were asked, and one that no open question
// takes is dropped. Run returns as soon as every question is settled or given
// up, or at the deadline, whichever is first. Questions may be added before
// Run and from within matchers (a follow-up question). Not thread-safe: one
// thread asks and runs.
class QueryEngine {
  public:
    using QueryId = std::size_t;

    QueryEngine(IDatagramSocket& socket, const IClock& clock, SteadyTime deadline,
                QueryPacing pacing = {});
    QueryEngine(const QueryEngine&) = delete;
    QueryEngine& operator=(const QueryEngine&) = delete;
    ~QueryEngine();

    // Adds a question; it is first sent at the next chance (its schedule runs
    // from that first send).
    QueryId Ask(Query query);
    // Runs until every question is settled or given up, or the deadline.
    void Run();
    // Ends Run once the datagram being offered is handled: the asker has what
    // it wanted (a name's first address), whatever is still open.
    void Stop();

    bool Settled(QueryId id) const;
    // Questions neither settled nor given up.
    std::size_t Open() const;
    // Datagrams that no open question took, port unreachables included.
    std::size_t Dropped() const;
    // Datagrams sent (one per target per send).
    std::size_t Sent() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// A transaction ID for a new question: random, never zero (a reply with zero
// could answer anyone).
std::uint16_t NewQueryId();

} // namespace vexor

// The query engine against a fake socket on a fake clock: each schedule, early
// answers, the deadline, pacing and datagrams nobody asked for.
#include "core/discovery/QueryEngine.h"
#include "core/discovery/DnsCodec.h"

#include "FakeClock.h"
#include "FakeDatagramSocket.h"

#include <gtest/gtest.h>

#include <map>

namespace vexor {
namespace {

using namespace std::chrono_literals;
using fakes::FakeClock;
using fakes::FakeDatagramSocket;

constexpr Ipv4 kPeer{10, 0, 0, 9};

// A DNS-format question to `kPeer`:`port` whose answer is a reply echoing its ID.
Query DnsQuestion(std::uint16_t id, std::uint16_t port, const QuerySchedule& schedule,
                  std::size_t* answers = nullptr) {
    return {dns::Query(id, "alfa.local", dns::kTypeA),
            {{{kPeer, port}, Ipv4{}}},
            schedule,
            [id, port, answers](const Datagram& datagram) {
                if (datagram.from.port != port || !dns::Read(datagram.bytes, {id, true})) {
                    return Reply::NotMine;
                }
                if (answers != nullptr) {
                    ++*answers;
                }
                return Reply::Settles;
            }};
}

Datagram ReplyTo(const std::vector<std::uint8_t>& query, std::uint16_t port) {
    auto bytes = query;
    bytes[2] |= 0x80;
    return {bytes, {kPeer, port}};
}

std::vector<std::chrono::milliseconds> SendTimes(const FakeDatagramSocket& socket,
                                                 SteadyTime start) {
    std::vector<std::chrono::milliseconds> times;
    for (const auto& sent : socket.sent()) {
        times.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(sent.at - start));
    }
    return times;
}

struct ScheduleRow {
    const char* kind;
    QuerySchedule schedule;
    std::vector<std::chrono::milliseconds> sends;
    std::chrono::milliseconds givenUpAt;
};

TEST(QueryEngine, EachKindIsSentOnItsScheduleAndGivenUpAfterIt) {
    const ScheduleRow rows[] = {
        {"NetBIOS", schedules::kNetbios, {0ms, 250ms}, 500ms},
        {"mDNS", schedules::kMdns, {0ms, 250ms}, 500ms},
        {"unicast DNS", schedules::kUnicastDns, {0ms, 400ms}, 800ms},
        {"WS-Discovery", schedules::kWsDiscovery, {0ms, 100ms}, 700ms},
        {"DNS-SD", schedules::kDnsSd, {0ms, 100ms, 300ms}, 450ms},
    };
    for (const ScheduleRow& row : rows) {
        FakeClock clock;
        FakeDatagramSocket socket(clock);
        const auto start = clock.Now();
        QueryEngine engine(socket, clock, start + 1500ms);
        engine.Ask(DnsQuestion(1, 137, row.schedule));
        engine.Run();
        EXPECT_EQ(SendTimes(socket, start), row.sends) << row.kind;
        EXPECT_EQ(clock.Now() - start, row.givenUpAt) << row.kind;
        EXPECT_EQ(engine.Open(), 0u) << row.kind;
        EXPECT_FALSE(engine.Settled(0)) << row.kind;
    }
}

TEST(QueryEngine, AnAnswerEndsItsQuestionEarly) {
    FakeClock clock;
    std::size_t answers = 0;
    FakeDatagramSocket socket(clock, [](const FakeDatagramSocket::Sent& sent) {
        return std::vector<FakeDatagramSocket::Delayed>{{30ms, ReplyTo(sent.bytes, 5353)}};
    });
    const auto start = clock.Now();
    QueryEngine engine(socket, clock, start + 1500ms);
    const auto id = engine.Ask(DnsQuestion(77, 5353, schedules::kMdns, &answers));
    engine.Run();
    EXPECT_TRUE(engine.Settled(id));
    EXPECT_EQ(answers, 1u);
    EXPECT_EQ(SendTimes(socket, start), (std::vector<std::chrono::milliseconds>{0ms}));
    EXPECT_EQ(clock.Now() - start, 30ms);
}

TEST(QueryEngine, ALostFirstAnswerIsMadeUpByTheRepeat) {
    FakeClock clock;
    int sends = 0;
    FakeDatagramSocket socket(clock, [&](const FakeDatagramSocket::Sent& sent) {
        std::vector<FakeDatagramSocket::Delayed> replies;
        if (++sends == 2) {
            replies.push_back({5ms, ReplyTo(sent.bytes, 53)});
        }
        return replies;
    });
    const auto start = clock.Now();
    QueryEngine engine(socket, clock, start + 1500ms);
    const auto id = engine.Ask(DnsQuestion(5, 53, schedules::kUnicastDns));
    engine.Run();
    EXPECT_TRUE(engine.Settled(id));
    EXPECT_EQ(clock.Now() - start, 405ms);
}

TEST(QueryEngine, TheDeadlineCutsEveryQuestion) {
    FakeClock clock;
    FakeDatagramSocket socket(clock);
    const auto start = clock.Now();
    QueryEngine engine(socket, clock, start + 300ms);
    engine.Ask(DnsQuestion(1, 53, schedules::kUnicastDns));
    engine.Ask(DnsQuestion(2, 5353, schedules::kSsdp));
    engine.Run();
    EXPECT_EQ(clock.Now() - start, 300ms);
    EXPECT_EQ(engine.Open(), 2u);
    EXPECT_EQ(socket.sent().size(), 3u);
}

TEST(QueryEngine, ASourceEndsWhenAllItsQuestionsAreSettledNotAtTheDeadline) {
    FakeClock clock;
    FakeDatagramSocket socket(clock, [](const FakeDatagramSocket::Sent& sent) {
        const auto id = dns::PeekId(sent.bytes).value_or(0);
        return std::vector<FakeDatagramSocket::Delayed>{
            {std::chrono::milliseconds(id * 10), ReplyTo(sent.bytes, 137)}};
    });
    const auto start = clock.Now();
    QueryEngine engine(socket, clock, start + 1500ms);
    for (std::uint16_t id = 1; id <= 5; ++id) {
        engine.Ask(DnsQuestion(id, 137, schedules::kNetbios));
    }
    engine.Run();
    EXPECT_EQ(engine.Open(), 0u);
    EXPECT_EQ(clock.Now() - start, 50ms);
}

TEST(QueryEngine, AFloodOfAnswersToQuestionsNeverAskedIsDropped) {
    FakeClock clock;
    FakeDatagramSocket socket(clock, [](const FakeDatagramSocket::Sent& sent) {
        return std::vector<FakeDatagramSocket::Delayed>{{200ms, ReplyTo(sent.bytes, 137)}};
    });
    const auto start = clock.Now();
    QueryEngine engine(socket, clock, start + 1500ms);
    const auto id = engine.Ask(DnsQuestion(0x1111, 137, schedules::kNetbios));
    for (std::uint16_t other = 0; other < 10000; ++other) {
        if (other != 0x1111) {
            socket.Deliver(ReplyTo(dns::Query(other, "alfa.local", dns::kTypeA), 137),
                           std::chrono::microseconds(other));
        }
    }
    // The right ID from the wrong port is no answer either.
    socket.Deliver(ReplyTo(dns::Query(0x1111, "alfa.local", dns::kTypeA), 138), 1ms);
    engine.Run();
    EXPECT_TRUE(engine.Settled(id));
    EXPECT_EQ(engine.Dropped(), 10000u);
    EXPECT_EQ(clock.Now() - start, 200ms);
}

TEST(QueryEngine, AMulticastQuestionTakesAnswersUntilItIsGivenUp) {
    FakeClock clock;
    FakeDatagramSocket socket(clock, [](const FakeDatagramSocket::Sent&) {
        std::vector<FakeDatagramSocket::Delayed> replies;
        for (int device = 1; device <= 3; ++device) {
            replies.push_back(
                {std::chrono::milliseconds(device * 100), {{'o', 'k'}, {{10, 0, 0, 1}, 1900}}});
        }
        return replies;
    });
    const auto start = clock.Now();
    QueryEngine engine(socket, clock, start + 1500ms);
    std::size_t taken = 0;
    engine.Ask({{'M'},
                {{{{239, 255, 255, 250}, 1900}, {10, 0, 0, 2}}},
                schedules::kSsdp,
                [&](const Datagram&) {
                    ++taken;
                    return Reply::Taken;
                }});
    engine.Run();
    EXPECT_EQ(taken, 6u);
    EXPECT_EQ(clock.Now() - start, 1500ms);
    EXPECT_EQ(socket.sent().at(0).via, (Ipv4{10, 0, 0, 2}));
}

TEST(QueryEngine, ASweepIsPacedAtSixtyFourDatagramsPerTenMilliseconds) {
    FakeClock clock;
    FakeDatagramSocket socket(clock);
    const auto start = clock.Now();
    QueryEngine engine(socket, clock, start + 1500ms);
    for (std::uint16_t host = 0; host < 512; ++host) {
        const Ipv4 address{10, 0, static_cast<std::uint8_t>(host >> 8),
                           static_cast<std::uint8_t>(host)};
        engine.Ask({{1, 2, 3}, {{{address, 137}, Ipv4{}}}, schedules::kNetbios, {}});
    }
    engine.Run();
    const auto sent = socket.sent();
    ASSERT_EQ(sent.size(), 1024u);
    std::map<std::int64_t, int> perWindow;
    for (const auto& datagram : sent) {
        ++perWindow[std::chrono::duration_cast<std::chrono::milliseconds>(datagram.at - start)
                        .count() /
                    10];
    }
    for (const auto& [window, count] : perWindow) {
        EXPECT_LE(count, 64) << "window " << window;
    }
    // The first round takes eight windows; every question is still given up
    // on time, 250 ms after its own last send.
    EXPECT_EQ(sent[511].at - start, 70ms);
    EXPECT_LE(clock.Now() - start, 580ms);
}

TEST(QueryEngine, AMatcherMayAskAFollowUpQuestion) {
    FakeClock clock;
    FakeDatagramSocket socket(clock, [](const FakeDatagramSocket::Sent& sent) {
        return std::vector<FakeDatagramSocket::Delayed>{{10ms, ReplyTo(sent.bytes, 5353)}};
    });
    const auto start = clock.Now();
    QueryEngine engine(socket, clock, start + 1500ms);
    std::size_t followUps = 0;
    engine.Ask({dns::Query(1, "_smb._tcp.local", dns::kTypePtr),
                {{{kPeer, 5353}, Ipv4{}}},
                schedules::kMdns,
                [&](const Datagram& datagram) {
                    if (!dns::Read(datagram.bytes, {1, true})) {
                        return Reply::NotMine;
                    }
                    ++followUps;
                    engine.Ask(DnsQuestion(2, 5353, schedules::kMdns));
                    return Reply::Settles;
                }});
    engine.Run();
    EXPECT_EQ(followUps, 1u);
    EXPECT_TRUE(engine.Settled(1));
    EXPECT_EQ(clock.Now() - start, 20ms);
}

TEST(QueryEngine, APortUnreachableReachesOnlyTheQuestionSentThere) {
    const struct {
        const char* what;
        UdpEndpoint from;
        bool handled;
        // When the unreachable arrives, from the start.
        std::chrono::milliseconds at;
        bool heard;
    } cases[] = {
        {"the endpoint asked", {kPeer, 137}, true, 5ms, true},
        {"another port of the address asked", {kPeer, 138}, true, 5ms, false},
        {"another address", {{10, 0, 0, 10}, 137}, true, 5ms, false},
        {"a question that does not listen for it", {kPeer, 137}, false, 5ms, false},
    };
    for (const auto& c : cases) {
        FakeClock clock;
        FakeDatagramSocket socket(clock);
        const SteadyTime start = clock.Now();
        QueryEngine engine(socket, clock, start + 1500ms);
        std::vector<UdpEndpoint> heard;
        Query query = DnsQuestion(7, 137, schedules::kNetbios);
        if (c.handled) {
            query.unreachable = [&heard](const UdpEndpoint& to) {
                heard.push_back(to);
                return Reply::Settles;
            };
        }
        const auto id = engine.Ask(std::move(query));
        socket.Deliver({{}, c.from, true}, c.at);
        engine.Run();
        ASSERT_EQ(heard.size(), c.heard ? 1u : 0u) << c.what;
        EXPECT_EQ(engine.Settled(id), c.heard) << c.what;
        EXPECT_EQ(engine.Dropped(), c.heard ? 0u : 1u) << c.what;
        if (c.heard) {
            EXPECT_EQ(heard[0].address, kPeer);
            // Settled before the repeat at 250 ms, and ended there.
            EXPECT_EQ(socket.sent().size(), 1u) << c.what;
            EXPECT_EQ(clock.Now() - start, 5ms) << c.what;
        }
    }
}

} // namespace
} // namespace vexor

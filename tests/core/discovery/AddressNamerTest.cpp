#include "core/discovery/AddressNamer.h"
#include "core/discovery/DnsCodec.h"
#include "core/discovery/NetbiosMessages.h"
#include "fakes/FakeDatagramSocket.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace vexor {
namespace {

using namespace std::chrono_literals;
using fakes::FakeClock;
using fakes::FakeDatagramSocket;
using Sent = FakeDatagramSocket::Sent;
using Delayed = FakeDatagramSocket::Delayed;

const Ipv4 kServer{10, 0, 0, 53};
const Ipv4 kOtherServer{10, 0, 0, 54};
const Ipv4 kMachine{10, 0, 0, 20};

std::uint16_t IdOf(const Sent& sent) {
    return static_cast<std::uint16_t>(sent.bytes[0] << 8 | sent.bytes[1]);
}

// An answer to the PTR question `sent` naming `target`; rcode 3 (no such
// name) when `target` is empty.
std::vector<std::uint8_t> PtrAnswer(const Sent& sent, const std::string& target,
                                    std::optional<std::string> about = std::nullopt) {
    const auto question = dns::Read(sent.bytes, {std::nullopt, false});
    dns::Message message;
    message.id = IdOf(sent);
    message.flags = dns::kFlagResponse | (target.empty() ? 3 : 0);
    message.questions = question->questions;
    if (!target.empty()) {
        dns::Record record;
        record.name = about.value_or(question->questions.at(0).name);
        record.type = dns::kTypePtr;
        record.target = target;
        message.answers.push_back(record);
    }
    return dns::Write(message).value_or(std::vector<std::uint8_t>{});
}

struct Naming {
    std::vector<std::string> names;
    std::vector<Sent> sent;
    SteadyTime start;
    SteadyTime returned;
};

std::string Origin(NameOrigin origin) {
    switch (origin) {
    case NameOrigin::NodeStatus:
        return "nbstat";
    case NameOrigin::Ptr:
        return "ptr";
    case NameOrigin::MdnsReverse:
        return "mdns";
    }
    return "?";
}

Naming Name(FakeDatagramSocket::Responder respond, std::vector<NamingRequest> requests,
            std::vector<Ipv4> servers = {kServer}) {
    FakeClock clock;
    auto socket = std::make_shared<FakeDatagramSocket>(clock, std::move(respond));
    DiscoverySeams seams;
    seams.openSocket = [socket]() -> std::unique_ptr<IDatagramSocket> {
        struct Borrowed : IDatagramSocket {
            explicit Borrowed(IDatagramSocket& s) : link(s) {}
            bool SendTo(std::span<const std::uint8_t> b, const UdpEndpoint& to,
                        const Ipv4& via) override {
                return link.SendTo(b, to, via);
            }
            std::optional<Datagram> ReceiveUntil(SteadyTime deadline) override {
                return link.ReceiveUntil(deadline);
            }
            IDatagramSocket& link;
        };
        return std::make_unique<Borrowed>(*socket);
    };
    seams.clock = &clock;
    AddressNamer namer(
        seams, [servers] { return servers; }, Cp850());
    Naming run;
    run.start = clock.Now();
    namer.Name(requests, run.start + 1500ms, [&](AddressName name) {
        run.names.push_back(std::to_string(name.address[3]) + " " + Origin(name.origin) + " " +
                            name.name + (name.workgroup.empty() ? "" : "/" + name.workgroup));
    });
    run.returned = clock.Now();
    run.sent = socket->sent();
    return run;
}

Datagram From(std::vector<std::uint8_t> bytes, Ipv4 address, std::uint16_t port) {
    return {std::move(bytes), {address, port}};
}

TEST(AddressNamer, AsksEachSourceOfANameAndReportsWhatAnswers) {
    using Reply = std::vector<Delayed>;
    const auto nodeStatus = [](const Sent& sent) {
        return netbios::NodeStatusResponse(
            IdOf(sent), {{"RECEP\x80\xC7O", 0, false, 0}, {"ESCRITORIO", 0, true, 0x8000}});
    };
    const struct {
        const char* what;
        FakeDatagramSocket::Responder respond;
        std::vector<std::string> names;
    } cases[] = {
        {"nothing answers", [](const Sent&) { return Reply{}; }, {}},
        {"node status in CP850",
         [&](const Sent& s) {
             return s.to.port == 137 ? Reply{{1ms, From(nodeStatus(s), kMachine, 137)}} : Reply{};
         },
         {"20 nbstat RECEPÇÃO/ESCRITORIO"}},
        {"a PTR record's first label, as the server wrote it",
         [](const Sent& s) {
             return s.to.port == 53
                        ? Reply{{3ms, From(PtrAnswer(s, "PC-Sala.Corp.example"), kServer, 53)}}
                        : Reply{};
         },
         {"20 ptr PC-Sala"}},
        {"an mDNS reverse answer without .local",
         [](const Sent& s) {
             return s.to.port == 5353
                        ? Reply{{1ms, From(PtrAnswer(s, "caixa-linux.local"), kMachine, 5353)}}
                        : Reply{};
         },
         {"20 mdns caixa-linux"}},
        {"every source, in the order they answer",
         [&](const Sent& s) {
             if (s.to.port == 137) {
                 return Reply{{5ms, From(nodeStatus(s), kMachine, 137)}};
             }
             if (s.to.port == 53) {
                 return Reply{{1ms, From(PtrAnswer(s, "pc20.corp"), kServer, 53)}};
             }
             return Reply{{3ms, From(PtrAnswer(s, "pc20.local"), kMachine, 5353)}};
         },
         {"20 ptr pc20", "20 mdns pc20", "20 nbstat RECEPÇÃO/ESCRITORIO"}},
        {"a server that knows nothing does not silence one that knows",
         [](const Sent& s) {
             if (s.to.port != 53) {
                 return Reply{};
             }
             return s.to.address == kServer
                        ? Reply{{1ms, From(PtrAnswer(s, ""), kServer, 53)}}
                        : Reply{{9ms, From(PtrAnswer(s, "sabe.corp"), kOtherServer, 53)}};
         },
         {"20 ptr sabe"}},
        {"an answer from an address that is no DNS server",
         [](const Sent& s) {
             return s.to.port == 53
                        ? Reply{{1ms, From(PtrAnswer(s, "falso.corp"), {10, 0, 0, 66}, 53)}}
                        : Reply{};
         },
         {}},
        {"an answer about another address",
         [](const Sent& s) {
             return s.to.port == 53
                        ? Reply{{1ms, From(PtrAnswer(s, "outro.corp", "99.0.0.10.in-addr.arpa"),
                                           kServer, 53)}}
                        : Reply{};
         },
         {}},
        {"an mDNS answer from another machine",
         [](const Sent& s) {
             return s.to.port == 5353
                        ? Reply{{1ms, From(PtrAnswer(s, "intruso.local"), {10, 0, 0, 21}, 5353)}}
                        : Reply{};
         },
         {}},
        {"a node status from another port",
         [&](const Sent& s) {
             return s.to.port == 137 ? Reply{{1ms, From(nodeStatus(s), kMachine, 5000)}} : Reply{};
         },
         {}},
        {"a truncated PTR answer",
         [](const Sent& s) {
             auto bytes = PtrAnswer(s, "cortado.corp");
             bytes.resize(bytes.size() - 4);
             return s.to.port == 53 ? Reply{{1ms, From(bytes, kServer, 53)}} : Reply{};
         },
         {}},
        {"a PTR answer with control characters is passed on for cleaning",
         [](const Sent& s) {
             return s.to.port == 53
                        ? Reply{{1ms, From(PtrAnswer(s, "pc\x07sino.corp"), kServer, 53)}}
                        : Reply{};
         },
         {"20 ptr pc\x07sino"}},
    };
    for (const auto& c : cases) {
        const Naming run = Name(c.respond, {{kMachine, true}}, {kServer, kOtherServer});
        EXPECT_EQ(run.names, c.names) << c.what;
        EXPECT_LE(run.returned, run.start + 1500ms) << c.what;
    }
}

TEST(AddressNamer, SendsEachQuestionWhereItBelongsAndGivesUpInTime) {
    const Naming run = Name([](const Sent&) { return std::vector<Delayed>{}; },
                            {{kMachine, false}, {{10, 0, 0, 21}, true}, {kMachine, true}});
    std::map<std::string, int> where;
    for (const auto& sent : run.sent) {
        where[std::to_string(sent.to.address[3]) + ":" + std::to_string(sent.to.port)]++;
    }
    // Each question twice (its repeat); no node status to the machine the
    // sweep asked already, and the address asked twice is named once.
    const std::map<std::string, int> expected{
        {"20:5353", 2}, {"53:53", 4}, {"21:137", 2}, {"21:5353", 2}};
    EXPECT_EQ(where, expected);
    // A DNS server that does not answer costs its schedule, not the deadline.
    EXPECT_LE(run.returned - run.start, 850ms);
}

TEST(AddressNamer, NoDnsServerNoPtrQuestion) {
    const Naming run =
        Name([](const Sent&) { return std::vector<Delayed>{}; }, {{kMachine, false}}, {});
    for (const auto& sent : run.sent) {
        EXPECT_EQ(sent.to.port, 5353);
    }
    EXPECT_FALSE(run.sent.empty());
}

TEST(AddressNamer, FirstLabelAsWritten) {
    EXPECT_EQ(FirstLabel("PC-Sala.corp.example."), "PC-Sala");
    EXPECT_EQ(FirstLabel("semponto"), "semponto");
    EXPECT_EQ(FirstLabel(".inicio"), "");
    EXPECT_EQ(FirstLabel(""), "");
}

TEST(AddressNamer, AMachineWhosePortsAreClosedEndsItsQuestionsAtOnce) {
    using Reply = std::vector<Delayed>;
    const struct {
        const char* what;
        FakeDatagramSocket::Responder respond;
        std::chrono::milliseconds returned;
        std::size_t sent;
    } cases[] = {
        {"both ports closed",
         [](const Sent& s) {
             return Reply{{2ms, {{}, s.to, true}}};
         },
         2ms, 2},
        // The repeat at 250 ms, given up 250 ms later.
        {"silent", [](const Sent&) { return Reply{}; }, 500ms, 4},
        {"an unreachable for another port",
         [](const Sent& s) {
             return Reply{
                 {2ms, {{}, {s.to.address, static_cast<std::uint16_t>(s.to.port + 1)}, true}}};
         },
         500ms, 4},
    };
    for (const auto& c : cases) {
        const Naming run = Name(c.respond, {{kMachine, true}}, {});
        EXPECT_TRUE(run.names.empty()) << c.what;
        EXPECT_EQ(run.returned - run.start, c.returned) << c.what;
        EXPECT_EQ(run.sent.size(), c.sent) << c.what;
    }
}

} // namespace
} // namespace vexor

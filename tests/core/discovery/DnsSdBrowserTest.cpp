// The DNS-SD browser against scripted mDNS responders behind a fake socket on
// a fake clock.
#include "core/discovery/DnsSdBrowser.h"
#include "core/discovery/DnsCodec.h"

#include "FakeClock.h"
#include "FakeDatagramSocket.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace vexor {
namespace {

using namespace std::chrono_literals;
using fakes::FakeClock;
using fakes::FakeDatagramSocket;
using Bytes = std::vector<std::uint8_t>;

void U16(Bytes& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

void Name(Bytes& out, const std::string& name) {
    std::size_t start = 0;
    while (start < name.size()) {
        const std::size_t dot = std::min(name.find('.', start), name.size());
        out.push_back(static_cast<std::uint8_t>(dot - start));
        out.insert(out.end(), name.begin() + static_cast<long>(start),
                   name.begin() + static_cast<long>(dot));
        start = dot + 1;
    }
    out.push_back(0);
}

constexpr Ipv4 kNasAt{10, 0, 0, 21};

struct Record {
    std::string name;
    std::uint16_t type;
    std::string target;
    Ipv4 address{};
    // The responder that holds it.
    Ipv4 from = kNasAt;
    std::uint32_t ttl = 120;
};

Bytes Response(std::uint16_t id, const std::vector<Record>& answers,
               const std::vector<Record>& additional) {
    Bytes out;
    U16(out, id);
    U16(out, 0x8400);
    U16(out, 0);
    U16(out, static_cast<unsigned>(answers.size()));
    U16(out, 0);
    U16(out, static_cast<unsigned>(additional.size()));
    for (const auto* section : {&answers, &additional}) {
        for (const Record& record : *section) {
            Name(out, record.name);
            U16(out, record.type);
            U16(out, 0x8001);
            U16(out, static_cast<unsigned>(record.ttl >> 16));
            U16(out, static_cast<unsigned>(record.ttl & 0xFFFF));
            Bytes data;
            if (record.type == dns::kTypeA) {
                data.assign(record.address.begin(), record.address.end());
            } else if (record.type == dns::kTypeSrv) {
                U16(data, 0);
                U16(data, 0);
                U16(data, 445);
                Name(data, record.target);
            } else {
                Name(data, record.target);
            }
            U16(out, static_cast<unsigned>(data.size()));
            out.insert(out.end(), data.begin(), data.end());
        }
    }
    return out;
}

// The question of a query we sent: its id, name and type.
struct Asked {
    std::uint16_t id;
    std::string name;
    std::uint16_t type;
};

Asked ReadQuestion(std::span<const std::uint8_t> bytes) {
    Asked asked{static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]), {}, 0};
    std::size_t at = 12;
    while (bytes[at] != 0) {
        if (!asked.name.empty()) {
            asked.name += '.';
        }
        asked.name.append(reinterpret_cast<const char*>(&bytes[at + 1]), bytes[at]);
        at += 1 + bytes[at];
    }
    asked.type = static_cast<std::uint16_t>(bytes[at + 1] << 8 | bytes[at + 2]);
    return asked;
}

// A link on which responders hold `records` and answer each query, each from
// its own address, putting the records that follow from the answer in the
// additional section when `additional` is set; hostile ones send junk with
// every answer, and `pushed` goes with every query, from its records' senders,
// ahead of the answers, about 20 records a message, a service with its records.
// `later` comes once, `laterAt` after the first query, one message per sender
// as an answer to it; from then on its senders no longer hold the records it
// says goodbye to, unless they `stay`.
struct Zone {
    std::vector<Record> records;
    bool additional = true;
    bool hostile = false;
    std::vector<Record> pushed = {};
    std::vector<Record> later = {};
    std::chrono::milliseconds laterAt = 0ms;
    bool stay = false;
};

// Whether `goodbye` ends `record`: the same record of the same sender.
bool Ends(const Record& goodbye, const Record& record) {
    return goodbye.ttl == 0 && goodbye.from == record.from && goodbye.type == record.type &&
           AsciiLower(goodbye.name) == AsciiLower(record.name) &&
           AsciiLower(goodbye.target) == AsciiLower(record.target) &&
           goodbye.address == record.address;
}

// Scripted responders: each query gets its answers 5 ms later (and junk first
// when the zone is hostile).
class ScriptedMdns {
  public:
    explicit ScriptedMdns(Zone zone) : zone_(std::move(zone)) {}

    std::vector<FakeDatagramSocket::Delayed> Respond(const FakeDatagramSocket::Sent& sent) {
        EXPECT_EQ(sent.to.port, 5353);
        const Asked asked = ReadQuestion(sent.bytes);
        ++queries_[std::to_string(asked.type) + " " + asked.name];
        std::vector<FakeDatagramSocket::Delayed> replies;
        if (!leftAt_) {
            leftAt_ = sent.at + zone_.laterAt;
            std::map<Ipv4, std::vector<Record>> senders;
            for (const Record& record : zone_.later) {
                senders[record.from].push_back(record);
            }
            for (const auto& [from, records] : senders) {
                replies.push_back({zone_.laterAt, {Response(asked.id, records, {}), {from, 5353}}});
            }
        }
        if (!zone_.stay && sent.at >= *leftAt_) {
            std::erase_if(zone_.records, [&](const Record& record) {
                return std::any_of(zone_.later.begin(), zone_.later.end(),
                                   [&](const Record& goodbye) { return Ends(goodbye, record); });
            });
        }
        std::map<Ipv4, std::vector<Record>> answers;
        std::map<Ipv4, std::vector<Record>> additional;
        for (const Record& record : zone_.records) {
            if (AsciiLower(record.name) == AsciiLower(asked.name) && record.type == asked.type) {
                answers[record.from].push_back(record);
            }
        }
        if (zone_.additional) {
            for (const auto& [from, held] : answers) {
                for (const Record& answer : held) {
                    for (const Record& record : zone_.records) {
                        if (record.from == from &&
                            AsciiLower(record.name) == AsciiLower(answer.target)) {
                            additional[from].push_back(record);
                            for (const Record& more : zone_.records) {
                                if (record.type == dns::kTypeSrv && more.from == from &&
                                    AsciiLower(more.name) == AsciiLower(record.target)) {
                                    additional[from].push_back(more);
                                }
                            }
                        }
                    }
                }
            }
        }
        auto reply = [&](Bytes bytes, std::uint16_t port, const Ipv4& from = {10, 0, 0, 50}) {
            replies.push_back({5ms, {std::move(bytes), {from, port}}});
        };
        std::vector<Record> part;
        for (std::size_t at = 0; at <= zone_.pushed.size(); ++at) {
            if (at == zone_.pushed.size() ||
                (part.size() >= 18 && zone_.pushed[at].type == dns::kTypePtr)) {
                if (!part.empty()) {
                    reply(Response(asked.id, part, {}), 5353, part.front().from);
                }
                part.clear();
            }
            if (at < zone_.pushed.size()) {
                part.push_back(zone_.pushed[at]);
            }
        }
        if (zone_.hostile) {
            const std::vector<Record> evil{{asked.name, dns::kTypePtr, "mau._smb._tcp.local"},
                                           {"mau._smb._tcp.local", dns::kTypeSrv, "mau.local"},
                                           {"mau.local", dns::kTypeA, "", {10, 6, 6, 6}}};
            reply(Response(static_cast<std::uint16_t>(asked.id + 1), evil, {}), 5353);
            reply(Response(asked.id, evil, {}), 5354);
            Bytes loop = Response(asked.id, {}, {});
            loop[7] = 1;
            for (const unsigned byte : {0xC0u, 12u, 0u, 1u, 0u, 1u}) {
                loop.push_back(static_cast<std::uint8_t>(byte));
            }
            reply(loop, 5353);
            Bytes truncated = Response(asked.id, evil, {});
            truncated.resize(truncated.size() - 3);
            reply(truncated, 5353);
        }
        for (const auto& [from, held] : answers) {
            reply(Response(asked.id, held, additional[from]), 5353, from);
            // Responders on two interfaces, or a repeat: the same answer twice.
            reply(Response(asked.id, held, additional[from]), 5353, from);
        }
        return replies;
    }

    const std::map<std::string, int>& queries() const { return queries_; }

  private:
    Zone zone_;
    std::map<std::string, int> queries_;
    std::optional<SteadyTime> leftAt_;
};

// The browser's socket: it goes with the browse, the link it speaks to stays.
class Borrowed : public IDatagramSocket {
  public:
    explicit Borrowed(IDatagramSocket& link) : link_(link) {}
    bool SendTo(std::span<const std::uint8_t> bytes, const UdpEndpoint& to,
                const Ipv4& via) override {
        return link_.SendTo(bytes, to, via);
    }
    std::optional<Datagram> ReceiveUntil(SteadyTime deadline) override {
        return link_.ReceiveUntil(deadline);
    }

  private:
    IDatagramSocket& link_;
};

struct Outcome {
    // What was listed at the end, sorted.
    std::vector<std::string> found;
    // Each report ("+name@host") and withdrawal ("-name@host"), in order.
    std::vector<std::string> events;
    std::map<std::string, int> queries;
    std::chrono::nanoseconds took{};
};

Outcome Browse(Zone zone) {
    FakeClock clock;
    ScriptedMdns responders(std::move(zone));
    FakeDatagramSocket link(clock, [&](const auto& sent) { return responders.Respond(sent); });
    DiscoverySeams seams;
    seams.clock = &clock;
    seams.interfaces = [] { return std::vector<Ipv4>{{10, 0, 0, 100}}; };
    seams.openSocket = [&]() -> std::unique_ptr<IDatagramSocket> {
        return std::make_unique<Borrowed>(link);
    };
    Outcome outcome;
    const auto start = clock.Now();
    // Built by appending: MinGW's gcc 12 misreads operator+ on a literal.
    auto line = [](const FoundMachine& machine, std::string text = {}) {
        text += machine.name;
        text += '@';
        text += std::to_string(machine.address[3]);
        return text;
    };
    BrowseDnsSdItself(seams,
                      {[&](FoundMachine machine) {
                           outcome.found.push_back(line(machine));
                           outcome.events.push_back(line(machine, "+"));
                       },
                       [&](FoundMachine machine) {
                           const auto at =
                               std::find(outcome.found.begin(), outcome.found.end(), line(machine));
                           if (at != outcome.found.end()) {
                               outcome.found.erase(at);
                           }
                           outcome.events.push_back(line(machine, "-"));
                       }},
                      start + 2s);
    outcome.took = clock.Now() - start;
    outcome.queries = responders.queries();
    std::sort(outcome.found.begin(), outcome.found.end());
    return outcome;
}

const Record kNasPtr{"_smb._tcp.local", dns::kTypePtr, "nas da sala._smb._tcp.local"};
const Record kNasSrv{"nas da sala._smb._tcp.local", dns::kTypeSrv, "nas-sala.local"};
const Record kNasA{"nas-sala.local", dns::kTypeA, "", kNasAt};

constexpr Ipv4 kMacAt{10, 0, 0, 23};

TEST(DnsSdBrowser, FindsEachHostOnceAskingOnlyForWhatIsMissing) {
    const struct {
        const char* what;
        Zone zone;
        std::vector<std::string> found;
        // Queries of each kind sent, "type name" → count.
        std::map<std::string, int> queries;
        // When the browse ended: 150 ms after the last question's third send.
        std::chrono::milliseconds took;
    } cases[] = {
        {"everything in the additional section",
         {{kNasPtr, kNasSrv, kNasA}, true, false},
         {"nas-sala.local@21"},
         {{"12 _smb._tcp.local", 3},
          {"12 _workstation._tcp.local", 3},
          {"12 _device-info._tcp.local", 3}},
         450ms},
        {"SRV, then A, asked for",
         {{kNasPtr, kNasSrv, kNasA}, false, false},
         {"nas-sala.local@21"},
         {{"12 _smb._tcp.local", 3},
          {"12 _workstation._tcp.local", 3},
          {"12 _device-info._tcp.local", 3},
          {"33 nas da sala._smb._tcp.local", 1},
          {"1 nas-sala.local", 1}},
         450ms},
        {"a target with no address is asked three times and not listed",
         {{kNasPtr, kNasSrv}, false, false},
         {},
         {{"12 _smb._tcp.local", 3},
          {"12 _workstation._tcp.local", 3},
          {"12 _device-info._tcp.local", 3},
          {"33 nas da sala._smb._tcp.local", 1},
          {"1 nas-sala.local", 3}},
         460ms},
        {"two instances of one host, and the host under two types: once",
         {{kNasPtr,
           kNasSrv,
           kNasA,
           {"_smb._tcp.local", dns::kTypePtr, "outro._smb._tcp.local"},
           {"outro._smb._tcp.local", dns::kTypeSrv, "nas-sala.local"},
           {"_workstation._tcp.local", dns::kTypePtr, "nas-sala [00:11]._workstation._tcp.local"},
           {"nas-sala [00:11]._workstation._tcp.local", dns::kTypeSrv, "nas-sala.local"},
           {"_device-info._tcp.local", dns::kTypePtr, "mac._device-info._tcp.local", {}, kMacAt},
           {"mac._device-info._tcp.local", dns::kTypeSrv, "MacBook.local", {}, kMacAt},
           {"macbook.local", dns::kTypeA, "", kMacAt, kMacAt}},
          true,
          false},
         {"MacBook.local@23", "nas-sala.local@21"},
         {{"12 _smb._tcp.local", 3},
          {"12 _workstation._tcp.local", 3},
          {"12 _device-info._tcp.local", 3}},
         450ms},
        {"answers to another id, from another port, looping or cut short are ignored",
         {{kNasPtr, kNasSrv, kNasA}, true, true},
         {"nas-sala.local@21"},
         {{"12 _smb._tcp.local", 3},
          {"12 _workstation._tcp.local", 3},
          {"12 _device-info._tcp.local", 3}},
         450ms},
    };
    for (const auto& c : cases) {
        const Outcome outcome = Browse(c.zone);
        EXPECT_EQ(outcome.found, c.found) << c.what;
        EXPECT_EQ(outcome.queries, c.queries) << c.what;
        EXPECT_EQ(outcome.took, c.took) << c.what;
    }
}

constexpr Ipv4 kFloodAt{10, 0, 0, 50};

// "PREFIX" followed by `i` and `suffix` (built so, not with operator+ on a
// literal, which MinGW's gcc 12 misreads as an overlapping copy).
std::string Numbered(std::string prefix, int i, const char* suffix) {
    prefix += std::to_string(i);
    prefix += suffix;
    return prefix;
}

// One sender's 400 services with their targets and addresses, in that order
// of arrival; every eighth names an address that is not the sender's.
std::vector<Record> Flood() {
    std::vector<Record> flood;
    for (int i = 0; i < 400; ++i) {
        const std::string host = Numbered("f", i, ".local");
        const std::string instance = Numbered("f", i, "._smb._tcp.local");
        const Ipv4 address =
            i % 8 == 7 ? Ipv4{10, 0, 9, static_cast<std::uint8_t>(i % 250)} : kFloodAt;
        flood.push_back({"_smb._tcp.local", dns::kTypePtr, instance, {}, kFloodAt});
        flood.push_back({instance, dns::kTypeSrv, host, {}, kFloodAt});
        flood.push_back({host, dns::kTypeA, "", address, kFloodAt});
    }
    return flood;
}

// The flood's first 32 services, less those whose address is elsewhere.
std::vector<std::string> FloodListed() {
    std::vector<std::string> listed;
    for (int i = 0; i < 32; ++i) {
        if (i % 8 != 7) {
            listed.push_back(Numbered("f", i, ".local@50"));
        }
    }
    return listed;
}

std::vector<std::string> Sorted(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST(DnsSdBrowser, TakesFromEachSenderOnlyItsShareAndOnlyWhatWasAsked) {
    const std::map<std::string, int> browsed{{"12 _smb._tcp.local", 3},
                                             {"12 _workstation._tcp.local", 3},
                                             {"12 _device-info._tcp.local", 3}};
    auto with = [&](std::map<std::string, int> more) {
        more.insert(browsed.begin(), browsed.end());
        return more;
    };
    std::vector<std::string> floodAndNas = FloodListed();
    floodAndNas.push_back("nas-sala.local@21");
    const Record nasAElsewhere{"nas-sala.local", dns::kTypeA, "", {10, 0, 0, 99}};
    const Record nasGone{
        "_smb._tcp.local", dns::kTypePtr, "nas da sala._smb._tcp.local", {}, kNasAt, 0};
    const Record nasAGone{"nas-sala.local", dns::kTypeA, "", kNasAt, kNasAt, 0};
    // Records nobody asked for, each with all it would take to be listed.
    const std::vector<Record> unasked{
        {"_http._tcp.local", dns::kTypePtr, "web._http._tcp.local", {}, kFloodAt},
        {"web._http._tcp.local", dns::kTypeSrv, "web.local", {}, kFloodAt},
        {"web.local", dns::kTypeA, "", kFloodAt, kFloodAt},
        {"solto._smb._tcp.local", dns::kTypeSrv, "solto.local", {}, kFloodAt},
        {"solto.local", dns::kTypeA, "", kFloodAt, kFloodAt},
        // Another sender's target, given an address by the flood.
        {"nas-sala.local", dns::kTypeA, "", kFloodAt, kFloodAt},
    };
    // A service said goodbye to ahead of its records, and a host whose
    // address is said goodbye to after them.
    const std::vector<Record> goodbyes{
        {"_smb._tcp.local", dns::kTypePtr, "adeus._smb._tcp.local", {}, kFloodAt, 0},
        {"adeus._smb._tcp.local", dns::kTypeSrv, "adeus.local", {}, kFloodAt},
        {"adeus.local", dns::kTypeA, "", kFloodAt, kFloodAt},
        {"_smb._tcp.local", dns::kTypePtr, "tchau._smb._tcp.local", {}, kFloodAt},
        {"tchau._smb._tcp.local", dns::kTypeSrv, "tchau.local", {}, kFloodAt},
        {"tchau.local", dns::kTypeA, "", kFloodAt, kFloodAt},
        {"tchau.local", dns::kTypeA, "", kFloodAt, kFloodAt, 0},
    };
    std::vector<Record> goodbyesThenFlood = goodbyes;
    for (const Record& record : Flood()) {
        goodbyesThenFlood.push_back(record);
    }
    // The flood's services at addresses elsewhere are asked for their address.
    std::map<std::string, int> floodQueries = with({});
    for (const int i : {7, 15, 23, 31}) {
        floodQueries[Numbered("1 f", i, ".local")] = 3;
    }
    // "tchau" was taken, so the flood's share ends a service sooner, before
    // f31, whose address was elsewhere anyway.
    std::map<std::string, int> goodbyeQueries = floodQueries;
    goodbyeQueries.erase("1 f31.local");
    goodbyeQueries["1 tchau.local"] = 3;
    const struct {
        const char* what;
        Zone zone;
        std::vector<std::string> found;
        std::map<std::string, int> queries;
    } cases[] = {
        {"400 services from one sender beside an honest NAS: the NAS listed, the flood cut at 32",
         {{kNasPtr, kNasSrv, kNasA}, true, false, Flood()},
         Sorted(floodAndNas),
         floodQueries},
        {"an address that is not the sender's is dropped and asked for",
         {{kNasPtr, kNasSrv, nasAElsewhere}, true, false},
         {},
         with({{"1 nas-sala.local", 3}})},
        {"records nobody asked for are dropped", {{}, true, false, unasked}, {}, browsed},
        {"the NAS's address from another sender is not the NAS's",
         {{kNasPtr, kNasSrv}, true, false, unasked},
         {},
         with({{"1 nas-sala.local", 3}})},
        {"a service said goodbye to is not listed",
         {{kNasPtr, kNasSrv, kNasA, nasGone}, true, false},
         {},
         browsed},
        {"an address said goodbye to is not listed, and asked for again",
         {{kNasPtr, kNasSrv, kNasA, nasAGone}, true, false},
         {},
         with({{"1 nas-sala.local", 3}})},
        {"goodbyes take no share; a service taken and then left keeps its place",
         {{kNasPtr, kNasSrv, kNasA}, true, false, goodbyesThenFlood},
         Sorted(floodAndNas),
         goodbyeQueries},
    };
    for (const auto& c : cases) {
        const Outcome outcome = Browse(c.zone);
        EXPECT_EQ(outcome.found, c.found) << c.what;
        EXPECT_EQ(outcome.queries, c.queries) << c.what;
    }
}

// A goodbye that comes after the host was reported withdraws it; one from
// any sender but the one that announced the record, or for a record nobody
// took, changes nothing.
TEST(DnsSdBrowser, AGoodbyeWithdrawsOnlyWhatItsOwnSenderAnnounced) {
    const Record mac[] = {
        {"_device-info._tcp.local", dns::kTypePtr, "mac._device-info._tcp.local", {}, kMacAt},
        {"mac._device-info._tcp.local", dns::kTypeSrv, "MacBook.local", {}, kMacAt},
        {"macbook.local", dns::kTypeA, "", kMacAt, kMacAt}};
    const std::vector<Record> nasAndMac{kNasPtr, kNasSrv, kNasA, mac[0], mac[1], mac[2]};
    auto goodbye = [](Record record, const Ipv4& from = kNasAt) {
        record.from = from;
        record.ttl = 0;
        return record;
    };
    const Record nasWorkstation[] = {
        {"_workstation._tcp.local", dns::kTypePtr, "nas-sala [00:11]._workstation._tcp.local"},
        {"nas-sala [00:11]._workstation._tcp.local", dns::kTypeSrv, "nas-sala.local"}};
    const Record nasSrvElsewhere{kNasSrv.name, dns::kTypeSrv, "outro-nas.local"};
    const Record ghost{"_smb._tcp.local", dns::kTypePtr, "fantasma._smb._tcp.local"};
    const std::vector<std::string> both{"+nas-sala.local@21", "+MacBook.local@23"};
    const std::vector<std::string> bothThenNasGone{"+nas-sala.local@21", "+MacBook.local@23",
                                                   "-nas-sala.local@21"};
    const struct {
        const char* what;
        Zone zone;
        std::vector<std::string> found;
        std::vector<std::string> events;
    } cases[] = {
        {"a goodbye in the same answer: never reported",
         {{kNasPtr, kNasSrv, kNasA, goodbye(kNasPtr)}, true, false},
         {},
         {}},
        {"a goodbye after the service came, before it resolved: never reported",
         {{kNasPtr, kNasSrv, kNasA}, false, false, {}, {goodbye(kNasPtr)}, 7ms},
         {},
         {}},
        {"the service's goodbye after the report withdraws the host",
         {nasAndMac, true, false, {}, {goodbye(kNasPtr)}, 50ms},
         {"MacBook.local@23"},
         bothThenNasGone},
        {"the target's goodbye after the report withdraws the host",
         {nasAndMac, true, false, {}, {goodbye(kNasSrv)}, 50ms},
         {"MacBook.local@23"},
         bothThenNasGone},
        {"the address's goodbye after the report withdraws the host",
         {nasAndMac, true, false, {}, {goodbye(kNasA)}, 50ms},
         {"MacBook.local@23"},
         bothThenNasGone},
        {"a host that comes back after its goodbye is reported again",
         {nasAndMac, true, false, {}, {goodbye(kNasPtr)}, 50ms, true},
         {"MacBook.local@23", "nas-sala.local@21"},
         {"+nas-sala.local@21", "+MacBook.local@23", "-nas-sala.local@21", "+nas-sala.local@21"}},
        {"a host another of its services still leads to stays",
         {{kNasPtr, kNasSrv, kNasA, nasWorkstation[0], nasWorkstation[1]},
          true,
          false,
          {},
          {goodbye(kNasPtr)},
          50ms},
         {"nas-sala.local@21"},
         {"+nas-sala.local@21"}},
        {"a goodbye for a target the service does not have changes nothing",
         {nasAndMac, true, false, {}, {goodbye(nasSrvElsewhere)}, 50ms},
         {"MacBook.local@23", "nas-sala.local@21"},
         both},
        {"a goodbye for a service never taken changes nothing",
         {nasAndMac, true, false, {}, {goodbye(ghost)}, 50ms},
         {"MacBook.local@23", "nas-sala.local@21"},
         both},
        {"goodbyes from another sender for the NAS's records change nothing",
         {nasAndMac,
          true,
          false,
          {},
          {goodbye(kNasPtr, kFloodAt), goodbye(kNasSrv, kFloodAt), goodbye(kNasA, kFloodAt),
           goodbye(kNasPtr, kMacAt), goodbye(kNasA, kMacAt)},
          50ms},
         {"MacBook.local@23", "nas-sala.local@21"},
         both},
    };
    for (const auto& c : cases) {
        const Outcome outcome = Browse(c.zone);
        EXPECT_EQ(outcome.found, c.found) << c.what;
        EXPECT_EQ(outcome.events, c.events) << c.what;
    }
}

} // namespace
} // namespace vexor

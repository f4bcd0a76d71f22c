// The SSDP source against scripted devices behind fake seams and a fake clock.
#include "core/discovery/SsdpClient.h"
#include "TestXmlReader.h"
#include "core/discovery/SsdpMessages.h"

#include "FakeClock.h"
#include "FakeDatagramSocket.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <utility>

namespace vexor {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string Dotted(const Ipv4& address) {
    return std::to_string(address[0]) + "." + std::to_string(address[1]) + "." +
           std::to_string(address[2]) + "." + std::to_string(address[3]);
}

std::string AnswerAt(const std::string& location) {
    return "HTTP/1.1 200 OK\r\nST: upnp:rootdevice\r\nUSN: uuid:x::upnp:rootdevice\r\n" +
           (location.empty() ? std::string() : "LOCATION: " + location + "\r\n") + "\r\n";
}

std::string Description(const std::string& friendlyName) {
    return "<?xml version=\"1.0\"?><root xmlns=\"urn:schemas-upnp-org:device-1-0\"><device>" +
           (friendlyName.empty() ? std::string()
                                 : "<friendlyName>" + friendlyName + "</friendlyName>") +
           "</device></root>";
}

// A device's answer to each M-SEARCH copy it reads, `delay` after it.
struct Answer {
    Ipv4 from;
    std::string datagram;
    Clock::duration delay = 10ms;
    // Answers only the first copy: the other was lost.
    bool firstOnly = true;
};

using Sent = fakes::FakeDatagramSocket::Sent;

std::string Text(const std::vector<std::uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

// The scripted link, with a look before each wait: `beforeMove` is told how
// many answers were delivered before the clock moves on.
class SteppedLink : public IDatagramSocket {
  public:
    SteppedLink(fakes::FakeDatagramSocket& link, std::function<void(int)> beforeMove)
        : link_(link), beforeMove_(std::move(beforeMove)) {}
    bool SendTo(std::span<const std::uint8_t> bytes, const UdpEndpoint& to,
                const Ipv4& via) override {
        return link_.SendTo(bytes, to, via);
    }
    std::optional<Datagram> ReceiveUntil(SteadyTime deadline) override {
        if (beforeMove_) {
            beforeMove_(delivered_);
        }
        auto datagram = link_.ReceiveUntil(deadline);
        delivered_ += datagram ? 1 : 0;
        return datagram;
    }

  private:
    fakes::FakeDatagramSocket& link_;
    std::function<void(int)> beforeMove_;
    int delivered_ = 0;
};

struct Fetched {
    std::string url;
    std::chrono::milliseconds limit;
    std::size_t maxBytes;
    Clock::duration at;
};

using Descriptions = std::function<std::optional<std::string>(const std::string& url)>;

struct Outcome {
    std::vector<std::string> found;
    std::vector<Sent> sent;
    std::vector<Fetched> fetched;
    Clock::duration took;
};

// With `inStep`, time moves on only once every answer delivered so far has had
// its fetch started, as it would on a machine whose threads keep up.
Outcome Discover(const std::vector<Answer>& answers, const Descriptions& descriptions,
                 Clock::duration deadline = 1500ms, SsdpTiming timing = {},
                 std::vector<Ipv4> interfaces = {{10, 0, 0, 100}, {192, 168, 1, 100}},
                 bool inStep = false,
                 const std::function<void(const std::string&, fakes::FakeClock&)>& onGet = {},
                 const std::function<void()>& onFound = {}) {
    fakes::FakeClock clock;
    const SteadyTime start = clock.Now();
    Outcome run;
    std::mutex mutex;
    std::condition_variable fetchStarted;
    int copies = 0;
    // Each copy goes out on every interface; the devices read it once.
    fakes::FakeDatagramSocket link(clock, [&](const Sent& sent) {
        std::vector<fakes::FakeDatagramSocket::Delayed> replies;
        if (sent.via != interfaces.front()) {
            return replies;
        }
        for (const Answer& answer : answers) {
            if (!answer.firstOnly || copies == 0) {
                replies.push_back(
                    {answer.delay,
                     {{answer.datagram.begin(), answer.datagram.end()}, {answer.from, kSsdpPort}}});
            }
        }
        ++copies;
        return replies;
    });
    std::function<void(int)> beforeMove;
    if (inStep) {
        beforeMove = [&](int delivered) {
            std::unique_lock lock(mutex);
            fetchStarted.wait_for(lock, 10s, [&] {
                return run.fetched.size() >= static_cast<std::size_t>(delivered);
            });
        };
    }
    auto stepped = std::make_unique<SteppedLink>(link, beforeMove);
    DiscoverySeams seams;
    seams.interfaces = [&] { return interfaces; };
    seams.openSocket = [&]() -> std::unique_ptr<IDatagramSocket> { return std::move(stepped); };
    seams.xml = testing::SystemXmlReader();
    seams.clock = &clock;
    seams.post = [](const std::string&, const std::string&, std::chrono::milliseconds,
                    std::size_t) -> std::optional<std::string> {
        ADD_FAILURE() << "SSDP posts nothing";
        return std::nullopt;
    };
    seams.get = [&](const std::string& url, std::chrono::milliseconds limit,
                    std::size_t maxBytes) -> std::optional<std::string> {
        {
            const std::lock_guard lock(mutex);
            run.fetched.push_back({url, limit, maxBytes, clock.Now() - start});
        }
        fetchStarted.notify_all();
        if (onGet) {
            onGet(url, clock);
        }
        return descriptions(url);
    };
    DiscoverSsdpDevices(
        seams,
        [&](FoundMachine machine) {
            EXPECT_EQ(machine.source, MachineSource::Ssdp);
            EXPECT_EQ(machine.workgroup, "");
            {
                const std::lock_guard lock(mutex);
                run.found.push_back(machine.name + "@" + Dotted(machine.address));
            }
            if (onFound) {
                onFound();
            }
        },
        start + deadline, timing);
    run.took = clock.Now() - start;
    for (Sent sent : link.sent()) {
        sent.at -= start - SteadyTime{};
        run.sent.push_back(std::move(sent));
    }
    std::sort(run.found.begin(), run.found.end());
    return run;
}

// Fetches are given until the deadline: a fetch the test does not hold is never
// counted as overrunning because the fake clock jumped while it ran.
SsdpTiming Patient() {
    SsdpTiming timing;
    timing.getLimit = 5000ms;
    return timing;
}

// Serves the description named in a URL's path: http://HOST:PORT/NAME.
Descriptions Serving(std::map<std::string, std::optional<std::string>> byUrl) {
    return [byUrl = std::move(byUrl)](const std::string& url) -> std::optional<std::string> {
        const auto at = byUrl.find(url);
        return at == byUrl.end() ? std::nullopt : at->second;
    };
}

TEST(SsdpClient, NamesEachAnsweringAddressOnceByItsRootDevice) {
    const std::vector<Answer> answers{
        // A media server answers for its root device and each service, at one LOCATION.
        {{10, 0, 0, 5}, AnswerAt("http://10.0.0.5:8200/rootDesc.xml"), 5ms},
        {{10, 0, 0, 5}, AnswerAt("http://10.0.0.5:8200/rootDesc.xml"), 6ms},
        {{10, 0, 0, 5}, AnswerAt("http://10.0.0.5:8200/rootDesc.xml"), 7ms},
        // A router whose first root device has no name, its second one has.
        {{10, 0, 0, 1}, AnswerAt("http://10.0.0.1:1900/igd.xml"), 20ms},
        {{10, 0, 0, 1}, AnswerAt("http://10.0.0.1:49152/wps.xml"), 30ms},
        // A device with no description, one whose description cannot be had,
        // and one that answers only the repeated M-SEARCH.
        {{10, 0, 0, 7}, AnswerAt(""), 400ms},
        {{10, 0, 0, 8}, AnswerAt("http://10.0.0.8/d.xml"), 900ms},
        {{10, 0, 0, 9}, AnswerAt("http://10.0.0.9/d.xml"), 850ms, false},
        // A TV whose name carries controls and bidirectional marks.
        {{10, 0, 0, 6}, AnswerAt("http://10.0.0.6:7676/tv.xml"), 50ms},
        // What is not an answer is not a device.
        {{10, 0, 0, 10}, "NOTIFY * HTTP/1.1\r\nLOCATION: http://10.0.0.10/\r\n\r\n", 10ms},
    };
    const Outcome run =
        Discover(answers,
                 Serving({
                     {"http://10.0.0.5:8200/rootDesc.xml", Description("Filmes da Sala")},
                     {"http://10.0.0.1:1900/igd.xml", Description("")},
                     {"http://10.0.0.1:49152/wps.xml", Description("Roteador")},
                     {"http://10.0.0.6:7676/tv.xml",
                      Description("TV\xe2\x80\xae da Reuni\xc2\x85\xc3\xa3o\xe2\x80\x8b")},
                     {"http://10.0.0.9/d.xml", Description("Impressora")},
                 }),
                 1500ms, Patient());
    EXPECT_EQ(run.found, (std::vector<std::string>{"@10.0.0.7", "@10.0.0.8",
                                                   "Filmes da Sala@10.0.0.5", "Impressora@10.0.0.9",
                                                   "Roteador@10.0.0.1", "TV da Reunião@10.0.0.6"}));
    // One M-SEARCH for everything on each interface, sent twice.
    ASSERT_EQ(run.sent.size(), 4u);
    for (const Sent& sent : run.sent) {
        EXPECT_EQ(Text(sent.bytes), SsdpSearch(1));
        EXPECT_EQ(sent.to.address, kSsdpGroup);
        EXPECT_EQ(sent.to.port, 1900);
    }
    EXPECT_EQ(run.sent[0].via, (Ipv4{10, 0, 0, 100}));
    EXPECT_EQ(run.sent[1].via, (Ipv4{192, 168, 1, 100}));
    EXPECT_EQ(run.sent[2].at - SteadyTime{}, 100ms);
    // Each description once, as soon as it is named, and none of them twice.
    std::vector<std::string> urls;
    for (const Fetched& fetched : run.fetched) {
        urls.push_back(fetched.url);
        EXPECT_EQ(fetched.maxBytes, 64u * 1024);
        EXPECT_LE(fetched.limit, 1500ms);
    }
    std::sort(urls.begin(), urls.end());
    EXPECT_EQ(urls, (std::vector<std::string>{
                        "http://10.0.0.1:1900/igd.xml", "http://10.0.0.1:49152/wps.xml",
                        "http://10.0.0.5:8200/rootDesc.xml", "http://10.0.0.6:7676/tv.xml",
                        "http://10.0.0.8/d.xml", "http://10.0.0.9/d.xml"}));
    // Answers are awaited for MX after the first M-SEARCH, not to the deadline.
    EXPECT_EQ(run.took, 1s);
}

TEST(SsdpClient, TheFirstDescriptionInAnswerOrderNamesTheAddress) {
    // The second description arrives first; the first one still names the device.
    std::mutex mutex;
    std::condition_variable changed;
    bool secondServed = false;
    const Descriptions descriptions = [&](const std::string& url) -> std::optional<std::string> {
        std::unique_lock lock(mutex);
        if (url == "http://10.0.0.3/a.xml") {
            changed.wait_for(lock, 10s, [&] { return secondServed; });
            return Description("Primeiro");
        }
        secondServed = true;
        changed.notify_all();
        return Description("Segundo");
    };
    // The fetches' limit outlasts the listening, so that the first is waited for.
    SsdpTiming timing;
    timing.getLimit = 5000ms;
    const Outcome run = Discover({{{10, 0, 0, 3}, AnswerAt("http://10.0.0.3/a.xml"), 5ms},
                                  {{10, 0, 0, 3}, AnswerAt("http://10.0.0.3/b.xml"), 6ms}},
                                 descriptions, 6000ms, timing);
    EXPECT_EQ(run.found, (std::vector<std::string>{"Primeiro@10.0.0.3"}));
}

TEST(SsdpClient, AFetchThatOverrunsItsLimitIsNotWaitedFor) {
    // The first description's fetch outlives its limit (as a backend that a
    // trickling peer holds may); the second names the device all the same.
    std::mutex mutex;
    std::condition_variable changed;
    bool secondServed = false;
    bool reported = false;
    const auto overrun = [&](const std::string& url, fakes::FakeClock& clock) {
        if (url == "http://10.0.0.3/lento.xml") {
            std::unique_lock lock(mutex);
            changed.wait_for(lock, 10s, [&] { return secondServed; });
            // Past this fetch's limit (5 s from 5 ms), not the second's (from 300 ms).
            clock.AdvanceTo(fakes::FakeClock().Now() + 5100ms);
            changed.wait_for(lock, 10s, [&] { return reported; });
        }
    };
    const Descriptions descriptions = [&](const std::string& url) -> std::optional<std::string> {
        if (url == "http://10.0.0.3/lento.xml") {
            return Description("Lento");
        }
        const std::lock_guard lock(mutex);
        secondServed = true;
        changed.notify_all();
        return Description("Segundo");
    };
    const Outcome run =
        Discover({{{10, 0, 0, 3}, AnswerAt("http://10.0.0.3/lento.xml"), 5ms},
                  {{10, 0, 0, 3}, AnswerAt("http://10.0.0.3/b.xml"), 300ms}},
                 descriptions, 6000ms, Patient(), {{10, 0, 0, 100}}, true, overrun, [&] {
                     const std::lock_guard lock(mutex);
                     reported = true;
                     changed.notify_all();
                 });
    EXPECT_EQ(run.found, (std::vector<std::string>{"Segundo@10.0.0.3"}));
}

TEST(SsdpClient, ASlowSinkDoesNotStopTheListening) {
    // The first report is held by its sink until the next device's description
    // is asked for: answers go on being read and fetched meanwhile.
    std::mutex mutex;
    std::condition_variable changed;
    bool secondAsked = false;
    bool heldUntilAsked = false;
    bool first = true;
    const Descriptions descriptions = [&](const std::string& url) -> std::optional<std::string> {
        if (url == "http://10.0.0.4/d.xml") {
            const std::lock_guard lock(mutex);
            secondAsked = true;
            changed.notify_all();
        }
        return Description("Aparelho");
    };
    const Outcome run =
        Discover({{{10, 0, 0, 3}, AnswerAt("http://10.0.0.3/d.xml"), 5ms},
                  {{10, 0, 0, 4}, AnswerAt("http://10.0.0.4/d.xml"), 500ms}},
                 descriptions, 1500ms, Patient(), {{10, 0, 0, 100}}, false, {}, [&] {
                     std::unique_lock lock(mutex);
                     if (std::exchange(first, false)) {
                         heldUntilAsked = changed.wait_for(lock, 10s, [&] { return secondAsked; });
                     }
                 });
    EXPECT_TRUE(heldUntilAsked);
    EXPECT_EQ(run.found, (std::vector<std::string>{"Aparelho@10.0.0.3", "Aparelho@10.0.0.4"}));
}

TEST(SsdpClient, NothingIsFetchedButFromTheSendersOwnAddress) {
    std::vector<Answer> answers;
    const char* elsewhere[] = {
        "http://10.0.0.99/d.xml",           // another host
        "http://10.0.0.99@10.0.0.4/d.xml",  // user information
        "http://user:pw@10.0.0.4/d.xml",    // user information
        "http://127.0.0.1:8200/d.xml",      // the client's loopback
        "http://localhost/d.xml",           // a host name
        "http://impressora.local:80/d.xml", // a host name
        "https://10.0.0.4/d.xml",           // another scheme
        "file:///etc/passwd",               // another scheme
        "http://10.0.0.4:0/d.xml",          // no port
        "http://10.0.0.4:99999/d.xml",      // no port
        "http://010.0.0.4/d.xml",           // an octal spelling
        "http://10.0.0.4.example/d.xml",    // a host name
        "http://[::ffff:10.0.0.4]/d.xml",   // not an IPv4 literal
    };
    for (const char* location : elsewhere) {
        answers.push_back({{10, 0, 0, 4}, AnswerAt(location)});
    }
    // A sender that claims the loopback's own address is none.
    answers.push_back({{127, 0, 0, 1}, AnswerAt("http://127.0.0.1/d.xml")});
    const Outcome run = Discover(answers, Serving({}));
    EXPECT_TRUE(run.fetched.empty());
    EXPECT_EQ(run.found, (std::vector<std::string>{"@10.0.0.4"}));
}

TEST(SsdpClient, HundredsOfDevicesFromOneSenderCostEightDescriptions) {
    std::vector<Answer> answers;
    for (int i = 0; i < 500; ++i) {
        answers.push_back({{10, 0, 0, 66},
                           AnswerAt("http://10.0.0.66:80/d" + std::to_string(i) + ".xml"),
                           std::chrono::milliseconds(1 + i)});
    }
    answers.push_back({{10, 0, 0, 5}, AnswerAt("http://10.0.0.5/d.xml"), 600ms});
    const Outcome run = Discover(answers, [](const std::string& url) -> std::optional<std::string> {
        if (url == "http://10.0.0.5/d.xml") {
            return Description("Honesto");
        }
        // Descriptions that name nothing, so that every one is tried.
        return Description("");
    });
    std::map<std::string, int> perHost;
    for (const Fetched& fetched : run.fetched) {
        ++perHost[fetched.url.substr(0, fetched.url.find('/', 7))];
    }
    EXPECT_EQ(perHost,
              (std::map<std::string, int>{{"http://10.0.0.5", 1}, {"http://10.0.0.66:80", 8}}));
    EXPECT_EQ(run.found, (std::vector<std::string>{"@10.0.0.66", "Honesto@10.0.0.5"}));
}

TEST(SsdpClient, AFloodOfSendersIsCutAtTheBound) {
    std::vector<Answer> answers;
    for (int i = 0; i < 300; ++i) {
        answers.push_back(
            {{10, 1, static_cast<std::uint8_t>(i / 250), static_cast<std::uint8_t>(1 + i % 250)},
             AnswerAt("")});
    }
    SsdpTiming timing;
    timing.maxSenders = 100;
    const Outcome run = Discover(answers, Serving({}), 1500ms, timing);
    EXPECT_EQ(run.found.size(), 100u);
}

TEST(SsdpClient, EveryFetchEndsByTheDeadline) {
    // The deadline comes before MX: listening ends there, each fetch is given
    // no more than what is left, and none starts once nothing is.
    std::vector<Answer> answers;
    std::map<std::string, std::chrono::milliseconds> answeredAt;
    for (int i = 0; i < 8; ++i) {
        const std::string url = "http://10.0.0." + std::to_string(20 + i) + "/d.xml";
        answeredAt[url] = std::chrono::milliseconds(50 * i);
        answers.push_back(
            {{10, 0, 0, static_cast<std::uint8_t>(20 + i)}, AnswerAt(url), answeredAt[url]});
    }
    const Outcome run = Discover(answers, Serving({}), 300ms, {}, {{10, 0, 0, 100}}, true);
    EXPECT_EQ(run.took, 300ms);
    // The answers at 0 to 250 ms; the one at 300 ms has no time left.
    ASSERT_EQ(run.fetched.size(), 6u);
    for (const Fetched& fetched : run.fetched) {
        SCOPED_TRACE(fetched.url);
        EXPECT_GT(fetched.limit, 0ms);
        EXPECT_LE(answeredAt[fetched.url] + fetched.limit, 300ms);
    }
}

TEST(SsdpClient, AtMostSixteenFetchesAtOnce) {
    std::vector<Answer> answers;
    for (int i = 0; i < 40; ++i) {
        answers.push_back({{10, 0, 1, static_cast<std::uint8_t>(1 + i)},
                           AnswerAt("http://10.0.1." + std::to_string(1 + i) + "/d.xml")});
    }
    std::mutex mutex;
    std::condition_variable changed;
    int inFlight = 0;
    int most = 0;
    bool released = false;
    const Descriptions blocking = [&](const std::string&) -> std::optional<std::string> {
        std::unique_lock lock(mutex);
        most = std::max(most, ++inFlight);
        changed.notify_all();
        // Held until sixteen are under way, so that a seventeenth would show.
        changed.wait_for(lock, 10s, [&] { return released || inFlight == 16; });
        released = true;
        changed.notify_all();
        --inFlight;
        return Description("X");
    };
    const Outcome run = Discover(answers, blocking);
    EXPECT_EQ(most, 16);
    EXPECT_EQ(run.found.size(), 40u);
}

TEST(SsdpClient, NoInterfaceNoSearch) {
    const Outcome run = Discover({{{10, 0, 0, 5}, AnswerAt("")}}, Serving({}), 1500ms, {}, {});
    EXPECT_TRUE(run.sent.empty());
    EXPECT_TRUE(run.found.empty());
}

} // namespace
} // namespace vexor

// The SMB browse list source over a scripted listing: no workgroup name is
// taken as a host, and a silent browse master costs nothing past the deadline.
#include "backends/posix/SmbNetwork.h"

#include "Eventually.h"
#include "FakeClock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <future>
#include <mutex>
#include <set>

namespace vexor {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using fakes::FakeClock;

TEST(SmbBrowser, WorkgroupNamesThatSpellAHostAreRecognised) {
    const struct {
        const char* name;
        bool host;
    } cases[] = {
        {"10.211.73.50", true}, {"10.1", true},        {"167772161", true},
        {"0x0a000001", true},   {"0x0a.0.0.1", true},  {"::1", true},
        {"[fe80::1]", true},    {"nas.example", true}, {"LOCALHOST", true},
        {"GRUPOA", false},      {"WORKGROUP", false},  {"10-211-73-50", false},
        {"0XFF GRUPO", true},   {"12345 GRUPO", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WorkgroupNameSpellsAHost(c.name), c.host) << c.name;
    }
}

// A network of workgroups as libsmbclient would list it; the listing of one
// workgroup can be held, as a silent browse master holds it.
class ScriptedSmb {
  public:
    std::vector<std::string> asked() {
        const std::lock_guard lock(mutex_);
        return asked_;
    }
    void Hold(bool hold) {
        {
            const std::lock_guard lock(mutex_);
            held_ = hold;
        }
        changed_.notify_all();
    }
    long browses() {
        const auto urls = asked();
        return std::count(urls.begin(), urls.end(), "smb://");
    }
    // Waits until a listing is held; false on a hang.
    bool AwaitHeldListing() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 60s, [&] { return holding_; });
    }
    // True when a held listing had to give up by itself: nobody waited for it.
    bool gaveUp() {
        const std::lock_guard lock(mutex_);
        return gaveUp_;
    }

    int List(const std::string& url, std::vector<SmbEntry>& entries) {
        std::unique_lock lock(mutex_);
        asked_.push_back(url);
        if (url == "smb://") {
            for (const char* name : {"GRUPOA", "10.211.73.50", "LENTO", "GRUPOB", "nas.local"}) {
                entries.push_back({kSmbWorkgroup, name, ""});
            }
            return 0;
        }
        if (url == "smb://GRUPOA/") {
            entries.push_back({kSmbServer, "ALFA", ""});
            entries.push_back({3u, "NAO", ""});
        } else if (url == "smb://LENTO/") {
            holding_ = held_;
            changed_.notify_all();
            if (!changed_.wait_for(lock, 20s, [&] { return !held_; })) {
                gaveUp_ = true;
            }
            holding_ = false;
            entries.push_back({kSmbServer, "LERDO", ""});
        } else if (url == "smb://GRUPOB/") {
            entries.push_back({kSmbServer, "BRAVO", ""});
        } else {
            return ENOENT;
        }
        return 0;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> asked_;
    bool held_ = false;
    bool holding_ = false;
    bool gaveUp_ = false;
};

// A browse that has ended lets go of its thread soon after.
bool Idle(const SmbBrowser& browser) {
    return fakes::Eventually([&] { return !browser.Busy(); });
}

// One refresh, on a thread of its own. A browse that ends is reported without
// the clock moving; with `held`, once its listing is held and the refresh
// waits for it, the clock moves to the deadline.
std::set<std::string> Refresh(SmbBrowser& browser, FakeClock& clock, Clock::duration bound,
                              ScriptedSmb* held = nullptr) {
    const auto deadline = clock.Now() + bound;
    auto refresh = std::async(std::launch::async, [&] {
        std::set<std::string> found;
        browser.Find(
            [&](FoundMachine machine) { found.insert(machine.workgroup + "/" + machine.name); },
            deadline);
        return found;
    });
    const auto ended = [&] { return refresh.wait_for(0s) == std::future_status::ready; };
    if (held != nullptr) {
        EXPECT_TRUE(held->AwaitHeldListing());
        EXPECT_TRUE(clock.AwaitWaiters(1, ended));
        EXPECT_FALSE(ended()) << "ended before the deadline";
        clock.AdvanceTo(deadline);
    }
    if (refresh.wait_for(60s) != std::future_status::ready) {
        ADD_FAILURE() << "the refresh does not end";
        clock.Advance(24h);
    }
    return refresh.get();
}

TEST(SmbBrowser, NoWorkgroupWhoseNameSpellsAHostIsAskedFor) {
    const auto smb = std::make_shared<ScriptedSmb>();
    FakeClock clock;
    SmbBrowser browser(
        [smb](const std::string& url, auto& entries) { return smb->List(url, entries); }, clock);
    EXPECT_EQ(Refresh(browser, clock, 10s),
              (std::set<std::string>{"GRUPOA/ALFA", "LENTO/LERDO", "GRUPOB/BRAVO"}));
    EXPECT_EQ(smb->asked(), (std::vector<std::string>{"smb://", "smb://GRUPOA/", "smb://LENTO/",
                                                      "smb://GRUPOB/"}));
}

TEST(SmbBrowser, ASilentBrowseMasterIsAbandonedAtTheDeadlineAndTheLastListServed) {
    const auto smb = std::make_shared<ScriptedSmb>();
    FakeClock clock;
    SmbBrowser browser(
        [smb](const std::string& url, auto& entries) { return smb->List(url, entries); }, clock);
    const std::set<std::string> everything{"GRUPOA/ALFA", "LENTO/LERDO", "GRUPOB/BRAVO"};
    ASSERT_EQ(Refresh(browser, clock, 10s), everything);
    EXPECT_TRUE(Idle(browser));

    // LENTO's master goes silent: the refresh ends while its listing still
    // waits, with what the browse found and the last complete list.
    smb->Hold(true);
    EXPECT_EQ(Refresh(browser, clock, 300ms, smb.get()), everything);
    EXPECT_TRUE(browser.Busy());
    // A refresh while that browse still runs starts no second one beside it,
    // and still lists the browse list.
    EXPECT_EQ(Refresh(browser, clock, 300ms, smb.get()), everything);
    EXPECT_EQ(smb->browses(), 2);

    smb->Hold(false);
    EXPECT_TRUE(Idle(browser));
    EXPECT_FALSE(smb->gaveUp());
    EXPECT_EQ(Refresh(browser, clock, 10s), everything);
    EXPECT_EQ(smb->browses(), 3);
}

// The first browse ever, held: what it has found so far is reported in time.
TEST(SmbBrowser, WithNoCompleteListYetTheRefreshReportsWhatTheBrowseFound) {
    const auto smb = std::make_shared<ScriptedSmb>();
    FakeClock clock;
    SmbBrowser browser(
        [smb](const std::string& url, auto& entries) { return smb->List(url, entries); }, clock);
    smb->Hold(true);
    EXPECT_EQ(Refresh(browser, clock, 300ms, smb.get()), (std::set<std::string>{"GRUPOA/ALFA"}));
    smb->Hold(false);
    EXPECT_TRUE(Idle(browser));
    EXPECT_FALSE(smb->gaveUp());
}

} // namespace
} // namespace vexor

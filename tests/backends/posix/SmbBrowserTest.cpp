// The SMB browse list source over a scripted listing: no workgroup name is
// taken as a host, and a silent browse master costs nothing past the deadline.
#include "backends/posix/SmbNetwork.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

namespace vexor {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

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
            if (!changed_.wait_for(lock, 20s, [&] { return !held_; })) {
                gaveUp_ = true;
            }
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
    bool gaveUp_ = false;
};

// A browse that has ended lets go of its thread soon after.
bool Idle(const SmbBrowser& browser) {
    for (int i = 0; i < 1000 && browser.Busy(); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    return !browser.Busy();
}

std::set<std::string> Refresh(SmbBrowser& browser, Clock::duration bound) {
    std::set<std::string> found;
    browser.Find(
        [&](FoundMachine machine) { found.insert(machine.workgroup + "/" + machine.name); },
        Clock::now() + bound);
    return found;
}

TEST(SmbBrowser, NoWorkgroupWhoseNameSpellsAHostIsAskedFor) {
    const auto smb = std::make_shared<ScriptedSmb>();
    SmbBrowser browser(
        [smb](const std::string& url, auto& entries) { return smb->List(url, entries); });
    EXPECT_EQ(Refresh(browser, 10s),
              (std::set<std::string>{"GRUPOA/ALFA", "LENTO/LERDO", "GRUPOB/BRAVO"}));
    EXPECT_EQ(smb->asked(), (std::vector<std::string>{"smb://", "smb://GRUPOA/", "smb://LENTO/",
                                                      "smb://GRUPOB/"}));
}

TEST(SmbBrowser, ASilentBrowseMasterIsAbandonedAtTheDeadlineAndTheLastListServed) {
    const auto smb = std::make_shared<ScriptedSmb>();
    SmbBrowser browser(
        [smb](const std::string& url, auto& entries) { return smb->List(url, entries); });
    const std::set<std::string> everything{"GRUPOA/ALFA", "LENTO/LERDO", "GRUPOB/BRAVO"};
    ASSERT_EQ(Refresh(browser, 10s), everything);
    EXPECT_TRUE(Idle(browser));

    // LENTO's master goes silent: the refresh ends while its listing still
    // waits, with what the browse found and the last complete list.
    smb->Hold(true);
    EXPECT_EQ(Refresh(browser, 300ms), everything);
    EXPECT_TRUE(browser.Busy());
    // A refresh while that browse still runs starts no second one beside it,
    // and still lists the browse list.
    EXPECT_EQ(Refresh(browser, 300ms), everything);
    EXPECT_EQ(smb->browses(), 2);

    smb->Hold(false);
    EXPECT_TRUE(Idle(browser));
    EXPECT_FALSE(smb->gaveUp());
    EXPECT_EQ(Refresh(browser, 10s), everything);
    EXPECT_EQ(smb->browses(), 3);
}

// The first browse ever, held: what it has found so far is reported in time.
TEST(SmbBrowser, WithNoCompleteListYetTheRefreshReportsWhatTheBrowseFound) {
    const auto smb = std::make_shared<ScriptedSmb>();
    SmbBrowser browser(
        [smb](const std::string& url, auto& entries) { return smb->List(url, entries); });
    smb->Hold(true);
    EXPECT_EQ(Refresh(browser, 300ms), (std::set<std::string>{"GRUPOA/ALFA"}));
    smb->Hold(false);
    EXPECT_TRUE(Idle(browser));
    EXPECT_FALSE(smb->gaveUp());
}

} // namespace
} // namespace vexor

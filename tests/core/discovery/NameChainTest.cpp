// The resolution chain and its background resolution, with stand-ins for the
// system resolver and the local link, on a fake clock.
#include "core/discovery/NameChain.h"

#include "FakeClock.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <map>
#include <mutex>

namespace vexor {
namespace {

using namespace std::chrono_literals;
using fakes::FakeClock;

std::string Dotted(const std::vector<Ipv4>& addresses) {
    std::string text;
    for (const Ipv4& a : addresses) {
        if (!text.empty()) {
            text += ',';
        }
        for (std::size_t i = 0; i < a.size(); ++i) {
            text += (i > 0 ? "." : "") + std::to_string(a[i]);
        }
    }
    return text.empty() ? "-" : text;
}

// What each step of the chain was asked, and the answers it gives: the system
// knows "servidor.example" and "localhost"; it hangs on names starting with
// "SILENCIO" as behind a silent DNS server. The link knows every single-label
// name but those starting with "NINGUEM".
class Steps {
  public:
    std::optional<NameAnswer> System(const std::string& name) {
        std::unique_lock lock(mutex_);
        asked_ += "system:" + name + " ";
        if (name.rfind("SILENCIO", 0) == 0) {
            ++hanging_;
            changed_.notify_all();
            changed_.wait(lock, [&] { return released_; });
            return std::nullopt;
        }
        if (name == "servidor.example" || name == "localhost") {
            return NameAnswer{name, {{127, 0, 0, 1}}};
        }
        return std::nullopt;
    }
    std::vector<Ipv4> Link(const std::string& name, SteadyTime) {
        const std::lock_guard lock(mutex_);
        asked_ += "link:" + name + " ";
        if (name.rfind("NINGUEM", 0) == 0) {
            return {};
        }
        return {{10, 0, 0, static_cast<std::uint8_t>(name.size())}};
    }
    bool WaitHanging(int count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 60s, [&] { return hanging_ >= count; });
    }
    void Release() {
        {
            const std::lock_guard lock(mutex_);
            released_ = true;
        }
        changed_.notify_all();
    }
    std::string TakeAsked() {
        const std::lock_guard lock(mutex_);
        return std::exchange(asked_, {});
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string asked_;
    int hanging_ = 0;
    bool released_ = false;
};

struct Chain {
    FakeClock clock;
    std::shared_ptr<Steps> steps = std::make_shared<Steps>();
    std::shared_ptr<NameAnswerCache> learnt = std::make_shared<NameAnswerCache>();
    NameChain resolver{learnt,
                       [steps = steps](const std::string& name) { return steps->System(name); },
                       [steps = steps](const std::string& name, SteadyTime deadline) {
                           return steps->Link(name, deadline);
                       },
                       clock};
    ~Chain() { steps->Release(); }
};

TEST(NameChain, AnAddressASourceReportedComesBeforeTheSystemResolver) {
    Chain chain;
    chain.resolver.BeginRefresh(chain.clock.Now() + 1500ms);
    chain.learnt->Learn("nas", {{10, 9, 8, 7}});
    const struct {
        const char* name;
        const char* addresses;
        const char* asked;
    } rows[] = {
        {"NAS", "10.9.8.7", ""},
        {"nas.local", "10.9.8.7", ""},
        {"servidor.example", "127.0.0.1", "system:servidor.example "},
        {"outro.example", "-", "system:outro.example "},
        {"ALFA", "10.0.0.4", "system:ALFA link:ALFA "},
        {"NINGUEM", "-", "system:NINGUEM link:NINGUEM "},
        {"alfa.local", "10.0.0.10", "system:alfa.local link:alfa.local "},
        // Asked again in the refresh, negative answers included: nothing new is asked.
        {"alfa", "10.0.0.4", ""},
        {"ninguem", "-", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Dotted(chain.resolver.Resolve(row.name).addresses), row.addresses) << row.name;
        EXPECT_EQ(chain.steps->TakeAsked(), row.asked) << row.name;
    }
    chain.resolver.BeginRefresh(chain.clock.Now() + 1500ms);
    EXPECT_EQ(Dotted(chain.resolver.Resolve("NINGUEM").addresses), "-");
    EXPECT_EQ(chain.steps->TakeAsked(), "system:NINGUEM link:NINGUEM ");
}

TEST(NameChain, ASilentSystemResolverIsAbandonedAtTheDeadline) {
    Chain chain;
    const auto deadline = chain.clock.Now() + 1500ms;
    chain.resolver.BeginRefresh(deadline);
    for (int i = 0; i < 200; ++i) {
        chain.resolver.Prefetch("SILENCIO" + std::to_string(i));
    }
    ASSERT_TRUE(chain.steps->WaitHanging(static_cast<int>(AheadResolver::kMaxInFlight)));
    auto walk = std::async(std::launch::async, [&] {
        int resolved = 0;
        for (int i = 0; i < 200; ++i) {
            resolved +=
                chain.resolver.Resolve("SILENCIO" + std::to_string(i)).addresses.empty() ? 0 : 1;
        }
        return resolved;
    });
    chain.clock.AdvanceTo(deadline);
    ASSERT_EQ(walk.wait_for(60s), std::future_status::ready);
    EXPECT_EQ(walk.get(), 0);
    EXPECT_EQ(chain.clock.Now(), deadline);
    // A source that reports the name's address later still answers it.
    chain.learnt->Learn("SILENCIO7", {{10, 1, 1, 7}});
    EXPECT_EQ(Dotted(chain.resolver.Resolve("SILENCIO7").addresses), "10.1.1.7");
}

} // namespace
} // namespace vexor

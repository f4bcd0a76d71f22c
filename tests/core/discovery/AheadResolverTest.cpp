// The name pass under the refresh's deadline, on a fake clock: lookups that
// never return are abandoned, answers in time are kept, late ones dropped.
#include "core/discovery/AheadResolver.h"

#include "FakeClock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <map>
#include <mutex>

namespace vexor {
namespace {

using namespace std::chrono_literals;
using fakes::FakeClock;

// Lookups that hang, as a system resolver does behind a silent DNS server,
// until the test ends; each can be let go with an answer.
class HangingLookups {
  public:
    AheadResolver::Answer operator()(const std::string& name, SteadyTime) {
        std::unique_lock lock(mutex_);
        ++asked_[name];
        ++running_;
        changed_.notify_all();
        changed_.wait(lock, [&] { return released_ || answers_.contains(name); });
        --running_;
        if (answers_.contains(name)) {
            return {name, {answers_[name]}};
        }
        return {name, {}};
    }
    void Answer(const std::string& name, Ipv4 address) {
        {
            const std::lock_guard lock(mutex_);
            answers_[name] = address;
        }
        changed_.notify_all();
    }
    void ReleaseAll() {
        {
            const std::lock_guard lock(mutex_);
            released_ = true;
        }
        changed_.notify_all();
    }
    // Waits (bounded) until `count` lookups are under way.
    bool WaitRunning(int count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 60s, [&] { return running_ >= count; });
    }
    int Asked(const std::string& name) {
        const std::lock_guard lock(mutex_);
        return asked_[name];
    }
    std::size_t Names() {
        const std::lock_guard lock(mutex_);
        return asked_.size();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, int> asked_;
    std::map<std::string, Ipv4> answers_;
    int running_ = 0;
    bool released_ = false;
};

TEST(AheadResolver, FiveThousandNamesNobodyAnswersEndByTheDeadline) {
    FakeClock clock;
    auto lookups = std::make_shared<HangingLookups>();
    {
        AheadResolver resolver(
            [lookups](const std::string& name, SteadyTime deadline) {
                return (*lookups)(name, deadline);
            },
            clock);
        const auto deadline = clock.Now() + 1500ms;
        resolver.NewRound(deadline);
        std::vector<std::string> names;
        for (int i = 0; i < 5000; ++i) {
            names.push_back("MAQUINA" + std::to_string(i));
            resolver.Prefetch(names.back());
        }
        auto walk = std::async(std::launch::async, [&] {
            std::size_t resolved = 0;
            for (const auto& name : names) {
                resolved += resolver.Resolve(name).addresses.empty() ? 0 : 1;
            }
            return resolved;
        });
        ASSERT_TRUE(lookups->WaitRunning(static_cast<int>(AheadResolver::kMaxInFlight)));
        clock.AdvanceTo(deadline);
        ASSERT_EQ(walk.wait_for(60s), std::future_status::ready)
            << "the walk still waits for names past the deadline";
        EXPECT_EQ(walk.get(), 0u);
        // Nothing moved the clock past the deadline: every name was given up
        // at it, and only the names the workers had taken were looked up.
        EXPECT_EQ(clock.Now(), deadline);
        EXPECT_EQ(lookups->Names(), AheadResolver::kMaxInFlight);
    }
    lookups->ReleaseAll();
}

TEST(AheadResolver, AnAnswerInTimeIsKeptAndALateOneDropped) {
    FakeClock clock;
    auto lookups = std::make_shared<HangingLookups>();
    {
        AheadResolver resolver(
            [lookups](const std::string& name, SteadyTime deadline) {
                return (*lookups)(name, deadline);
            },
            clock);
        const auto deadline = clock.Now() + 1500ms;
        resolver.NewRound(deadline);
        resolver.Prefetch("ALFA");
        resolver.Prefetch("BETA");
        ASSERT_TRUE(lookups->WaitRunning(2));
        clock.Advance(100ms);
        lookups->Answer("ALFA", {10, 0, 0, 1});
        EXPECT_EQ(resolver.Resolve("alfa").addresses, (std::vector<Ipv4>{{10, 0, 0, 1}}));
        EXPECT_EQ(clock.Now() - (deadline - 1500ms), 100ms);
        clock.AdvanceTo(deadline);
        lookups->Answer("BETA", {10, 0, 0, 2});
        EXPECT_TRUE(resolver.Resolve("BETA").addresses.empty());
        // Asked again in the refresh, the name is not looked up again.
        EXPECT_TRUE(resolver.Resolve("beta").addresses.empty());
        EXPECT_EQ(lookups->Asked("ALFA"), 1);
        EXPECT_EQ(lookups->Asked("BETA"), 1);
        // A new refresh asks afresh.
        resolver.NewRound(clock.Now() + 1500ms);
        EXPECT_EQ(resolver.Resolve("BETA").addresses, (std::vector<Ipv4>{{10, 0, 0, 2}}));
        EXPECT_EQ(lookups->Asked("BETA"), 2);
    }
    lookups->ReleaseAll();
}

TEST(AheadResolver, ANameAskedOutsideARefreshHasABoundOfItsOwn) {
    FakeClock clock;
    auto lookups = std::make_shared<HangingLookups>();
    {
        AheadResolver resolver(
            [lookups](const std::string& name, SteadyTime deadline) {
                return (*lookups)(name, deadline);
            },
            clock);
        const auto start = clock.Now();
        auto asked = std::async(std::launch::async, [&] { return resolver.Resolve("GAMA"); });
        ASSERT_TRUE(lookups->WaitRunning(1));
        clock.AdvanceTo(start + AheadResolver::kLoneBound);
        ASSERT_EQ(asked.wait_for(60s), std::future_status::ready);
        EXPECT_TRUE(asked.get().addresses.empty());
    }
    lookups->ReleaseAll();
}

} // namespace
} // namespace vexor

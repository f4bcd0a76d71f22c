#include "base/UniqueHandle.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace vexor {
namespace {

// Counts the closes of each handle; 0 stands for a handle that owns nothing.
std::map<int, int> closes;

struct CountingPolicy {
    using Value = int;
    static constexpr int Invalid() noexcept { return 0; }
    static void Close(int handle) { ++closes[handle]; }
};

using Counted = UniqueResource<CountingPolicy>;

// Whatever happens to its owner, a handle is closed exactly once, and the
// value that owns nothing is never closed; a released one is the caller's.
TEST(UniqueHandle, ClosesEachHandleExactlyOnce) {
    struct Case {
        const char* what;
        std::function<void()> run;
        std::map<int, int> closed;
    } cases[] = {
        {"at the end of its scope", [] { const Counted owned(1); }, {{1, 1}}},
        {"an owner of nothing", [] { const Counted none; }, {}},
        {"moved to another owner",
         [] {
             Counted first(2);
             const Counted second(std::move(first));
             EXPECT_FALSE(first);
             EXPECT_EQ(second.get(), 2);
         },
         {{2, 1}}},
        {"moved over a handle",
         [] {
             Counted kept(3);
             Counted replaced(4);
             replaced = std::move(kept);
             EXPECT_EQ(closes[4], 1) << "the replaced handle is closed at once";
         },
         {{3, 1}, {4, 1}}},
        {"reset to another",
         [] {
             Counted owned(5);
             owned.reset(6);
             owned.reset();
             EXPECT_FALSE(owned);
         },
         {{5, 1}, {6, 1}}},
        {"released",
         [] {
             Counted owned(7);
             EXPECT_EQ(owned.release(), 7);
         },
         {}},
        {"many in a vector that grows",
         [] {
             std::vector<Counted> handles;
             for (int i = 10; i < 30; ++i) {
                 handles.emplace_back(i);
             }
         },
         [] {
             std::map<int, int> each;
             for (int i = 10; i < 30; ++i) {
                 each[i] = 1;
             }
             return each;
         }()},
    };
    for (const auto& c : cases) {
        closes.clear();
        c.run();
        std::erase_if(closes, [](const auto& entry) { return entry.second == 0; });
        EXPECT_EQ(closes, c.closed) << c.what;
    }
}

struct Session {
    int value;
};

int freedValues = 0;

void FreeSession(Session* session) {
    freedValues += session->value;
    std::default_delete<Session>()(session);
}

// The pointer form frees what a C library handed out, and dereferences to it.
TEST(UniqueHandle, PointerHandlesFreeWhatTheyOwn) {
    freedValues = 0;
    {
        const UniqueHandle<Session, FreeSession> session(
            std::make_unique<Session>(Session{5}).release());
        ASSERT_TRUE(session);
        EXPECT_EQ(session->value, 5);
        EXPECT_EQ((*session).value, 5);
        const UniqueHandle<Session, FreeSession> none;
        EXPECT_FALSE(none);
    }
    EXPECT_EQ(freedValues, 5);
}

} // namespace
} // namespace vexor

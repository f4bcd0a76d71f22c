#include "base/StaleInput.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace vexor {
namespace {

// Each step is input seen (its stamp on the window system's clock, and the
// program's clock when it is seen) or the end of a handler.
struct Step {
    enum Kind { Input, HandlerEnd } kind;
    std::uint32_t stamp;
    std::uint32_t now;
    bool stale;
};

TEST(StaleInput, InputMadeBeforeTheLastHandlerEndedIsStale) {
    constexpr std::uint32_t kWrap = 0xFFFFFFFFu;
    const struct {
        const char* what;
        std::vector<Step> steps;
    } cases[] = {
        {"nothing has run yet", {{Step::Input, 100, 5100, false}, {Step::Input, 50, 5200, false}}},
        {"F5 pressed during a four-second refresh, then after it",
         {{Step::Input, 1000, 9000, false},
          {Step::HandlerEnd, 0, 13000, false},
          {Step::Input, 2000, 13001, true},
          {Step::Input, 4999, 13002, true},
          {Step::Input, 5001, 13003, false},
          {Step::Input, 6000, 14000, false}}},
        {"the clocks differ by a delivery that was slow at first",
         {{Step::Input, 1000, 9050, false},
          {Step::HandlerEnd, 0, 13000, false},
          {Step::Input, 4990, 13010, false},
          {Step::Input, 3000, 13011, true}}},
        {"the window system's clock wraps during the refresh",
         {{Step::Input, kWrap - 999, 20000, false},
          {Step::HandlerEnd, 0, 24000, false},
          {Step::Input, kWrap - 10, 24001, true},
          {Step::Input, 100, 24002, true},
          {Step::Input, 3001, 24003, false}}},
        {"the program's clock wraps during the refresh",
         {{Step::Input, 1000, kWrap - 1999, false},
          {Step::HandlerEnd, 0, 2000, false},
          {Step::Input, 4000, 2001, true},
          {Step::Input, 5001, 2002, false}}},
        {"only the last handler counts",
         {{Step::Input, 1000, 1000, false},
          {Step::HandlerEnd, 0, 3000, false},
          {Step::Input, 4000, 4000, false},
          {Step::HandlerEnd, 0, 4100, false},
          {Step::Input, 3500, 4200, true},
          {Step::Input, 4150, 4200, false}}},
    };
    for (const auto& c : cases) {
        StaleInput input;
        int n = 0;
        for (const Step& step : c.steps) {
            if (step.kind == Step::HandlerEnd) {
                input.HandlerEnded(step.now);
            } else {
                EXPECT_EQ(input.Stale(step.stamp, step.now), step.stale)
                    << c.what << ", step " << n;
            }
            ++n;
        }
    }
}

} // namespace
} // namespace vexor

// The minimised start: only the first tick after start hides, and only with
// "Minimiert" set at that tick; the counter stops at 11.
#include <gtest/gtest.h>

#include "app/MinimisedStart.h"
#include "support/QuietUiHost.h"

namespace velora {
namespace {

struct HidingCounter final : test::QuietUiHost {
    int hidden = 0;
    void hideToTray() override { ++hidden; }
};

TEST(MinimisedStartTest, OnlyTheFirstTickHidesWhenMinimiertIsSetThen) {
    struct Case {
        const char* name;
        std::vector<bool> minimiert;   // the setting at each tick
        int hides;
        int counterAfter;
    };
    const Case cases[] = {
        {"set", {true}, 1, 1},
        {"not set", {false}, 0, 1},
        {"set from the second tick on", {false, true, true}, 0, 3},
        {"set, many ticks", std::vector<bool>(40, true), 1, 11},
        {"exactly eleven", std::vector<bool>(11, true), 1, 11},
        {"ten", std::vector<bool>(10, false), 0, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HidingCounter ui;
        MinimisedStart start(ui);
        for (bool m : c.minimiert) start.onTick(m);
        EXPECT_EQ(ui.hidden, c.hides);
        EXPECT_EQ(start.tickCounter(), c.counterAfter);
    }
}

}  // namespace
}  // namespace velora

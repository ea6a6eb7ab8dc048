// One tick of the tray icon's timer: the looks it sets and what it leaves of the count and phase.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "app/blink.h"

namespace {

TEST(BlinkTick, OneTickByTheRules)
{
    struct Case {
        uint32_t enabled, showIcon, count;
        int phase;
        const char *looks;   // in order: E enabled, B blink, D disabled
        uint32_t countAfter;
        int phaseAfter;
    } cases[] = {
        {1, 1, 1, 1, "BE", 0, 0},   // the last step ends on the enabled icon
        {1, 1, 1, 0, "E", 0, 1},
        {1, 1, 2, 1, "B", 1, 0},
        {1, 1, 2, 0, "E", 1, 1},
        {1, 1, 0, 1, "", 0, 1},
        {1, 1, UINT32_MAX, 1, "B", UINT32_MAX - 1, 0},
        {1, 0, 3, 1, "", 3, 1},     // a hidden icon does not use up steps
        {0, 1, 5, 0, "D", 5, 0},    // disabled: the look again at every tick, the count kept
        {0, 0, 5, 1, "", 5, 1},
    };
    for (const Case &c : cases) {
        volatile uint32_t count = c.count;
        int phase = c.phase;
        TrayLook looks[2];
        int n = BlinkTick(c.enabled, c.showIcon, &count, &phase, looks);
        std::string got;
        for (int i = 0; i < n; i++)
            got += looks[i] == LOOK_ENABLED ? 'E' : looks[i] == LOOK_BLINK ? 'B' : 'D';
        std::string what = std::to_string(c.enabled) + std::to_string(c.showIcon) + " count " +
                           std::to_string(c.count) + " phase " + std::to_string(c.phase);
        EXPECT_EQ(c.looks, got) << what;
        EXPECT_EQ(c.countAfter, count) << what;
        EXPECT_EQ(c.phaseAfter, phase) << what;
    }
}

}   // namespace

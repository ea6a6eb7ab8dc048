// The report page's choice of logging requests, over every combination an apply can meet.
#include <gtest/gtest.h>

#include <string>

#include "sheet/logging_plan.h"

namespace {

// The requests in the order the apply sends them, when the driver accepts each.
std::string Requests(const LoggingPlan &plan)
{
    std::string sent = plan.toggle == LOG_START ? "START " : plan.toggle == LOG_STOP ? "STOP " : "";
    return sent + (plan.restart ? "STOP START " : "");
}

TEST(LoggingPlan, SwitchesFirstThenRestartsForANewName)
{
    struct Case {
        int lastLogToFile, logToFile, nameChanged;
        const char *requests;
    } cases[] = {
        {0, 0, 0, ""},
        {0, 0, 1, ""},                       // a new name while off is only remembered
        {0, 1, 0, "START "},
        {0, 1, 1, "START STOP START "},      // switched on with a new name in one apply
        {1, 0, 0, "STOP "},
        {1, 0, 1, "STOP "},                  // switched off: the new name does not restart
        {1, 1, 0, ""},
        {1, 1, 1, "STOP START "},
        {7, 1, 0, ""},                       // any nonzero value acted on counts as on
        {0, 5, 0, "START "},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.requests, Requests(PlanLogging(c.lastLogToFile, c.logToFile, c.nameChanged)))
            << c.lastLogToFile << " -> " << c.logToFile << ", name changed " << c.nameChanged;
    }
}

}   // namespace

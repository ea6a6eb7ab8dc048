// The report page's choice of logging requests, over every combination an apply can meet.
#include <gtest/gtest.h>

#include <string>

#include "sheet/logging_plan.h"

namespace {

// The requests in the order the apply sends them, when the driver accepts each, and whose the
// logging is afterwards ("box" when the Only log box's).
std::string Requests(const LoggingPlan &plan)
{
    std::string sent = plan.toggle == LOG_START ? "START " : plan.toggle == LOG_STOP ? "STOP " : "";
    return sent + (plan.restart ? "STOP START " : "") + (plan.onlyLogLogging ? "box" : "");
}

TEST(LoggingPlan, SwitchesFirstThenRestartsForANewName)
{
    struct Case {
        int lastLogToFile, logToFile, nameChanged, onlyLog, onlyLogLogging;
        const char *requests;
    } cases[] = {
        {0, 0, 0, 0, 0, ""},
        {0, 0, 1, 0, 0, ""},                       // a new name while off is only remembered
        {0, 1, 0, 0, 0, "START "},
        {0, 1, 1, 0, 0, "START STOP START "},      // switched on with a new name in one apply
        {1, 0, 0, 0, 0, "STOP "},
        {1, 0, 1, 0, 0, "STOP "},                  // switched off: the new name does not restart
        {1, 1, 0, 0, 0, ""},
        {1, 1, 1, 0, 0, "STOP START "},
        {7, 1, 0, 0, 0, ""},                       // any nonzero value acted on counts as on
        {0, 5, 0, 0, 0, "START "},
        // Neither side stops or starts again what the other keeps running: it changes hands.
        {1, 0, 0, 1, 0, "box"},                    // switched off under a ticked Only log box
        {0, 1, 0, 1, 1, ""},                       // switched on while the box's logging runs
        {0, 1, 1, 0, 1, "STOP START "},            // ... with a new name
        {0, 0, 0, 1, 1, "box"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.requests, Requests(PlanLogging(c.lastLogToFile, c.logToFile, c.nameChanged, c.onlyLog,
                                                   c.onlyLogLogging)))
            << c.lastLogToFile << " -> " << c.logToFile << ", name changed " << c.nameChanged << ", only log "
            << c.onlyLog << " " << c.onlyLogLogging;
    }
}

}   // namespace

// Which daemon gets a file: the daemons in turn, a file a daemon failed handed to the next, a
// faulted daemon left alone for ClamdRetry and then asked again (also when the clock wraps), each
// outage journalled once, and the built-in rule alone while none answers.
#include <gtest/gtest.h>

#include "vxd/engine/daemon_choice.h"

TEST(DriverDaemonChoice, TurnsFaultsAndOutages)
{
    enum Op { FIRST, NEXT, PASS_ON, FAULT, ANSWER, NONE };
    struct Step {
        Op op;
        int daemon;           // FAULT, ANSWER: the daemon; NEXT, PASS_ON: the turn's daemon
        int faults;           // NEXT, PASS_ON: the daemons that failed the file so far
        uint32_t now;
        int expected;         // FIRST, NEXT, PASS_ON: the daemon; FAULT, ANSWER, NONE: journalled
    } steps[] = {
        {FIRST, 0, 0, 0, 0},
        {FIRST, 0, 0, 0, 1},
        {FIRST, 0, 0, 0, 2},
        {FIRST, 0, 0, 0, 0},                  // every daemon had one: round again
        {FAULT, 1, 0, 100, 1},                // the outage begins
        {FAULT, 1, 0, 200, 0},                // and goes on, from this fault
        {NEXT, 1, 0, 300, 2},                 // left alone: the next one is asked
        {NEXT, 1, 0, 1199, 2},                // ClamdRetry counts from the last fault
        {NEXT, 1, 0, 1200, 1},                // asked again
        {NEXT, 0, 0, 300, 0},
        {PASS_ON, 2, 0, 0, 0},                // failed by the last: the first is next
        {NEXT, 2, 3, 5000, -1},               // every daemon failed this file
        {ANSWER, 1, 0, 0, 1},                 // answers again
        {ANSWER, 1, 0, 0, 0},
        {FAULT, 0, 0, 0xFFFFFF00u, 1},
        {FAULT, 2, 0, 0xFFFFFF00u, 1},
        {FAULT, 1, 0, 0xFFFFFF00u, 1},
        {NEXT, 0, 0, 0x000002E7u, -1},        // none may be asked: the built-in rule alone
        {NONE, 0, 0, 0, 1},
        {NONE, 0, 0, 0, 0},                   // journalled once
        {NEXT, 0, 0, 0x000002E8u, 0},         // 1000 ms after the fault, across the wrap
        {ANSWER, 2, 0, 0, 1},
        {NONE, 0, 0, 0, 1},                   // a daemon answered in between
    };
    DaemonChoice choice = MakeDaemonChoice(3, 1000);
    for (const Step &s : steps) {
        int got = -2;
        DaemonTurn turn = {s.daemon, s.faults};
        switch (s.op) {
        case FIRST: got = FirstTurn(&choice).daemon; break;
        case NEXT: got = NextDaemon(choice, turn, s.now); break;
        case PASS_ON: PassOn(choice, &turn); got = turn.faults == s.faults + 1 ? turn.daemon : -3; break;
        case FAULT: got = DaemonFaulted(&choice, s.daemon, s.now); break;
        case ANSWER: got = DaemonAnswered(&choice, s.daemon); break;
        case NONE: got = NoneAnswered(&choice); break;
        }
        EXPECT_EQ(s.expected, got) << "step " << (&s - steps);
    }

    DaemonChoice none = MakeDaemonChoice(0, 1000);
    EXPECT_EQ(0, FirstTurn(&none).daemon);
    EXPECT_EQ(-1, NextDaemon(none, {0, 0}, 0)) << "ClamdHost named no daemon";
    EXPECT_EQ(MAX_DAEMONS, MakeDaemonChoice(MAX_DAEMONS + 5, 0).count);
}

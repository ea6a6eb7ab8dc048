// Which logging requests an apply of the report page sends. Pure logic, no windows.h.
#pragma once

enum LogRequest { LOG_NONE, LOG_START, LOG_STOP };

// What the apply does, in this order: first the switch (LOG_START when Log-to-file was switched
// on since it was last acted on, LOG_STOP when switched off, LOG_NONE otherwise), then, when
// restart is 1, a CTL_LOG_STOP followed by a CTL_LOG_START that is only sent if the stop succeeded.
// The driver keeps one logging for the report page and the Action page's "Only log to report"
// alike, and neither undoes what the other keeps running: switched on while the box's logging runs,
// logging is not started again but passes to the report page; switched off while the box is ticked,
// it is not stopped but passes to the box. onlyLogLogging is what that flag becomes.
struct LoggingPlan {
    LogRequest toggle;
    int restart;
    int onlyLogLogging;
};

// lastLogToFile and logToFile: the setting last acted on and the one now read (nonzero = on);
// nameChanged: the file name differs from the last accepted one without regard to case. A name
// changed while logging is off restarts nothing: it is only remembered. onlyLog: the Only log box
// is ticked; onlyLogLogging: logging runs because of it (it started it, or was handed it).
LoggingPlan PlanLogging(int lastLogToFile, int logToFile, int nameChanged, int onlyLog, int onlyLogLogging);

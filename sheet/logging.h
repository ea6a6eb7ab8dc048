// The driver's logging into the report file, as the front end puts it in force: the one place that
// starts and stops it and remembers what it started and for whom, the Only log box of the Action
// page or the Report page's Log to file (start-up acts for the Report page). The pages ask here.
#pragma once

// The logging in force. Written only by the procedures below; declared for the tests, which read
// and prepare it.
extern int onlyLogLogging;   // 1 while logging runs for "Only log to report": the box started it, or the
                             // Report page switched its own off while the box was ticked
extern int onlyLogToggled;   // set by every click of the Only log box, until the Report page takes it
extern int lastLogToFile;    // logToFile as last acted on for the Report page (start-up or its apply)
extern char lastLogFileName[260];   // logFileName as last put in force for the Report page

// Start-up, once the stored language is selected: the loaded settings become the logging in force,
// and logging starts when logToFile is set, or else for "Only log to report" when onlyLog is (as
// StartOnlyLogLogging). A refusal is shown with text 609.
void StartLoggingFromSettings(void);

// The record half of the above alone: lastLogToFile and lastLogFileName from the StatusBlock.
void RecordLoggingInForce(void);

// A click on the Only log box: onlyLog takes the box's state at once (Cancel keeps it), and the
// Report page's lock follows with that page's next message.
void SwitchOnlyLog(int ticked);

// The Only log box ticked and its warning read: logging into the report file, named by default
// when logFileName is empty, unless logging already runs for the Report page's setting in force
// (which then hands it to the box if it is switched off). A refusal, or a default name that does
// not fit logFileName, is shown with text 609.
void StartOnlyLogLogging(void);

// The Only log box unticked: stops only the logging that runs for the box (onlyLogLogging). A
// refusal is shown with text 610 and is tried again at the next untick.
void StopOnlyLogLogging(void);

// 1 once for every click of the Only log box since the last call: the Report page takes it on each
// message it receives, and then follows the lock.
int TakeOnlyLogSwitch(void);

// 1 while "Only log to report" locks the Report page's Log to file box and, with it on, the
// log-file section.
int LogFileSectionLocked(void);

// The file name last put in force for the Report page: what an emptied name field brings back.
const char *LogFileNameInForce(void);

// The Report page's apply, once it has read logToFile and logFileName into the StatusBlock: starts,
// stops or restarts logging as PlanLogging says (every refusal shown, none retried), logging the
// Only log box keeps running changing hands instead, then takes both as the logging in force,
// refused or not.
void PutReportLoggingInForce(void);

// The logging in force: every CTL_LOG_START and CTL_LOG_STOP of the front end, and what each was for.
#include "sheet/logging.h"

#include <windows.h>

#include <cstdio>

#include "base/bounded.h"
#include "driver/link.h"
#include "driver/texts.h"
#include "sheet/logging_plan.h"

int onlyLogLogging;
int onlyLogToggled;
int lastLogToFile;
char lastLogFileName[260];

static_assert(sizeof lastLogFileName == sizeof StatusBlock::logFileName, "the name last accepted fits the field");

constexpr char REPORT_FILE_NAME[] = "Torvane.REP";   // the default report, in the program folder

// A refused logging request (text 609 or 610): the text under caption 600, both as stored, with
// the stop icon.
static void ShowLoggingFailure(int text)
{
    ShowStop(StoredText(text), StoredText(TEXT_PRODUCT));
}

void RecordLoggingInForce(void)
{
    CopyBounded(lastLogFileName, statusBlock->logFileName);
    lastLogToFile = static_cast<int>(statusBlock->logToFile);
}

void StartLoggingFromSettings(void)
{
    RecordLoggingInForce();
    if (statusBlock->logToFile) {
        if (!sendControl(CTL_LOG_START))
            ShowLoggingFailure(TEXT_LOG_START_FAILED);
    } else if (statusBlock->onlyLog) {
        StartOnlyLogLogging();   // "Only log to report" stored on: it logs from the start, too
    }
}

void SwitchOnlyLog(int ticked)
{
    statusBlock->onlyLog = ticked ? 1 : 0;
    onlyLogToggled = 1;
}

// The program folder followed by the default report name into logFileName; 0 with logFileName
// untouched when the whole name does not fit (a cut name would report into another file).
static int SetDefaultReportName(void)
{
    StatusBlock &block = *statusBlock;
    size_t home = BoundedLength(block.homeDir, sizeof block.homeDir);
    char name[sizeof block.logFileName];
    int length = std::snprintf(name, sizeof name, "%.*s%s", static_cast<int>(home), block.homeDir, REPORT_FILE_NAME);
    if (home == sizeof block.homeDir || length < 0 || static_cast<size_t>(length) >= sizeof name)
        return 0;
    CopyBounded(block.logFileName, name);
    return 1;
}

void StartOnlyLogLogging(void)
{
    // The Report page's setting as put in force, not as its box may show it unapplied: logging
    // that runs for it goes on, and the box's logging has to start when none runs.
    if (lastLogToFile)
        return;
    if (statusBlock->logFileName[0] == 0 && !SetDefaultReportName()) {
        ShowLoggingFailure(TEXT_LOG_START_FAILED);   // no file to log into: the start fails here
        return;
    }
    if (sendControl(CTL_LOG_START))
        onlyLogLogging = 1;
    else
        ShowLoggingFailure(TEXT_LOG_START_FAILED);
}

void StopOnlyLogLogging(void)
{
    if (!onlyLogLogging)
        return;
    if (sendControl(CTL_LOG_STOP))
        onlyLogLogging = 0;
    else
        ShowLoggingFailure(TEXT_LOG_STOP_FAILED);
}

int TakeOnlyLogSwitch(void)
{
    int toggled = onlyLogToggled;
    onlyLogToggled = 0;
    return toggled;
}

int LogFileSectionLocked(void)
{
    return statusBlock->onlyLog != 0;
}

const char *LogFileNameInForce(void)
{
    return lastLogFileName;
}

// Starts, stops or restarts logging as the plan says; every refusal is shown, none is retried.
static void ActOnLogging(const LoggingPlan &plan)
{
    if (plan.toggle == LOG_START && !sendControl(CTL_LOG_START))
        ShowLoggingFailure(TEXT_LOG_START_FAILED);
    if (plan.toggle == LOG_STOP && !sendControl(CTL_LOG_STOP))
        ShowLoggingFailure(TEXT_LOG_STOP_FAILED);
    // A restart that fails in either step tells of it once, with the stop's text.
    if (plan.restart && (!sendControl(CTL_LOG_STOP) || !sendControl(CTL_LOG_START)))
        ShowLoggingFailure(TEXT_LOG_STOP_FAILED);
}

void PutReportLoggingInForce(void)
{
    const StatusBlock &block = *statusBlock;
    int nameChanged = lstrcmpiA(block.logFileName, lastLogFileName) != 0;
    LoggingPlan plan = PlanLogging(lastLogToFile, static_cast<int>(block.logToFile), nameChanged,
                                   block.onlyLog != 0, onlyLogLogging);
    onlyLogLogging = plan.onlyLogLogging;
    ActOnLogging(plan);
    RecordLoggingInForce();
}

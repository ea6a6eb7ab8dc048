// The report file: opened by CTL_LOG_START, the entries logMask selects, closed by CTL_LOG_STOP.
#include "vxd/report/report.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "base/bounded.h"
#include "vxd/common/shared.h"
#include "vxd/common/text.h"
#include "vxd/config/config.h"
#include "vxd/journal/journal.h"
#include "vxd/options/options.h"
#include "vxd/report/report_line.h"

// The scan thread writes detections while the front end's thread starts and stops the report.
static CRITICAL_SECTION reportLock;
static HANDLE reportFile = INVALID_HANDLE_VALUE;
static FileIdentity reportIdentity;   // the open report, for IsReportFile
static unsigned unwrittenLines;       // lines of the open report that could not be written

void InitReport(void)
{
    InitializeCriticalSection(&reportLock);
}

// The longest entry: the settings with both lists in full; an action's two full names fit many
// times over. Before it the date and time and the user's name.
constexpr size_t PREFIX_SIZE = 64;
static_assert(REPORT_TEXT_SIZE >= IN_USE_SIZE + EXCLUSIONS_SIZE + 1024, "the settings line fits");

// Writes the line and its CR LF (the report is read in an editor) in one piece; a line that could
// not be written is journalled and counted. Call with reportLock held.
static void WriteReportLine(char *line, size_t length)
{
    line[length] = '\r';
    line[length + 1] = '\n';
    DWORD written = 0;
    if (!WriteFile(reportFile, line, static_cast<DWORD>(length + 2), &written, nullptr) || written != length + 2) {
        DWORD error = written != 0 ? ERROR_DISK_FULL : GetLastError();
        unwrittenLines++;
        JournalLine("REPORT line not written error=%lu unwritten=%u", static_cast<unsigned long>(error), unwrittenLines);
    }
}

static void Now(char *out, size_t size)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::snprintf(out, size, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                  now.wSecond);
}

// One entry of kind as logMask selects it. Call with reportLock held.
static void WriteEntry(uint32_t kind, const char *text)
{
    if (reportFile == INVALID_HANDLE_VALUE)
        return;
    char when[32];
    Now(when, sizeof when);
    char user[sizeof sharedBlock->userName];
    CopyBounded(user, sharedBlock->userName);
    static char line[PREFIX_SIZE + REPORT_TEXT_SIZE + 2];   // under reportLock; room for CR LF
    if (FormatReportEntry(line, sizeof line - 2, sharedBlock->logMask, kind, when, user, text))
        WriteReportLine(line, std::strlen(line));
}

// Opens the report name, shared for reading only: others may read it, but no program can write
// it while the driver holds it (the driver does not scan its report, by its identity, so it must
// not be a way in). When it is the report running already, that one is taken again.
static HANDLE OpenReport(const char *name, int append, int *again)
{
    *again = 0;
    HANDLE file = CreateFileA(name, (append ? FILE_APPEND_DATA : GENERIC_WRITE) | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION)
        return file;
    HANDLE named = CreateFileA(name, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (named == INVALID_HANDLE_VALUE)
        return INVALID_HANDLE_VALUE;
    FileIdentity identity = IdentityOf(named);
    CloseHandle(named);
    EnterCriticalSection(&reportLock);
    *again = reportFile != INVALID_HANDLE_VALUE && SameFile(identity, reportIdentity);
    // Started afresh or appended to, through the handle held, as a new opening would.
    if (*again && !append && (SetFilePointer(reportFile, 0, nullptr, FILE_BEGIN) != 0 || !SetEndOfFile(reportFile)))
        *again = 0;
    if (*again)
        SetFilePointer(reportFile, 0, nullptr, FILE_END);
    LeaveCriticalSection(&reportLock);
    SetLastError(ERROR_SHARING_VIOLATION);
    return INVALID_HANDLE_VALUE;
}

int StartReport(void)
{
    if (config.refuseLogStart)
        return 0;
    char name[sizeof sharedBlock->logFileName];
    CopyBounded(name, sharedBlock->logFileName);
    if (name[0] == 0)
        return 0;
    int again = 0;
    HANDLE file = OpenReport(name, sharedBlock->append != 0, &again);
    if (file == INVALID_HANDLE_VALUE && !again)
        return 0;   // a report already running goes on undisturbed

    EnterCriticalSection(&reportLock);
    HANDLE previous = again ? INVALID_HANDLE_VALUE : reportFile;
    if (!again) {
        reportFile = file;
        reportIdentity = IdentityOf(file);
    }
    unwrittenLines = 0;
    WriteEntry(LOG_SETTINGS, "Torvane.VXD report started");
    if (sharedBlock->logMask & LOG_SETTINGS) {
        static char inUse[IN_USE_SIZE];
        static char exclusions[EXCLUSIONS_SIZE];
        static char text[REPORT_TEXT_SIZE];
        OptionLists(inUse, sizeof inUse, exclusions, sizeof exclusions);
        FormatSettingsText(text, sizeof text, sharedBlock, inUse, exclusions);
        WriteEntry(LOG_SETTINGS, text);
    }
    LeaveCriticalSection(&reportLock);
    if (previous != INVALID_HANDLE_VALUE)
        CloseHandle(previous);
    return 1;
}

// The summary and the closing line, and the file closed. Call with reportLock held (or, when the
// process ends, with no other thread left).
static void CloseReport(void)
{
    if (reportFile == INVALID_HANDLE_VALUE)
        return;
    char text[512];
    FormatSummaryText(text, sizeof text, sharedBlock, unwrittenLines);
    WriteEntry(LOG_SUMMARY, text);
    WriteEntry(LOG_SUMMARY, "Torvane.VXD report stopped");
    CloseHandle(reportFile);
    reportFile = INVALID_HANDLE_VALUE;
    reportIdentity = {0, 0, 0, 0};
}

int StopReport(void)
{
    if (config.refuseLogStop)
        return 0;
    EnterCriticalSection(&reportLock);
    CloseReport();
    LeaveCriticalSection(&reportLock);
    return 1;
}

void EndReportAtUnload(int processEnding)
{
    // When the process ends, every other thread is gone already, perhaps in the middle of a line
    // and holding the lock for good; then the report is closed without it. Nothing here waits.
    int locked = TryEnterCriticalSection(&reportLock);
    if (locked || processEnding)
        CloseReport();
    if (locked)
        LeaveCriticalSection(&reportLock);
}

void ReportEntry(uint32_t kind, const char *format, ...)
{
    EnterCriticalSection(&reportLock);
    static char text[REPORT_TEXT_SIZE];   // under reportLock
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    WriteEntry(kind, text);
    LeaveCriticalSection(&reportLock);
}

int IsReportFile(HANDLE file, DWORD indexHigh, DWORD indexLow)
{
    EnterCriticalSection(&reportLock);
    FileIdentity report = reportIdentity;
    LeaveCriticalSection(&reportLock);
    return IsKnownFile(file, indexHigh, indexLow, report);
}

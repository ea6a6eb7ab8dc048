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
#include "vxd/options/options.h"
#include "vxd/report/report_line.h"

// The scan thread writes detections while the front end's thread starts and stops the report.
static CRITICAL_SECTION reportLock;
static HANDLE reportFile = INVALID_HANDLE_VALUE;
static wchar_t reportPath[MAX_PATH];   // full path of the open report, for IsReportFile

void InitReport(void)
{
    InitializeCriticalSection(&reportLock);
}

// The longest line: the settings with both lists in full.
constexpr size_t LINE_SIZE = IN_USE_SIZE + EXCLUSIONS_SIZE + 1024;

// Writes text as one line, with CR LF as the report is read in an editor. Call with reportLock held.
static void WriteReportLine(const char *text)
{
    DWORD written = 0;
    WriteFile(reportFile, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
    WriteFile(reportFile, "\r\n", 2, &written, nullptr);
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
    static char line[LINE_SIZE];   // under reportLock
    if (FormatReportEntry(line, sizeof line, sharedBlock->logMask, kind, when, user, text))
        WriteReportLine(line);
}

int StartReport(void)
{
    if (config.refuseLogStart)
        return 0;
    char name[sizeof sharedBlock->logFileName];
    CopyBounded(name, sharedBlock->logFileName);
    if (name[0] == 0)
        return 0;
    int append = sharedBlock->append != 0;
    HANDLE file = CreateFileA(name, append ? FILE_APPEND_DATA : GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;   // a report already running goes on undisturbed

    EnterCriticalSection(&reportLock);
    HANDLE previous = reportFile;
    reportFile = file;
    if (!FullPathWide(name, reportPath, MAX_PATH))
        reportPath[0] = 0;
    WriteEntry(LOG_SETTINGS, "Torvane.VXD report started");
    if (sharedBlock->logMask & LOG_SETTINGS) {
        static char inUse[IN_USE_SIZE];
        static char exclusions[EXCLUSIONS_SIZE];
        static char text[LINE_SIZE];
        OptionLists(inUse, sizeof inUse, exclusions, sizeof exclusions);
        FormatSettingsText(text, sizeof text, sharedBlock, inUse, exclusions);
        WriteEntry(LOG_SETTINGS, text);
    }
    LeaveCriticalSection(&reportLock);
    if (previous != INVALID_HANDLE_VALUE)
        CloseHandle(previous);
    return 1;
}

int StopReport(void)
{
    if (config.refuseLogStop)
        return 0;
    EnterCriticalSection(&reportLock);
    if (reportFile != INVALID_HANDLE_VALUE) {
        char text[512];
        FormatSummaryText(text, sizeof text, sharedBlock);
        WriteEntry(LOG_SUMMARY, text);
        WriteEntry(LOG_SUMMARY, "Torvane.VXD report stopped");
        CloseHandle(reportFile);
        reportFile = INVALID_HANDLE_VALUE;
        reportPath[0] = 0;
    }
    LeaveCriticalSection(&reportLock);
    return 1;
}

void ReportEntry(uint32_t kind, const char *format, ...)
{
    char text[1200];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    EnterCriticalSection(&reportLock);
    WriteEntry(kind, text);
    LeaveCriticalSection(&reportLock);
}

int IsReportFile(const wchar_t *path)
{
    EnterCriticalSection(&reportLock);
    int same = reportPath[0] != 0 && lstrcmpiW(path, reportPath) == 0;
    LeaveCriticalSection(&reportLock);
    return same;
}

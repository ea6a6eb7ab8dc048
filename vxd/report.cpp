// The report file: opened by CTL_LOG_START, one line per detection, closed by CTL_LOG_STOP.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "base/bounded.h"
#include "vxd/vxd.h"

enum : uint32_t {
    LOG_INFECTION = 0x01,
    LOG_USER = 0x10,
    LOG_DATE_TIME = 0x20,
    LOG_SETTINGS = 0x40,
    LOG_SUMMARY = 0x80,
};

// The watcher writes detections while the front end's thread starts and stops the report.
static CRITICAL_SECTION reportLock;
static HANDLE reportFile = INVALID_HANDLE_VALUE;
static wchar_t reportPath[MAX_PATH];   // full path of the open report, for IsReportFile

void InitReport(void)
{
    InitializeCriticalSection(&reportLock);
}

// Writes one line, with CR LF as the report is read in an editor. Call with reportLock held.
static void WriteReportLine(const char *format, ...) __attribute__((format(printf, 1, 2)));
static void WriteReportLine(const char *format, ...)
{
    if (reportFile == INVALID_HANDLE_VALUE)
        return;
    char line[1400];
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(line, sizeof line - 2, format, args);
    va_end(args);
    if (length < 0)
        return;
    size_t size = static_cast<size_t>(length) < sizeof line - 2 ? static_cast<size_t>(length) : sizeof line - 3;
    line[size++] = '\r';
    line[size++] = '\n';
    DWORD written = 0;
    WriteFile(reportFile, line, static_cast<DWORD>(size), &written, nullptr);
}

// The start of an entry as logMask asks for it: date and time, user.
static void EntryPrefix(char *out, size_t size)
{
    uint32_t mask = sharedBlock->logMask;
    char when[32] = "";
    char user[sizeof sharedBlock->userName + 2] = "";
    if (mask & LOG_DATE_TIME) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        std::snprintf(when, sizeof when, "%04u-%02u-%02u %02u:%02u:%02u ", now.wYear, now.wMonth, now.wDay, now.wHour,
                      now.wMinute, now.wSecond);
    }
    if (mask & LOG_USER) {
        char name[sizeof sharedBlock->userName];
        CopyBounded(name, sharedBlock->userName);
        std::snprintf(user, sizeof user, "%s ", name);
    }
    std::snprintf(out, size, "%s%s", when, user);
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
    SYSTEMTIME now;
    GetLocalTime(&now);
    WriteReportLine("Torvane.VXD report started %04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay,
                    now.wHour, now.wMinute, now.wSecond);
    if (sharedBlock->logMask & LOG_SETTINGS) {
        WriteReportLine("Settings: type %u, scan on %u, archives %u, heuristics %u, action %u, only log %u",
                        sharedBlock->scanType, sharedBlock->scanOn, sharedBlock->archives, sharedBlock->heuristics,
                        sharedBlock->action, sharedBlock->onlyLog);
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
        if (sharedBlock->logMask & LOG_SUMMARY) {
            WriteReportLine("Summary: %u files scanned, %u infected", static_cast<unsigned>(sharedBlock->filesScanned),
                            static_cast<unsigned>(sharedBlock->filesInfected));
        }
        WriteReportLine("Torvane.VXD report stopped");
        CloseHandle(reportFile);
        reportFile = INVALID_HANDLE_VALUE;
        reportPath[0] = 0;
    }
    LeaveCriticalSection(&reportLock);
    return 1;
}

void ReportDetection(const char *path)
{
    EnterCriticalSection(&reportLock);
    if (reportFile != INVALID_HANDLE_VALUE && (sharedBlock->logMask & LOG_INFECTION)) {
        char prefix[64];
        EntryPrefix(prefix, sizeof prefix);
        WriteReportLine("%sInfected: %s (anti-virus test file)", prefix, path);
    }
    LeaveCriticalSection(&reportLock);
}

int IsReportFile(const wchar_t *path)
{
    EnterCriticalSection(&reportLock);
    int same = reportPath[0] != 0 && lstrcmpiW(path, reportPath) == 0;
    LeaveCriticalSection(&reportLock);
    return same;
}

// The driver's journal: one line per control code, scan and detection, for tests and diagnosis.
#include "vxd/journal/journal.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

#include "vxd/common/shared.h"
#include "vxd/common/text.h"
#include "vxd/config/config.h"
#include "vxd/journal/journal_line.h"

// Lines come from the front end's thread, the watch and scan threads and the status thread.
static CRITICAL_SECTION journalLock;
static HANDLE journalFile = INVALID_HANDLE_VALUE;   // under journalLock: held from the first line
static FileIdentity journalIdentity;    // under journalLock: the file held
static volatile LONG unloading;
static HANDLE statusThread;

void InitJournal(void)
{
    InitializeCriticalSection(&journalLock);
}

void UnloadJournal(void)
{
    InterlockedExchange(&unloading, 1);
}

void CloseJournal(void)
{
    if (!TryEnterCriticalSection(&journalLock))
        return;   // the process ends: its handles go with it
    if (journalFile != INVALID_HANDLE_VALUE)
        CloseHandle(journalFile);
    journalFile = INVALID_HANDLE_VALUE;
    LeaveCriticalSection(&journalLock);
}

static void WriteJournal(const char *line, size_t length)
{
    if (unloading) {
        if (!TryEnterCriticalSection(&journalLock))
            return;
    } else {
        EnterCriticalSection(&journalLock);
    }
    // Held open from the first line for as long as the driver runs, shared for reading only:
    // others may read it at any time, each line as soon as it is written, but no other program can
    // write it (a journal the driver does not scan, by its identity, must not be a way in).
    if (journalFile == INVALID_HANDLE_VALUE) {
        journalFile = CreateFileA(config.journal, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
        if (journalFile != INVALID_HANDLE_VALUE)
            journalIdentity = IdentityOf(journalFile);
    }
    if (journalFile != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(journalFile, line, static_cast<DWORD>(length), &written, nullptr);
    }
    LeaveCriticalSection(&journalLock);
}

void JournalLine(const char *format, ...)
{
    if (config.journal[0] == 0)
        return;
    char line[8192];   // room for two full names: a file's and where it went
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    if (length < 0)
        return;
    size_t size = static_cast<size_t>(length) < sizeof line - 1 ? static_cast<size_t>(length) : sizeof line - 2;
    line[size++] = '\n';
    WriteJournal(line, size);
}

void JournalControl(uint32_t code, int result, const char *extra)
{
    if (config.journal[0] == 0)
        return;
    char line[1024];
    FormatControlLine(line, sizeof line, code, result, sharedBlock, extra);
    JournalLine("%s", line);
}

int IsJournalFile(HANDLE file, DWORD indexHigh, DWORD indexLow)
{
    EnterCriticalSection(&journalLock);
    FileIdentity journal = journalIdentity;
    LeaveCriticalSection(&journalLock);
    return IsKnownFile(file, indexHigh, indexLow, journal);
}

// Looks at enabled, onShutdown and floppyBoot every 20 ms (the fields the front end changes
// without a control code); runs only while a journal is configured, so an ordinary run has no such
// thread.
static DWORD WINAPI StatusThreadProc(void *)
{
    uint32_t last[3] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
    for (;;) {
        volatile StatusBlock *b = sharedBlock;
        uint32_t now[3] = {b->enabled, b->onShutdown, b->floppyBoot};
        if (now[0] != last[0] || now[1] != last[1] || now[2] != last[2]) {
            JournalLine("STATUS enabled=%u onShutdown=%u floppyBoot=%u", static_cast<unsigned>(now[0]),
                        static_cast<unsigned>(now[1]), static_cast<unsigned>(now[2]));
            for (int i = 0; i < 3; i++)
                last[i] = now[i];
        }
        Sleep(20);
    }
}

void StartStatusThread(void)
{
    if (config.journal[0] == 0)
        return;
    if (statusThread != nullptr || sharedBlock == nullptr)
        return;
    statusThread = CreateThread(nullptr, 0, StatusThreadProc, nullptr, 0, nullptr);
}

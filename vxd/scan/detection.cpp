// What follows a verdict: the counters, the journal, the report and the action, and the front end
// told of each detection. Each file's OEM name waits in a slot of shared memory while the message
// that carries its address is on its way.
#include "vxd/scan/detection.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "base/bounded.h"
#include "driver/address.h"
#include "vxd/act/actions.h"
#include "vxd/common/shared.h"
#include "vxd/common/text.h"
#include "vxd/config/config.h"
#include "vxd/journal/journal.h"
#include "vxd/report/report.h"
#include "vxd/scan/make_up.h"

enum : uint32_t {
    // Each detection's OEM file name waits in a slot until the front end handles the message that
    // carries its address. A message queue holds at most 10000 messages, so with more slots than
    // that a slot is never reused while its message can still be pending.
    SLOT_SIZE = 1024,
    SLOT_COUNT = 10240,
};
constexpr DWORD POST_RETRY_MS = 50;         // the front end's queue is full: wait for it to drain,
constexpr DWORD POST_WAIT_MS = 5000;        // but not for a front end that handles no messages

static char *slots;                         // SLOT_COUNT slots of SLOT_SIZE bytes, below 4 GB
static volatile LONG nextSlot;

void PrepareDetections(void)
{
    if (slots == nullptr)
        slots = static_cast<char *>(AllocateLow(static_cast<size_t>(SLOT_COUNT) * SLOT_SIZE));
}

// Posts the message for oemName to the window the connect named; waits while the front end's
// queue is full, and gives up (journalled) when the window is gone or its queue stays full for
// 5 s. Nothing is posted when the connect named no window or message.
static void PostDetection(const char *oemName)
{
    uint32_t index = static_cast<uint32_t>(InterlockedIncrement(&nextSlot) - 1) % SLOT_COUNT;
    char *slot = slots + static_cast<size_t>(index) * SLOT_SIZE;
    CopyBounded(slot, SLOT_SIZE, oemName);
    // Window handles are 32-bit values, sign-extended on 64-bit Windows.
    HWND window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<LONG>(sharedBlock->notifyWindow)));
    UINT message = sharedBlock->notifyMessage;
    if (window == nullptr || message == 0)
        return;
    LPARAM parameter = static_cast<LPARAM>(Address32(slot));
    DWORD start = GetTickCount();
    while (!PostMessageA(window, message, 0, parameter)) {
        DWORD error = GetLastError();
        if (!IsWindow(window)) {
            JournalLine("POST failed error=%lu", static_cast<unsigned long>(error));
            return;
        }
        if (GetTickCount() - start >= POST_WAIT_MS) {
            // The scan thread goes on: the detection is counted, reported and acted on already.
            JournalLine("POST failed error=%lu: the queue stayed full for %lu ms", static_cast<unsigned long>(error),
                        static_cast<unsigned long>(POST_WAIT_MS));
            return;
        }
        Sleep(POST_RETRY_MS);
    }
}

int ActionComparesFile(const ScanOptions &options)
{
    return !options.onlyLog && options.action >= ACTION_DENY && options.action <= ACTION_DISINFECT;
}

// lastFile before the counter, so that whoever sees the count grow finds the name in place.
static void CountScanned(const wchar_t *path, const char *ansiPath)
{
    char lastFile[LAST_FILE_TEXT_SIZE];
    WideToCodePage(CP_ACP, path, lastFile, sizeof lastFile);
    CopyBounded(sharedBlock->lastFile, LAST_FILE_TEXT_SIZE, lastFile);
    InterlockedIncrement(reinterpret_cast<volatile LONG *>(&sharedBlock->filesScanned));
    sharedBlock->blinkCount = config.blinkSteps;
    JournalLine("SCAN %s", ansiPath);
}

static void Detect(const wchar_t *path, const ScannedVersion &version, const char *foundName, const char *oemName,
                   const Verdict &verdict, const ScanOptions &options)
{
    InterlockedIncrement(reinterpret_cast<volatile LONG *>(&sharedBlock->filesInfected));
    JournalLine("DETECT %s", foundName);
    JournalLine("THREAT %s", verdict.threat);
    ReportEntry(LOG_INFECTION, "Infected: %s (%s)", foundName, verdict.threat);
    if (options.onlyLog)
        ReportEntry(LOG_INFECTION, "Only logged: %s", foundName);
    else
        ActOnInfected(path, version, foundName, options.action, options.moveDir);
    PostDetection(oemName);
}

void FollowVerdict(const wchar_t *path, const ScannedVersion &version, const char *ansiPath, const char *foundName,
                   const char *foundOem, const Verdict &verdict, const ScanOptions &options)
{
    int unconfirmed = !verdict.found && verdict.unconfirmed;
    NoteVerdict(path, version, verdict.found ? VERDICT_INFECTED : unconfirmed ? VERDICT_UNCONFIRMED : VERDICT_CLEAN,
                verdict.threat);
    if (unconfirmed)
        NoteUnconfirmed(path);
    CountScanned(path, ansiPath);
    if (verdict.found)
        Detect(path, version, foundName, foundOem, verdict, options);
}

// The reference driver's entry: DeviceIoControl less the handle, called on the front end's thread.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "base/bounded.h"
#include "driver/address.h"
#include "driver/protocol.h"
#include "vxd/common/shared.h"
#include "vxd/config/config.h"
#include "vxd/control/languages.h"
#include "vxd/control/wine9x_route.h"
#include "vxd/journal/journal.h"
#include "vxd/options/options.h"
#include "vxd/queue/queue.h"
#include "vxd/report/report.h"
#include "vxd/scan/detection.h"
#include "vxd/scan/scan.h"
#include "vxd/scan/scan_file.h"
#include "vxd/watch/watch.h"

// The record may be longer on our side than the front end's extent of it; keep a page.
constexpr size_t SHARED_BLOCK_SIZE = 4096;
static_assert(sizeof(StatusBlock) <= SHARED_BLOCK_SIZE, "the record fits its page");
constexpr size_t ERROR_TEXT_SIZE = sizeof config.errorText;

static char *extensionsBuffer;
static char *userExtensionsBuffer;
static char *inUseBuffer;
static char *exclusionsBuffer;
static char *errorText;              // ERROR_TEXT_SIZE bytes, shown by the front end on refusal
static CRITICAL_SECTION controlLock; // codes arrive on the front end's thread; tests may use others

static const char DEFAULT_EXTENSIONS[] = "COM,EXE,DLL,SYS,DRV,OVL,BIN,SCR,CPL,VXD,386,DOC,DOT,XLS";
static const char SIGN_DATE[] = "03/15/1999";
static const char MACRO_DATE[] = "03/12/1999";
// Text 700 shows them in the order 0, 1, 3, 4, 5, 6, 2, 7: driver version 3.50, engine version
// 4.20, 18432 known viruses, 2417 known macro viruses, driver build 312, signature update 41.
static const uint32_t VERSION_INFO[8] = {3, 50, 312, 4, 20, 18432, 2417, 41};

extern "C" BOOL WINAPI DriverControl(DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                                     LPDWORD returned, LPOVERLAPPED);

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        driverModule = instance;
        DisableThreadLibraryCalls(instance);
        InitializeCriticalSection(&controlLock);
        InitJournal();
        InitReport();
        InitOptions();
        InitQueue();
        RouteWine9xControls(instance, DriverControl);
    }
    if (reason == DLL_PROCESS_DETACH) {
        // Unloaded with the program (the front end never stops the report itself): the report
        // gets its summary. Nothing here waits for a thread: the process ends them, or has already.
        UnloadJournal();
        EndReportAtUnload(reserved != nullptr);
        CloseJournal();
    }
    return TRUE;
}

// Everything the front end reaches through an address lives below 4 GB for the whole run.
static void AllocateShared(void)
{
    if (sharedBlock != nullptr)
        return;
    sharedBlock = static_cast<StatusBlock *>(AllocateLow(SHARED_BLOCK_SIZE));
    extensionsBuffer = static_cast<char *>(AllocateLow(EXTENSIONS_SIZE));
    userExtensionsBuffer = static_cast<char *>(AllocateLow(USER_EXTENSIONS_SIZE));
    inUseBuffer = static_cast<char *>(AllocateLow(IN_USE_SIZE));
    exclusionsBuffer = static_cast<char *>(AllocateLow(EXCLUSIONS_SIZE));
    errorText = static_cast<char *>(AllocateLow(ERROR_TEXT_SIZE));
}

// What each connect hands over: the front end's window, message and folder; scanning on.
static void TakeConnection(const ConnectRequest &request)
{
    StatusBlock *b = sharedBlock;
    b->enabled = 1;
    CopyBounded(b->homeDir, FromAddress32<const char>(request.programDir));
    b->notifyWindow = request.notifyWindow;
    b->notifyMessage = request.notifyMessage;
    InterlockedExchange(&scanningEnabled, 1);
}

// The record as the driver hands it out: settings at plausible defaults until the front end loads
// its own, counters at 0, the driver's own information filled in.
static void PrepareSharedBlock(const ConnectRequest &request)
{
    StatusBlock *b = sharedBlock;
    std::memset(b, 0, SHARED_BLOCK_SIZE);
    TakeConnection(request);
    b->scanType = SCAN_ALL;   // everything, until the front end says otherwise
    b->scanOn = SCAN_ON_BOTH;
    b->canDisable = 1;
    b->showIcon = 1;
    b->action = ACTION_REPORT_ONLY;
    b->logMask = LOG_INFECTION;
    b->extensions = Address32(extensionsBuffer);
    b->userExtensions = Address32(userExtensionsBuffer);
    b->inUse = Address32(inUseBuffer);
    b->exclusions = Address32(exclusionsBuffer);
    CopyBounded(extensionsBuffer, EXTENSIONS_SIZE, DEFAULT_EXTENSIONS);
    userExtensionsBuffer[0] = 0;
    CopyBounded(inUseBuffer, IN_USE_SIZE, DEFAULT_EXTENSIONS);
    exclusionsBuffer[0] = 0;
    CopyBounded(b->signDate, SIGN_DATE);
    CopyBounded(b->macroDate, MACRO_DATE);
    std::memcpy(b->versionInfo, VERSION_INFO, sizeof VERSION_INFO);
}

// The watch, and the scan thread that empties its queue: started at the first accepted connect,
// found running by later ones. The watch's first reads are pending on return.
static void StartScanning(void)
{
    PrepareDetections();
    if (StartWatchers())
        StartScanThread();
}

// CTL_CONNECT. The reply is written in full (20 bytes) although the stated size is 16: the front
// end reserves 20 and reads the fifth word.
static int Connect(const void *in, DWORD inSize, void *out, DWORD outSize, DWORD *returned)
{
    // Once a connect was accepted, the threads read the configuration and work in the record:
    // a later connect keeps both, settings and counters, and takes only the connection's fields.
    static int accepted;
    if (!accepted)
        ReadConfig();
    AllocateShared();
    BuildLanguageTables();

    ConnectRequest request = {};
    int complete = in != nullptr && inSize >= sizeof request;
    if (complete)
        std::memcpy(&request, in, sizeof request);
    if (!accepted)
        PrepareSharedBlock(request);
    else if (complete)
        TakeConnection(request);
    TakeScanOptions(0);
    TakeActionOptions();
    TakeExclusions(0);

    int accepting = complete && !config.refuseConnect;
    if (!complete)
        CopyBounded(errorText, ERROR_TEXT_SIZE, "Torvane.VXD: the connect request is incomplete.");
    else
        CopyBounded(errorText, ERROR_TEXT_SIZE, config.errorText);
    if (out == nullptr || outSize < CONNECT_STATED_OUTPUT_SIZE)
        return 0;   // nowhere to say anything, not even why

    ConnectReply reply = {};
    reply.statusBlock = accepting || !config.refuseWithoutRecord ? Address32(sharedBlock) : 0;
    reply.errorText = Address32(errorText);
    if (accepting) {
        reply.languageTable = LanguageTableAddress(config.startLanguage);
        reply.languageCount = config.languages;
        reply.languageList = LanguageListAddress();
        StartScanning();
        accepted = 1;
    }
    std::memcpy(out, &reply, sizeof reply);
    if (returned != nullptr)
        *returned = sizeof reply;
    return accepting;
}

// CTL_SELECT_LANGUAGE: 4-byte id in, 4-byte table address out.
static int SelectLanguage(const void *in, DWORD inSize, void *out, DWORD outSize, DWORD *returned, uint32_t *id)
{
    if (in == nullptr || inSize < sizeof(uint32_t) || out == nullptr || outSize < sizeof(uint32_t))
        return 0;
    std::memcpy(id, in, sizeof *id);
    if (config.refuseLanguage || *id >= config.languages)
        return 0;
    uint32_t table = LanguageTableAddress(*id);
    if (table == 0)
        return 0;
    std::memcpy(out, &table, sizeof table);
    if (returned != nullptr)
        *returned = sizeof table;
    return 1;
}

static void ClearStatistics(void)
{
    StatusBlock *b = sharedBlock;
    volatile uint32_t *counters[] = {&b->filesScanned, &b->filesInfected, &b->filesSuspicious, &b->bootScanned,
                                     &b->bootInfected, &b->bootSuspicious, &b->disinfectedCount, &b->deletedCount,
                                     &b->renamedCount, &b->movedCount};
    for (volatile uint32_t *counter : counters)
        *counter = 0;
}

// Handles one code once connected (sharedBlock exists); extra receives the journal's extra fields.
static int HandleCode(DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize, LPDWORD returned,
                      char *extra, size_t extraSize)
{
    switch (code) {
    case CTL_LOG_START:
        return StartReport();
    case CTL_LOG_STOP:
        return StopReport();
    case CTL_SCAN_OPTIONS_CHANGED:
        TakeScanOptions(1);
        return 1;
    case CTL_ACTION_OPTIONS_CHANGED:
        TakeActionOptions();
        return 1;
    case CTL_TOGGLE:
        return 1;   // enabled is read from the record; CTL_ENABLE or CTL_DISABLE follows
    case CTL_EXCLUSIONS_CHANGED:
        TakeExclusions(1);
        return 1;
    case CTL_ENABLE:
        InterlockedExchange(&scanningEnabled, 1);
        return 1;
    case CTL_DISABLE:
        InterlockedExchange(&scanningEnabled, 0);
        return 1;
    case CTL_CLEAR_STATISTICS:
        ClearStatistics();
        return 1;
    case CTL_SELECT_LANGUAGE: {
        uint32_t id = 0xFFFFFFFFu;
        int result = SelectLanguage(in, inSize, out, outSize, returned, &id);
        if (in != nullptr && inSize >= sizeof id)
            std::snprintf(extra, extraSize, " language=%u", static_cast<unsigned>(id));
        else
            std::snprintf(extra, extraSize, " language=none");
        return result;
    }
    }
    return 0;
}

extern "C" BOOL WINAPI DriverControl(DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                                     LPDWORD returned, LPOVERLAPPED)
{
    EnterCriticalSection(&controlLock);
    static int configRead;
    if (!configRead) {
        // Connect reads the configuration again; this is for the journal of codes sent before it.
        ReadConfig();
        configRead = 1;
    }
    char extra[sizeof sharedBlock->homeDir + 16] = "";
    int result;
    if (code == CTL_CONNECT) {
        result = Connect(in, inSize, out, outSize, returned);
        std::snprintf(extra, sizeof extra, " homeDir=%s", sharedBlock->homeDir);
    } else if (sharedBlock == nullptr) {
        result = 0;   // nothing works before a connect
    } else {
        result = HandleCode(code, in, inSize, out, outSize, returned, extra, sizeof extra);
    }
    JournalControl(code, result, extra);
    if (code == CTL_CONNECT)
        StartStatusThread();   // after the connect's own line, so STATUS lines follow it
    LeaveCriticalSection(&controlLock);
    return result ? TRUE : FALSE;
}

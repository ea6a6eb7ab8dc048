// Watching the configured folders, scanning each file created or written there, and telling the
// front end about every detection.
#include <cstring>
#include <deque>
#include <string>
#include <unordered_map>

#include "base/bounded.h"
#include "driver/address.h"
#include "vxd/paths.h"
#include "vxd/vxd.h"

enum : uint32_t {
    // Each detection's OEM file name waits in a slot until the front end handles the message that
    // carries its address. A message queue holds at most 10000 messages, so with more slots than
    // that a slot is never reused while its message can still be pending.
    SLOT_SIZE = 1024,
    SLOT_COUNT = 10240,
};
constexpr DWORD NOTIFY_BUFFER_SIZE = 64 * 1024;
constexpr DWORD WATCH_FILTER = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE
                               | FILE_NOTIFY_CHANGE_SIZE;   // folder names: a folder moved in brings files
constexpr size_t PATH_CHARS = 1024;         // longer paths are not scanned
constexpr DWORD POST_RETRY_MS = 50;         // the front end's queue is full: wait for it to drain
constexpr DWORD FRESH_MS = 30000;           // writes this soon after a name arrived belong to its arrival
constexpr size_t ARRIVALS_KEPT = 4096;      // names remembered before the oldest are dropped
constexpr size_t SCANNED_VERSIONS = 65536;  // versions remembered before the memory starts afresh
constexpr ULONGLONG RESCAN_MARGIN = 2 * 10000000ull;   // 2 s in file-time units (FAT keeps 2 s steps)
constexpr int WINE_WALK_FOLDERS = 8192;     // at most this many folders below each watched one
constexpr int WINE_WALK_DEPTH = 32;
constexpr int LIST_ATTEMPTS = 10;           // a folder just moved in may still be held by the mover
constexpr DWORD LIST_RETRY_MS = 50;

struct WatchedFolder {
    HANDLE directory;          // opened for overlapped change notifications
    HANDLE event;              // signalled when a batch of notifications has arrived
    OVERLAPPED overlapped;
    wchar_t path[MAX_PATH];    // full path; ends in a backslash only for a drive's root
    DWORD *buffer;             // NOTIFY_BUFFER_SIZE bytes, DWORD-aligned as the notifications need
    FILETIME since;            // every change after this reached us (or is in the pending read)
};

// One version of a file: a single write sends several notifications, the file is scanned once.
struct FileVersion {
    uint64_t size;
    FILETIME written;
};

static WatchedFolder folders[MAXIMUM_WAIT_OBJECTS];
static int folderCount;
static int watchersStarted;
static char *slots;                         // SLOT_COUNT slots of SLOT_SIZE bytes, below 4 GB
static volatile LONG nextSlot;
static std::unordered_map<std::wstring, FileVersion> scannedVersions;   // the scan thread's only
static std::unordered_map<std::wstring, DWORD> arrivals;               // the watch thread's only

// The watch thread only collects names, so that its notification buffer is emptied at once and
// does not overflow while files are being scanned; the scan thread takes them in order.
struct QueuedName {
    std::wstring path;
    int fresh;                              // arrived under a new name (see ScanFile)
};
static CRITICAL_SECTION queueLock;
static HANDLE queueReady;                   // auto-reset: set when names were queued
static std::deque<QueuedName> scanQueue;

void InitWatcher(void)
{
    InitializeCriticalSection(&queueLock);
    queueReady = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

static void QueueScan(const wchar_t *path, int fresh)
{
    EnterCriticalSection(&queueLock);
    scanQueue.push_back({path, fresh});
    LeaveCriticalSection(&queueLock);
    SetEvent(queueReady);
}

static std::wstring NameKey(const wchar_t *path)
{
    std::wstring key(path);
    if (!key.empty())
        CharUpperW(&key[0]);   // file names are compared without regard to case
    return key;
}

// The watch thread's view of one notice: 1 when the name arrived (was created, copied, moved or
// renamed here) or was written within FRESH_MS of its arrival.
static int NoteArrival(const wchar_t *path, DWORD action)
{
    std::wstring key = NameKey(path);
    DWORD now = GetTickCount();
    if (action == FILE_ACTION_ADDED || action == FILE_ACTION_RENAMED_NEW_NAME) {
        if (arrivals.size() >= ARRIVALS_KEPT) {
            for (auto it = arrivals.begin(); it != arrivals.end();)
                it = now - it->second > FRESH_MS ? arrivals.erase(it) : std::next(it);
            if (arrivals.size() >= ARRIVALS_KEPT)
                arrivals.clear();
        }
        arrivals[key] = now;
        return 1;
    }
    auto known = arrivals.find(key);
    return known != arrivals.end() && now - known->second <= FRESH_MS;
}

int ScannedLately(const wchar_t *path, uint64_t size, FILETIME written)
{
    std::wstring key = NameKey(path);
    auto known = scannedVersions.find(key);
    if (known != scannedVersions.end() && known->second.size == size
        && CompareFileTime(&known->second.written, &written) == 0)
        return 1;
    if (scannedVersions.size() >= SCANNED_VERSIONS)
        scannedVersions.clear();
    scannedVersions[key] = {size, written};
    return 0;
}

void NoteScanned(const wchar_t *path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExW(path, GetFileExInfoStandard, &data))
        ScannedLately(path, (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow, data.ftLastWriteTime);
}

void PostDetection(const char *oemName)
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
    while (!PostMessageA(window, message, 0, parameter)) {
        DWORD error = GetLastError();
        if (!IsWindow(window)) {
            JournalLine("POST failed error=%lu", static_cast<unsigned long>(error));
            return;
        }
        Sleep(POST_RETRY_MS);
    }
}

// Walks one batch of notifications (bytes long) for folder.
static void HandleBatch(const WatchedFolder *folder, const unsigned char *batch, DWORD bytes)
{
    size_t folderLength = static_cast<size_t>(lstrlenW(folder->path));
    int needsSeparator = folderLength > 0 && folder->path[folderLength - 1] != L'\\';
    DWORD offset = 0;
    for (;;) {
        if (offset + sizeof(FILE_NOTIFY_INFORMATION) > bytes)
            return;
        const FILE_NOTIFY_INFORMATION *info = reinterpret_cast<const FILE_NOTIFY_INFORMATION *>(batch + offset);
        size_t nameLength = info->FileNameLength / sizeof(wchar_t);
        int wanted = info->Action == FILE_ACTION_ADDED || info->Action == FILE_ACTION_MODIFIED ||
                     info->Action == FILE_ACTION_RENAMED_NEW_NAME;
        size_t nameEnd = offset + offsetof(FILE_NOTIFY_INFORMATION, FileName) + info->FileNameLength;
        if (wanted && nameEnd <= bytes && folderLength + 1 + nameLength < PATH_CHARS) {
            wchar_t path[PATH_CHARS];
            std::memcpy(path, folder->path, folderLength * sizeof(wchar_t));
            size_t length = folderLength;
            if (needsSeparator)
                path[length++] = L'\\';
            std::memcpy(path + length, info->FileName, nameLength * sizeof(wchar_t));
            path[length + nameLength] = 0;
            QueueScan(path, NoteArrival(path, info->Action));
        }
        if (info->NextEntryOffset == 0)
            return;
        offset += info->NextEntryOffset;
    }
}

static FILETIME EarlierBy(FILETIME time, ULONGLONG units)
{
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    value.QuadPart = value.QuadPart > units ? value.QuadPart - units : 0;
    return {value.LowPart, value.HighPart};
}

// FindFirstFileW on pattern, the search of folder; a folder that is still held (the notice of a
// move can come before the mover lets go of it) is asked again for a while. A folder that stays
// held is journalled.
static HANDLE ListFolder(const wchar_t *folder, const wchar_t *pattern, WIN32_FIND_DATAW *found)
{
    for (int attempt = 0;; attempt++) {
        HANDLE search = FindFirstFileW(pattern, found);
        if (search != INVALID_HANDLE_VALUE)
            return search;
        DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION)
            return search;
        if (attempt + 1 == LIST_ATTEMPTS) {
            char name[PATH_CHARS];
            WideToCodePage(CP_ACP, folder, name, sizeof name);
            JournalLine("SKIP %s error=%lu", name, static_cast<unsigned long>(error));
            return search;
        }
        Sleep(LIST_RETRY_MS);
    }
}

// Walks the tree below folder, parents before children, at most WINE_WALK_DEPTH deep and through
// at most *budget folders: onFile sees every file, enterFolder every folder (not links) and says
// whether to go down into it.
typedef void (*FileVisit)(const wchar_t *path, const WIN32_FIND_DATAW &found, const void *context);
typedef int (*FolderVisit)(const wchar_t *path);
static void WalkBelow(const wchar_t *folder, int depth, int *budget, FileVisit onFile, FolderVisit enterFolder,
                      const void *context)
{
    size_t length = static_cast<size_t>(lstrlenW(folder));
    if (depth > WINE_WALK_DEPTH || length + 3 >= PATH_CHARS)
        return;
    wchar_t path[PATH_CHARS];
    std::memcpy(path, folder, length * sizeof(wchar_t));
    if (length > 0 && path[length - 1] != L'\\')
        path[length++] = L'\\';
    path[length] = L'*';
    path[length + 1] = 0;
    WIN32_FIND_DATAW found;
    HANDLE search = ListFolder(folder, path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        size_t nameLength = static_cast<size_t>(lstrlenW(found.cFileName));
        if (lstrcmpW(found.cFileName, L".") == 0 || lstrcmpW(found.cFileName, L"..") == 0 || length + nameLength >= PATH_CHARS)
            continue;
        std::memcpy(path + length, found.cFileName, (nameLength + 1) * sizeof(wchar_t));
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            if (onFile != nullptr)
                onFile(path, found, context);
        } else if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && --*budget >= 0 && enterFolder(path)) {
            WalkBelow(path, depth + 1, budget, onFile, enterFolder, context);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

static int EnterEveryFolder(const wchar_t *)
{
    return 1;
}

// Queues every file below folder written at or after since.
static void QueueIfWrittenSince(const wchar_t *path, const WIN32_FIND_DATAW &found, const void *since)
{
    if (CompareFileTime(&found.ftLastWriteTime, static_cast<const FILETIME *>(since)) >= 0)
        QueueScan(path, 1);   // how it came is lost with the overflow: scan it whatever scanOn says
}

static void QueueWrittenSince(const wchar_t *folder, FILETIME since)
{
    int budget = WINE_WALK_FOLDERS;
    WalkBelow(folder, 1, &budget, QueueIfWrittenSince, EnterEveryFolder, &since);
}

void QueueFolderContents(const wchar_t *folder)
{
    QueueWrittenSince(folder, FILETIME{0, 0});
}

// Scans the queued names one by one; sleeps while there are none.
static DWORD WINAPI ScanThreadProc(void *)
{
    for (;;) {
        WaitForSingleObject(queueReady, INFINITE);
        for (;;) {
            EnterCriticalSection(&queueLock);
            if (scanQueue.empty()) {
                LeaveCriticalSection(&queueLock);
                break;
            }
            QueuedName name = std::move(scanQueue.front());
            scanQueue.pop_front();
            LeaveCriticalSection(&queueLock);
            ScanFile(name.path.c_str(), name.fresh);
        }
    }
}

static int IssueRead(WatchedFolder *folder)
{
    ResetEvent(folder->event);
    std::memset(&folder->overlapped, 0, sizeof folder->overlapped);
    folder->overlapped.hEvent = folder->event;
    DWORD size = config.notifyBuffer < NOTIFY_BUFFER_SIZE ? config.notifyBuffer : NOTIFY_BUFFER_SIZE;
    return ReadDirectoryChangesW(folder->directory, folder->buffer, size, TRUE, WATCH_FILTER, nullptr,
                                 &folder->overlapped, nullptr) != 0;
}

static void CloseFolder(WatchedFolder *folder)
{
    CloseHandle(folder->directory);   // cancels the pending read
    folder->directory = INVALID_HANDLE_VALUE;
}

// Blocks until some folder has news; costs nothing while nothing happens.
static DWORD WINAPI WatchThreadProc(void *)
{
    static unsigned char batch[NOTIFY_BUFFER_SIZE];
    for (;;) {
        HANDLE events[MAXIMUM_WAIT_OBJECTS];
        int owners[MAXIMUM_WAIT_OBJECTS];
        DWORD count = 0;
        for (int i = 0; i < folderCount; i++) {
            if (folders[i].directory != INVALID_HANDLE_VALUE) {
                events[count] = folders[i].event;
                owners[count++] = i;
            }
        }
        if (count == 0)
            return 0;
        DWORD which = WaitForMultipleObjects(count, events, FALSE, INFINITE);
        if (which >= WAIT_OBJECT_0 + count)
            return 0;
        WatchedFolder *folder = &folders[owners[which - WAIT_OBJECT_0]];
        char name[MAX_PATH * 2];
        WideToCodePage(CP_ACP, folder->path, name, sizeof name);
        DWORD bytes = 0;
        if (!GetOverlappedResult(folder->directory, &folder->overlapped, &bytes, FALSE)) {
            DWORD error = GetLastError();
            if (error != ERROR_NOTIFY_ENUM_DIR) {
                JournalLine("WATCH %s ended error=%lu", name, static_cast<unsigned long>(error));
                CloseFolder(folder);
                continue;
            }
            bytes = 0;
        }
        // Take the batch out and ask for the next one at once, so that changes go on being
        // collected while this batch is handed over.
        FILETIME since = folder->since;
        GetSystemTimeAsFileTime(&folder->since);
        if (bytes > 0)
            std::memcpy(batch, folder->buffer, bytes);
        if (!IssueRead(folder)) {
            JournalLine("WATCH %s ended error=%lu", name, static_cast<unsigned long>(GetLastError()));
            CloseFolder(folder);
        }
        if (bytes > 0) {
            HandleBatch(folder, batch, bytes);
        } else {
            // More changes than the buffer holds: the names are lost, so look for every file
            // written since the last complete batch instead.
            JournalLine("WATCH %s overflow", name);
            QueueWrittenSince(folder->path, EarlierBy(since, RESCAN_MARGIN));
        }
    }
}

// Wine watches a subtree only in the folders made after the watch began and in those opened since
// (each one's parent must be watched already). On Wine, open every folder below once, parents
// before children, so that changes anywhere below reach the watch as they do on Windows.
static int RunsOnWine(void)
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Opens the folder once, so that Wine starts watching it; goes on below only if it could.
static int OpenOnce(const wchar_t *path)
{
    HANDLE directory = CreateFileW(path, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (directory == INVALID_HANDLE_VALUE)
        return 0;
    CloseHandle(directory);
    return 1;
}

static int OpenFolder(const char *name, WatchedFolder *folder)
{
    if (!FullPathWide(name, folder->path, MAX_PATH)) {
        SetLastError(ERROR_BAD_PATHNAME);
        return 0;
    }
    size_t length = static_cast<size_t>(lstrlenW(folder->path));
    while (length > 3 && folder->path[length - 1] == L'\\')
        folder->path[--length] = 0;   // "C:\TEMP\" becomes "C:\TEMP"; "C:\" stays
    folder->directory = CreateFileW(folder->path, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    if (folder->directory == INVALID_HANDLE_VALUE)
        return 0;
    folder->event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    GetSystemTimeAsFileTime(&folder->since);
    folder->buffer = static_cast<DWORD *>(VirtualAlloc(nullptr, NOTIFY_BUFFER_SIZE, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (folder->event != nullptr && folder->buffer != nullptr && IssueRead(folder)) {
        if (RunsOnWine()) {
            int budget = WINE_WALK_FOLDERS;
            WalkBelow(folder->path, 1, &budget, nullptr, OpenOnce, nullptr);
        }
        return 1;
    }
    DWORD error = GetLastError();
    CloseHandle(folder->directory);
    if (folder->event != nullptr)
        CloseHandle(folder->event);
    if (folder->buffer != nullptr)
        VirtualFree(folder->buffer, 0, MEM_RELEASE);
    SetLastError(error);
    return 0;
}

void StartWatchers(void)
{
    if (watchersStarted)
        return;
    watchersStarted = 1;
    slots = static_cast<char *>(AllocateLow(static_cast<size_t>(SLOT_COUNT) * SLOT_SIZE));
    const char *cursor = config.watch;
    char item[MAX_PATH];
    while (NextListItem(&cursor, item, sizeof item)) {
        char name[MAX_PATH];
        if (!ResolvePath(driverFolder, item, name, sizeof name)) {
            JournalLine("WATCH %s failed: name too long", item);
            continue;
        }
        if (folderCount == MAXIMUM_WAIT_OBJECTS) {
            JournalLine("WATCH %s skipped: too many folders", name);
            continue;
        }
        if (OpenFolder(name, &folders[folderCount])) {
            JournalLine("WATCH %s", name);
            folderCount++;
        } else {
            JournalLine("WATCH %s failed error=%lu", name, static_cast<unsigned long>(GetLastError()));
        }
    }
    // The first reads are pending already, so changes from here on are caught even before the
    // thread runs. The thread is never waited for: the process ends it when it exits.
    if (folderCount > 0) {
        for (LPTHREAD_START_ROUTINE procedure : {WatchThreadProc, ScanThreadProc}) {
            HANDLE thread = CreateThread(nullptr, 0, procedure, nullptr, 0, nullptr);
            if (thread != nullptr)
                CloseHandle(thread);
        }
    }
}

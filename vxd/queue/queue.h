// The work waiting for the scan thread: the names the watch reported, each once, and the walks
// that make up for lost notices. The watch thread only collects names, so that its notification
// buffer is emptied at once and does not overflow while files are being scanned; the scan thread
// takes them in order.
#pragma once
#include <cstdint>
#include <string>

#include "vxd/queue/name_queue.h"

void InitQueue(void);                       // once, when the DLL is loaded

// Adds path to the end of its watched folder's names (root, the folder it was reported from)
// unless it waits there already, and wakes the scan thread. When the queue is full the name is
// dropped, or, when another folder holds far more names, that folder's newest name is dropped for
// it; a folder a name was dropped of is rescanned (for the changes since since, a file time no
// later than the change the name was reported for), journalled at its first drop since its names
// last ran out. Any thread.
void QueueScan(const wchar_t *path, int fresh, const wchar_t *root, uint64_t since);

// Asks for a rescan of every file below root (notices lost since since, a file time), or for the
// walk that notes the files there when the watch begins at since (root is then known as a watched
// folder). Any thread.
void QueueRescan(const wchar_t *root, uint64_t since);

// Asks for a look at the files of folder itself (not below) whose notices did not come. Any thread.
void QueueSettle(const wchar_t *folder);
void QueueBaseline(const wchar_t *root, uint64_t since);

// 1 when the very name path waits in the queue (a walk leaves it to be read from there). Any thread.
int NameWaits(const wchar_t *path);

// The watched folder that holds path (the deepest of them); else the root of path's drive. Any
// thread.
std::wstring WatchedRootOf(const wchar_t *path);

enum {
    WORK_NONE,          // nothing came in the time given
    WORK_NAME,          // name: a file or folder reported
    WORK_RESCAN,        // root, since: files whose notices were lost
    WORK_BASELINE,      // root, since: the files there when the watch began
    WORK_SETTLE,        // root: the files of that folder (not below) whose notices did not come
    WORK_STEP,          // the walk under way goes on
};

struct ScanWork {
    int kind;
    QueuedName name;
    std::wstring root;
    uint64_t since;
};

// Takes the next work into *out, waiting up to waitMs (0xFFFFFFFF: as long as it takes) while there
// is none. Names come in order within a watched folder, the folders in turn; a walk asked for, or
// (walking: the caller has walks under way) the next turn of a walk, comes when no name waits, or
// after each name. While walking it never waits.
int TakeWork(ScanWork *out, unsigned long waitMs, int walking);

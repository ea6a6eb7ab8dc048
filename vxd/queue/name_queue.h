// The scan queue's order and bound: the names waiting for the scan thread, each at most once, in
// the order they came within each watched folder, the folders taken in turn. No windows.h: built
// natively for the unit tests.
#pragma once
#include <cstddef>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

struct QueuedName {
    std::wstring path;
    int fresh;                              // the name arrived (or was written soon after it did):
                                            // scanned whatever scanOn says
};

// One watched folder's names waiting, oldest first.
struct FolderNames {
    std::wstring root;
    std::deque<const std::wstring *> order; // the keys of NameQueue::waiting
    int dropping;                           // a name of it was dropped since its names last ran out
};

struct NameQueue {
    size_t capacity;                        // names waiting at most
    size_t charCapacity;                    // characters of the names waiting at most (a path may
                                            // be 32767 long)
    size_t chars;                           // characters of the names waiting
    std::vector<FolderNames> folders;       // by watched folder, in the order first seen
    size_t turn;                            // the folder whose oldest name is taken next
    std::unordered_map<std::wstring, int> waiting;   // each name waiting, and whether it is fresh
};

enum {
    NAME_QUEUED,        // added at the end of its folder's names
    NAME_MERGED,        // waiting already: it keeps its place, and is fresh if either was
    NAME_REFUSED,       // the queue is full: the name is not kept
};

// A watched folder a push dropped a name of (the pushed one, refused, or another folder's newest,
// dropped for it): that folder is to be walked again.
struct DroppedName {
    std::wstring root;
    int first;                              // 1 when it is the folder's first drop since its names
                                            // last ran out (to be journalled)
};

// Adds path, reported from the watched folder root, unless the very same name waits already. Names
// are kept as they are: two that differ only in case are two files on a folder that tells case
// apart (any folder that a Linux program writes to under Wine), and a second notice for a file under
// another case costs a look, no more. A full queue still takes the name of a folder holding fewer
// names than another by far: the newest name of the folder holding most is dropped for it, so that
// a burst in one folder never keeps another's arrivals waiting behind it.
// *dropped receives each folder a name was dropped of (none, or one, or for a long name two).
int PushName(NameQueue *queue, const wchar_t *path, const wchar_t *root, int fresh, std::vector<DroppedName> *dropped);

// Takes into *out the oldest name of the next folder in turn that has any; 0 when none is waiting.
int PopName(NameQueue *queue, QueuedName *out);

// The scan queue's order and bound: the names waiting for the scan thread, in the order they came,
// each at most once. No windows.h: built natively for the unit tests.
#pragma once
#include <cstddef>
#include <deque>
#include <string>
#include <unordered_map>

struct QueuedName {
    std::wstring path;
    int fresh;                              // the name arrived (or was written soon after it did):
                                            // scanned whatever scanOn says
};

struct NameQueue {
    size_t capacity;                        // names waiting at most
    size_t charCapacity;                    // characters of the names waiting at most (a path may
                                            // be 32767 long)
    size_t chars;                           // characters of the names waiting
    std::deque<const std::wstring *> order; // the names, oldest first (the keys of waiting)
    std::unordered_map<std::wstring, int> waiting;   // each name waiting, and whether it is fresh
};

enum {
    NAME_QUEUED,        // added at the end
    NAME_MERGED,        // waiting already: it keeps its place, and is fresh if either was
    NAME_REFUSED,       // the queue is full: the name is not kept
};

// Adds path unless the very same name waits already. Names are kept as they are: two that differ
// only in case are two files on a folder that tells case apart (any folder that a Linux program
// writes to under Wine), and a second notice for a file under another case costs a look, no more.
int PushName(NameQueue *queue, const wchar_t *path, int fresh);

// Takes the oldest name into *out; 0 when none is waiting.
int PopName(NameQueue *queue, QueuedName *out);

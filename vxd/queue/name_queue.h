// The scan queue's order and bound: the names waiting for the scan thread, in the order they came,
// each at most once. No windows.h: built natively for the unit tests.
#pragma once
#include <cstddef>
#include <deque>
#include <string>
#include <unordered_map>

constexpr size_t PATH_CHARS = 1024;         // longer paths (with their terminator) are not queued

struct QueuedName {
    std::wstring path;
    int fresh;                              // the name arrived (or was written soon after it did):
                                            // scanned whatever scanOn says
};

struct NameQueue {
    size_t capacity;                        // names waiting at most
    std::deque<std::wstring> order;         // the keys, oldest first
    std::unordered_map<std::wstring, QueuedName> waiting;   // by key
};

enum {
    NAME_QUEUED,        // added at the end
    NAME_MERGED,        // waiting already: it keeps its place, and is fresh if either was
    NAME_REFUSED,       // the queue is full: the name is not kept
};

// Adds path under key (the name as the driver compares names) unless it is waiting already.
int PushName(NameQueue *queue, const std::wstring &key, const wchar_t *path, int fresh);

// Takes the oldest name into *out; 0 when none is waiting.
int PopName(NameQueue *queue, QueuedName *out);

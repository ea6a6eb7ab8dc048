// The names waiting for the scan thread. The watch thread only collects names, so that its
// notification buffer is emptied at once and does not overflow while files are being scanned; the
// scan thread takes them in order.
#pragma once
#include <cstddef>
#include <string>

constexpr size_t PATH_CHARS = 1024;         // longer paths (with their terminator) are not queued

struct QueuedName {
    std::wstring path;
    int fresh;                              // the name arrived (or was written soon after it did):
                                            // scanned whatever scanOn says
};

void InitQueue(void);                       // once, when the DLL is loaded

// Adds path to the end of the queue and wakes the scan thread. Any thread.
void QueueScan(const wchar_t *path, int fresh);

// Takes the name at the head of the queue into *out; waits while the queue is empty.
void TakeQueued(QueuedName *out);

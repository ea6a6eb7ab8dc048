// Memory that another party names by address, checked readable before it is read: the file name in
// a detection message (any program can post one) and the language names (at numbers the driver
// chooses, past the texts every table is known to hold).
#pragma once
#include <cstddef>
#include <cstdint>

// How the check is made, decided from the value GetVersion returns. Pure logic.
enum ReadCheck {
    // Windows NT: VirtualQuery describes every region of the process.
    READ_CHECK_REGIONS,
    // Windows 95 and 98: a driver's memory lies in the shared or system arena, which VirtualQuery
    // may not describe; IsBadStringPtrA and IsBadReadPtr try the reads themselves, but never into
    // a guard page VirtualQuery names (the read would take the guard away).
    READ_CHECK_PROBE,
};
ReadCheck ReadCheckFor(uint32_t version);

// 1 when the count bytes at p can be read.
int IsReadableMemory(const void *p, size_t count);

// 1 when the text at p can be read up to its terminator, or up to limit bytes when it has none
// there (a copy bounded by limit then cuts it).
int IsReadableText(const char *p, size_t limit);

// The folders whose files were reported lately, each looked at once more when their notices have
// stopped for a while: under Wine a notice is now and then lost among many without an overflow
// being reported, and the look finds the file it was of. No windows.h: built natively for the
// unit tests.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

struct Unsettled {
    size_t capacity;                                    // folders waiting at most
    std::unordered_map<std::wstring, uint32_t> last;    // folder: the tick of its last notice
    uint32_t nextDue;                                   // no folder is due before this tick
};

// Notes a notice of the file at path (in the folder before its last backslash) at tick now. A
// full table hands the folder whose notices stopped longest ago to *due at once.
void NoteUnsettled(Unsettled *table, const std::wstring &path, uint32_t now, uint32_t quietMs,
                   std::vector<std::wstring> *due);

// Takes into *due the folders without a notice for quietMs; returns the ms until the next one is
// due (UINT32_MAX when none waits). Ticks wrap as a 32-bit millisecond count does.
uint32_t TakeSettled(Unsettled *table, uint32_t now, uint32_t quietMs, std::vector<std::wstring> *due);

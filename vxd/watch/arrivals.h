// The watch's memory of the names that arrived, which decides what "open, copy, run" scans: a name
// that arrives (created, copied, moved or renamed into a watched folder) and every write after it,
// however long the copy stalls. No windows.h: built natively for the unit tests.
#pragma once
#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>

struct Arrivals {
    size_t capacity;                                    // names remembered at most
    std::list<uint64_t> order;                          // hashes of the names, least lately heard first
    std::unordered_map<uint64_t, std::list<uint64_t>::iterator> known;
    int forgot;                                         // 1 once a name was forgotten for room
};

// One notice for key: arrived is 1 when the name arrived, 0 for a write. 1 when the notice belongs
// to an arrival: the name arrived now, or arrived before and is still remembered. Names are
// remembered by a hash of their key (two names that share one only scan more); beyond capacity
// the one heard of least lately is forgotten, and from then on every write belongs to an arrival
// (scanning more, never less), since a forgotten copy may go on at any time.
int NoteNotice(Arrivals *arrivals, const std::wstring &key, int arrived);

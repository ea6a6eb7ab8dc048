// The watch's memory of the names that arrived lately, which decides what "open, copy, run" scans:
// a name that arrives (created, copied, moved or renamed into a watched folder) and the writes that
// fill it. No windows.h: built natively for the unit tests.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>

constexpr uint32_t FRESH_MS = 30000;        // a write this soon after the name's last notice fills it

struct Arrivals {
    size_t capacity;                                    // names remembered at most
    std::unordered_map<std::wstring, uint32_t> last;    // by key: tick of the name's last notice
    uint32_t forgotAt;                                  // tick when an arrival last found no room
    int forgot;                                         // 1 once one did
};

// One notice for key at tick now (milliseconds, wrapping): arrived is 1 when the name arrived, 0
// for a write. 1 when the notice belongs to an arrival: the name arrived now, or arrived and was
// noticed again within FRESH_MS before this write. While arrivals find the memory full of names
// still being filled, every write belongs to one (scanning more, never less), until FRESH_MS after
// the last that found no room.
int NoteNotice(Arrivals *arrivals, const std::wstring &key, int arrived, uint32_t now);

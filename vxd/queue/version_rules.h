// The rules of the memory of file versions: which notice repeats a version already scanned, and
// which files a rescan after lost notices must read again; and the keyed digest of the bytes a
// scan read. No windows.h: built natively for the unit tests.
#pragma once
#include <cstddef>
#include <cstdint>

// The coarsest step of file times (FAT keeps 2 s), in 100 ns units: within it a rewrite can keep
// both the size and the time written of the version it replaced.
constexpr uint64_t TIME_STEP = 2 * 10000000ull;

enum {
    VERSION_SCANNED = 1,    // read and judged; digest holds what was read
    VERSION_PRESENT = 2,    // seen by the walk when the watch began, not read
};

// What the memory knows of one file. Times are file times as one number (100 ns since 1601).
struct VersionRecord {
    int kind;
    uint64_t size;
    uint64_t written;       // the file's time written
    uint64_t seenAt;        // when it was scanned or seen
    uint64_t digest;        // VERSION_SCANNED: ContentDigest of the bytes read
};

// 1 when a scan that read bytes of this digest from a file of size bytes would judge the version
// known once more: a repeated notice. Times play no part, so a rewrite of the same size within
// TIME_STEP (or with its time set back) is judged again. known may be null.
int RepeatsVersion(const VersionRecord *known, uint64_t size, uint64_t digest);

// 1 when a rescan after lost notices (since: the time from which they were lost) must read the
// file it found with this size and time written. Without reading it trusts a version scanned
// TIME_STEP or more after it was written, and one seen so, before since. known may be null.
int RescanWants(const VersionRecord *known, uint64_t size, uint64_t written, uint64_t since);

// SipHash-2-4 of count bytes with key: a 64-bit digest that whoever writes files cannot match
// with other bytes without the key.
uint64_t ContentDigest(const uint64_t key[2], const unsigned char *bytes, size_t count);

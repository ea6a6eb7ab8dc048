// The structure of a ZIP archive held in memory: its end record and central directory, read into
// entries, and the check that no two entries share their bytes. No windows.h: built natively for
// the unit tests and fuzzing.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr uint32_t ZIP_LOCAL_SIGNATURE = 0x04034b50;
constexpr uint32_t ZIP_CENTRAL_SIGNATURE = 0x02014b50;
constexpr uint32_t ZIP_END_SIGNATURE = 0x06054b50;
constexpr size_t ZIP_LOCAL_SIZE = 30;
constexpr size_t ZIP_CENTRAL_SIZE = 46;
constexpr size_t ZIP_END_SIZE = 22;
constexpr size_t ZIP_MAX_COMMENT = 65535;

inline uint32_t ZipRead16(const unsigned char *p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8);
}

inline uint32_t ZipRead32(const unsigned char *p)
{
    return ZipRead16(p) | (ZipRead16(p + 2) << 16);
}

// One entry of the central directory, as far as reading its member needs.
struct ZipDirectoryEntry {
    const unsigned char *record;   // the directory record; its name follows it
    uint32_t flags;
    uint32_t method;
    uint32_t packed;
    uint32_t nameLength;
    size_t localOffset;
    size_t dataStart;              // 0 when no local header lies at localOffset
    int folder;
};

// The end of central directory record, searched for back over a comment. -1 when none.
long FindZipEnd(const unsigned char *zip, size_t size);

// Reads count directory entries from at up to end into entries, up to the first broken one; 1 when
// all were whole.
int ReadZipDirectory(const unsigned char *zip, size_t size, uint32_t count, size_t at, size_t end,
                     std::vector<ZipDirectoryEntry> *entries);

// 1 when two members' stretches (local header and data) share a byte: the same bytes would be
// inflated again and again for entries that cost nothing in the directory.
int ZipEntriesOverlap(const std::vector<ZipDirectoryEntry> &entries, size_t size);

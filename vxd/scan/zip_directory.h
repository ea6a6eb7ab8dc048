// The structure of a ZIP archive held in memory: its end record, where the archive begins (after
// any bytes in front of it), its central directory read into entries, and the check that no two
// entries share their bytes. No windows.h: built natively for the unit tests and fuzzing.
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
constexpr size_t ZIP_END_SEARCH = ZIP_END_SIZE + ZIP_MAX_COMMENT;   // the end record lies in the last
                                                                    // this many bytes, comment and all
constexpr size_t ZIP_MAX_ENTRIES = 65535;   // more than an end record without ZIP64 can count

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

// The end of central directory record, searched for back from the end over a comment that must
// fit before the end (in the last ZIP_END_SEARCH bytes). -1 when none.
long FindZipEnd(const unsigned char *zip, size_t size);

// Where the archive whose end record lies at end begins in zip (*start): bytes in front of it, such
// as a self-extracting program, shift every offset its directory holds. The directory really lies
// just before the end record, at end - directorySize, and the offset it claims tells how much lies
// in front. When no directory record lies there but one lies where the offset says (bytes between
// the directory and the end record), the archive is taken as it claims, unshifted. 0 when the
// directory would reach beyond the end record.
int FindZipStart(const unsigned char *zip, size_t end, uint32_t directorySize, uint32_t directoryOffset,
                 size_t *start);

// Walks the directory from at to end (its size) into entries, record by record, whatever the end
// record counts; 1 when its records fill it exactly, 0 at the first broken one or past
// ZIP_MAX_ENTRIES (the entries before are kept).
int ReadZipDirectory(const unsigned char *zip, size_t size, size_t at, size_t end, std::vector<ZipDirectoryEntry> *entries);

// 1 when two members' stretches (local header and data) share a byte: the same bytes would be
// inflated again and again for entries that cost nothing in the directory.
int ZipEntriesOverlap(const std::vector<ZipDirectoryEntry> &entries, size_t size);

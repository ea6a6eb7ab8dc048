// The structure of a ZIP archive held in memory: where its directory is, and its entries.
#include "vxd/scan/zip_directory.h"

#include <algorithm>
#include <cstring>
#include <utility>

long FindZipEnd(const unsigned char *zip, size_t size)
{
    if (zip == nullptr || size < ZIP_END_SIZE)
        return -1;
    // Forward to the last record that fits: memchr passes over the bytes that cannot begin one
    // faster than a look at each, and most files searched hold none.
    size_t lowest = size > ZIP_END_SEARCH ? size - ZIP_END_SEARCH : 0;
    const unsigned char *last = zip + size - ZIP_END_SIZE;
    long found = -1;
    for (const unsigned char *p = zip + lowest; p <= last; p++) {
        p = static_cast<const unsigned char *>(std::memchr(p, 'P', static_cast<size_t>(last - p) + 1));
        if (p == nullptr)
            break;
        size_t at = static_cast<size_t>(p - zip);
        if (ZipRead32(p) == ZIP_END_SIGNATURE && at + ZIP_END_SIZE + ZipRead16(p + 20) <= size)
            found = static_cast<long>(at);
    }
    return found;
}

static int CentralAt(const unsigned char *zip, size_t at, size_t end)
{
    return at + 4 <= end && ZipRead32(zip + at) == ZIP_CENTRAL_SIGNATURE;
}

int FindZipStart(const unsigned char *zip, size_t end, uint32_t directorySize, uint32_t directoryOffset,
                 size_t *start)
{
    if (directorySize > end || end - directorySize < directoryOffset)
        return 0;   // bytes missing: the directory would reach beyond the end record
    *start = end - directorySize - directoryOffset;
    if (*start > 0 && !CentralAt(zip, end - directorySize, end) && CentralAt(zip, directoryOffset, end))
        *start = 0;
    return 1;
}

int ReadZipDirectory(const unsigned char *zip, size_t size, size_t at, size_t end, std::vector<ZipDirectoryEntry> *entries)
{
    while (at < end) {
        if (entries->size() >= ZIP_MAX_ENTRIES || at + ZIP_CENTRAL_SIZE > end || ZipRead32(zip + at) != ZIP_CENTRAL_SIGNATURE)
            return 0;
        const unsigned char *c = zip + at;
        ZipDirectoryEntry e = {c, ZipRead16(c + 8), ZipRead16(c + 10), ZipRead32(c + 20), ZipRead16(c + 28), ZipRead32(c + 42), 0, 0};
        size_t entrySize = ZIP_CENTRAL_SIZE + e.nameLength + ZipRead16(c + 30) + ZipRead16(c + 32);
        if (at + entrySize > end)
            return 0;
        at += entrySize;
        e.folder = e.nameLength > 0 && (c[ZIP_CENTRAL_SIZE + e.nameLength - 1] == '/' || c[ZIP_CENTRAL_SIZE + e.nameLength - 1] == '\\');
        if (static_cast<uint64_t>(e.localOffset) + ZIP_LOCAL_SIZE <= size && ZipRead32(zip + e.localOffset) == ZIP_LOCAL_SIGNATURE) {
            const unsigned char *local = zip + e.localOffset;
            e.dataStart = e.localOffset + ZIP_LOCAL_SIZE + ZipRead16(local + 26) + ZipRead16(local + 28);
        }
        entries->push_back(e);
    }
    return 1;
}

int ZipEntriesOverlap(const std::vector<ZipDirectoryEntry> &entries, size_t size)
{
    std::vector<std::pair<size_t, size_t>> spans;
    for (const ZipDirectoryEntry &e : entries) {
        if (!e.folder && e.dataStart != 0 && static_cast<uint64_t>(e.dataStart) + e.packed <= size)
            spans.push_back({e.localOffset, e.dataStart + e.packed});
    }
    std::sort(spans.begin(), spans.end());
    size_t reach = 0;
    for (size_t i = 0; i < spans.size(); i++) {
        if (i > 0 && spans[i].first < reach)
            return 1;
        reach = std::max(reach, spans[i].second);
    }
    return 0;
}

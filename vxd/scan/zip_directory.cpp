// The structure of a ZIP archive held in memory: where its directory is, and its entries.
#include "vxd/scan/zip_directory.h"

#include <algorithm>
#include <utility>

long FindZipEnd(const unsigned char *zip, size_t size)
{
    if (size < ZIP_END_SIZE)
        return -1;
    size_t lowest = size - ZIP_END_SIZE > ZIP_MAX_COMMENT ? size - ZIP_END_SIZE - ZIP_MAX_COMMENT : 0;
    for (size_t at = size - ZIP_END_SIZE + 1; at-- > lowest;) {
        if (ZipRead32(zip + at) == ZIP_END_SIGNATURE && at + ZIP_END_SIZE + ZipRead16(zip + at + 20) <= size)
            return static_cast<long>(at);
    }
    return -1;
}

int ReadZipDirectory(const unsigned char *zip, size_t size, uint32_t count, size_t at, size_t end,
                     std::vector<ZipDirectoryEntry> *entries)
{
    entries->reserve(count);
    for (uint32_t i = 0; i < count; i++) {
        if (at + ZIP_CENTRAL_SIZE > end || ZipRead32(zip + at) != ZIP_CENTRAL_SIGNATURE)
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


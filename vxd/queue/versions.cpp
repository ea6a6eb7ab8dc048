// The versions of files scanned lately, by name: a file is scanned again only when its size or
// its time written has changed.
#include "vxd/queue/versions.h"

#include <string>
#include <unordered_map>

#include "vxd/common/text.h"

constexpr size_t SCANNED_VERSIONS = 65536;  // versions remembered before the memory starts afresh

// One version of a file.
struct FileVersion {
    uint64_t size;
    FILETIME written;
};

static std::unordered_map<std::wstring, FileVersion> scannedVersions;

int ScannedLately(const wchar_t *path, uint64_t size, FILETIME written)
{
    std::wstring key = NameKey(path);
    auto known = scannedVersions.find(key);
    if (known != scannedVersions.end() && known->second.size == size
        && CompareFileTime(&known->second.written, &written) == 0)
        return 1;
    if (scannedVersions.size() >= SCANNED_VERSIONS)
        scannedVersions.clear();
    scannedVersions[key] = {size, written};
    return 0;
}

void NoteScanned(const wchar_t *path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExW(path, GetFileExInfoStandard, &data))
        ScannedLately(path, (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow, data.ftLastWriteTime);
}

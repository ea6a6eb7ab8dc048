// Access denied: the files held open without sharing until the process ends, known by their
// identity under the name they were held by.
#include "vxd/act/held.h"

#include <string>
#include <unordered_map>

#include "vxd/act/identity.h"
#include "vxd/common/open_file.h"
#include "vxd/common/text.h"
#include "vxd/config/config.h"

// By name key: the file held under that name. A name may have held several files in turn (its
// folder renamed away and made again): each stays held, and only the one at the name now counts.
static std::unordered_multimap<std::wstring, FileIdentity> heldFiles;

// The file at path now; not known when there is none. Opened for its attributes only, which a
// file held without sharing still allows.
static FileIdentity FileAt(const wchar_t *path)
{
    DWORD error = 0;
    HANDLE file = OpenFileToScan(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 &error);
    if (file == INVALID_HANDLE_VALUE)
        return {0, 0, 0, 0};
    FileIdentity identity = IdentityOf(file);
    CloseHandle(file);
    return identity;
}

int IsHeld(const wchar_t *path)
{
    if (heldFiles.empty())
        return 0;
    auto range = heldFiles.equal_range(NameKey(path));
    if (range.first == range.second)
        return 0;
    FileIdentity now = FileAt(path);
    for (auto it = range.first; it != range.second; ++it) {
        if (SameFile(now, it->second))
            return 1;
    }
    return 0;
}

int Hold(const wchar_t *path, HANDLE file)
{
    if (heldFiles.size() >= config.heldRoom) {   // HeldRoom (4096): more are journalled and reported
        CloseHandle(file);
        SetLastError(ERROR_TOO_MANY_OPEN_FILES);
        return 0;
    }
    heldFiles.emplace(NameKey(path), IdentityOf(file));   // the handle itself is never closed
    return 1;
}

int Deny(const wchar_t *path, const ScannedFile &scanned)
{
    if (IsHeld(path))
        return 1;
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = 0;
    return OpenScanned(path, scanned, GENERIC_READ, &file, &error) == OPENED && Hold(path, file);
}

int DenyRemaining(const wchar_t *path, const ScannedFile &scanned, HANDLE file)
{
    if (IsHeld(path))
        return 1;
    return file != INVALID_HANDLE_VALUE ? Hold(path, file) : Deny(path, scanned);
}

// Access denied: the files held open without sharing until the process ends.
#include "vxd/act/held.h"

#include <string>
#include <unordered_set>

#include "vxd/act/identity.h"
#include "vxd/common/text.h"

constexpr size_t HELD_FILES_MAX = 4096;     // files held open at most; more are journalled

static std::unordered_set<std::wstring> heldFiles;

int IsHeld(const wchar_t *path)
{
    if (heldFiles.empty())
        return 0;
    return heldFiles.count(NameKey(path)) != 0;
}

int Hold(const wchar_t *path, HANDLE file)
{
    if (heldFiles.size() >= HELD_FILES_MAX) {
        CloseHandle(file);
        SetLastError(ERROR_TOO_MANY_OPEN_FILES);
        return 0;
    }
    heldFiles.insert(NameKey(path));   // the handle itself is never closed
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

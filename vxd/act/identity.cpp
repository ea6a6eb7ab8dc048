// Opening the file scanned for an action, and knowing it is still that file.
#include "vxd/act/identity.h"

#include "vxd/common/open_file.h"

int OpenScanned(const wchar_t *path, const ScannedFile &scanned, DWORD access, HANDLE *file, DWORD *error)
{
    *file = OpenFileToScan(path, access, 0, error);
    if (*file == INVALID_HANDLE_VALUE) {
        if (*error == ERROR_FILE_NOT_FOUND || *error == ERROR_PATH_NOT_FOUND)
            return GONE;
        return *error == ERROR_SHARING_VIOLATION || *error == ERROR_LOCK_VIOLATION ? REFUSED : FAILED;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(*file, &info) || !SameScannedFile(ScannedFileOf(info), scanned)) {
        CloseHandle(*file);
        *file = INVALID_HANDLE_VALUE;
        return CHANGED;
    }
    return OPENED;
}

int StillThere(const wchar_t *path, const ScannedFile &scanned)
{
    DWORD error = 0;
    HANDLE file = OpenFileToScan(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &error);
    if (file == INVALID_HANDLE_VALUE)
        return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
    BY_HANDLE_FILE_INFORMATION info;
    int same = GetFileInformationByHandle(file, &info) && SameScannedFile(ScannedFileOf(info), scanned);
    CloseHandle(file);
    return same;
}

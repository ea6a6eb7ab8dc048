// Renames, removals and copies through the handle an action opened and checked.
#include "vxd/act/through_handle.h"

#include <winternl.h>

#include <cwchar>
#include <string>
#include <vector>

#include "vxd/act/identity.h"
#include "vxd/common/names.h"
#include "vxd/common/text.h"
#include "vxd/options/scan_rules.h"

extern "C" ULONG NTAPI RtlNtStatusToDosError(NTSTATUS status);

constexpr unsigned FREE_NAME_ATTEMPTS = 1000;
constexpr NTSTATUS NAME_COLLISION = static_cast<NTSTATUS>(0xC0000035);
constexpr NTSTATUS NOT_SAME_DEVICE = static_cast<NTSTATUS>(0xC00000D4);

// The NT name of a Win32 path: "\??\C:\...", "\??\UNC\server\...".
static std::wstring NtName(const wchar_t *path)
{
    if (path[0] == L'\\' && path[1] == L'\\' && path[2] == L'?' && path[3] == L'\\')
        return std::wstring(L"\\??\\") + (path + 4);
    if (path[0] == L'\\' && path[1] == L'\\')
        return std::wstring(L"\\??\\UNC\\") + (path + 2);
    return std::wstring(L"\\??\\") + path;
}

static NTSTATUS RenameThrough(HANDLE file, const wchar_t *target)
{
    std::wstring name = NtName(target);
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFORMATION) + name.size() * sizeof(wchar_t));
    FILE_RENAME_INFORMATION *rename = reinterpret_cast<FILE_RENAME_INFORMATION *>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<ULONG>(name.size() * sizeof(wchar_t));
    memcpy(rename->FileName, name.data(), name.size() * sizeof(wchar_t));
    IO_STATUS_BLOCK status;
    return NtSetInformationFile(file, &status, rename, static_cast<ULONG>(buffer.size()), FileRenameInformation);
}

// Marks the file open as file to be deleted when it is closed (no one else has it open).
static NTSTATUS DisposeThrough(HANDLE file)
{
    FILE_DISPOSITION_INFORMATION disposition = {TRUE};
    IO_STATUS_BLOCK status;
    return NtSetInformationFile(file, &status, &disposition, sizeof disposition, FileDispositionInformation);
}

DWORD Remove(const wchar_t *path, const ScannedFile &scanned, HANDLE *file)
{
    NTSTATUS status = DisposeThrough(*file);
    if (status != 0)
        return RtlNtStatusToDosError(status);
    CloseHandle(*file);
    *file = INVALID_HANDLE_VALUE;
    return StillThere(path, scanned) ? ERROR_ACCESS_DENIED : 0;
}

// Copies the file open as file, from its start, into a new file target that takes the time
// written of the original. 0, or the error; ERROR_FILE_EXISTS when target is taken.
static DWORD CopyThrough(HANDLE file, const wchar_t *target, FILETIME written)
{
    // The exact name: Win32 would drop a trailing dot, and write "nul.com" to the device.
    std::wstring exact;
    if (!LongForm(target, wcslen(target), &exact))
        return ERROR_FILENAME_EXCED_RANGE;
    HANDLE copy = CreateFileW(exact.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (copy == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_ALREADY_EXISTS ? ERROR_FILE_EXISTS : GetLastError();
    DWORD error = SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ? GetLastError() : 0;
    static unsigned char chunk[64 * 1024];
    for (DWORD got = 1; error == 0 && got > 0;) {
        DWORD put = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr) || (got > 0 && (!WriteFile(copy, chunk, got, &put, nullptr) || put != got)))
            error = GetLastError() != 0 ? GetLastError() : ERROR_WRITE_FAULT;
    }
    if (error == 0 && !SetFileTime(copy, nullptr, nullptr, &written))
        error = GetLastError();
    CloseHandle(copy);
    if (error != 0)
        DeleteFileW(exact.c_str());
    return error;
}

int MoveToFreeName(HANDLE file, const wchar_t *target, FILETIME written, std::wstring *moved, DWORD *error)
{
    // A name may be as long as the system takes: the buffers are not the stack's.
    std::vector<char> utf8(UTF8_PATH), candidate(UTF8_PATH);
    std::vector<wchar_t> wide(WIDE_PATH);
    if (!WideToUtf8(target, utf8.data(), utf8.size())) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return MOVE_FAILED;
    }
    int copy = 0;
    for (unsigned n = 0; n < FREE_NAME_ATTEMPTS; n++) {
        if (!FreeNameCandidate(utf8.data(), n, candidate.data(), candidate.size())
            || !Utf8ToWide(candidate.data(), wide.data(), wide.size())) {
            *error = ERROR_FILENAME_EXCED_RANGE;
            return MOVE_FAILED;
        }
        *moved = wide.data();
        if (!copy) {
            NTSTATUS status = RenameThrough(file, moved->c_str());
            if (status == 0)
                return MOVE_RENAMED;
            if (status == NAME_COLLISION)
                continue;
            if (status != NOT_SAME_DEVICE) {
                *error = RtlNtStatusToDosError(status);
                return MOVE_FAILED;
            }
            copy = 1;
        }
        *error = CopyThrough(file, moved->c_str(), written);
        if (*error == 0)
            return MOVE_COPIED;
        if (*error != ERROR_FILE_EXISTS)
            return MOVE_FAILED;
    }
    *error = ERROR_FILE_EXISTS;
    return MOVE_FAILED;
}

// Opening by the exact name, and by the file's identity when Win32 cannot take the name.
#include "vxd/common/open_file.h"

#include <cstddef>
#include <cstring>
#include <string>

#include "vxd/common/exact_name.h"
#include "vxd/common/names.h"
#include "vxd/common/platform.h"
#include "vxd/common/text.h"

extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE file, HANDLE event, PVOID apc, PVOID apcContext, PIO_STATUS_BLOCK io,
                                               PVOID buffer, ULONG length, FILE_INFORMATION_CLASS kind, BOOLEAN single,
                                               PUNICODE_STRING mask, BOOLEAN restart);
extern "C" ULONG NTAPI RtlNtStatusToDosError(NTSTATUS status);

constexpr NTSTATUS NO_MORE_FILES = static_cast<NTSTATUS>(0x80000006);
constexpr NTSTATUS NO_SUCH_FILE = static_cast<NTSTATUS>(0xC000000F);
constexpr ULONG LISTING_BYTES = 64 * 1024;      // read at once from a listing
constexpr DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD LIST_ACCESS = FILE_LIST_DIRECTORY | SYNCHRONIZE;

enum { ANY_KIND, FILE_KIND, FOLDER_KIND };

// The first length characters of path opened by their long form.
static HANDLE OpenLong(const wchar_t *path, size_t length, DWORD access, DWORD share, int kind, DWORD *error)
{
    std::wstring name;
    if (!LongForm(path, length, &name)) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return INVALID_HANDLE_VALUE;
    }
    DWORD flags = kind == FILE_KIND ? FILE_ATTRIBUTE_NORMAL : FILE_FLAG_BACKUP_SEMANTICS;
    HANDLE handle = CreateFileW(name.c_str(), access, share, nullptr, OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        *error = GetLastError();
    return handle;
}

int ListEntries(HANDLE folder, const wchar_t *mask, EntryVisit visit, void *context, DWORD *error)
{
    // One listing at a time, on the scan thread: its buffer is part of the driver's image, not
    // memory taken (and the heap grown) anew for each folder. Entries lie on 8-byte bounds.
    static LONGLONG buffer[LISTING_BYTES / sizeof(LONGLONG)];
    UNICODE_STRING maskString = {};
    if (mask != nullptr) {
        maskString.Buffer = const_cast<wchar_t *>(mask);
        maskString.Length = maskString.MaximumLength = static_cast<USHORT>(std::wcslen(mask) * sizeof(wchar_t));
    }
    for (BOOLEAN first = TRUE;; first = FALSE) {
        IO_STATUS_BLOCK io;
        NTSTATUS status = NtQueryDirectoryFile(folder, nullptr, nullptr, nullptr, &io, buffer, LISTING_BYTES,
                                               FileIdBothDirectoryInformation, FALSE,
                                               first && mask != nullptr ? &maskString : nullptr, first);
        if (status == NO_MORE_FILES || status == NO_SUCH_FILE)
            return 1;
        if (status != 0) {
            *error = RtlNtStatusToDosError(status);
            return 0;
        }
        const unsigned char *bytes = reinterpret_cast<const unsigned char *>(buffer);
        for (ULONG offset = 0; offset + offsetof(FILE_ID_BOTH_DIR_INFORMATION, FileName) <= io.Information;) {
            const FILE_ID_BOTH_DIR_INFORMATION &entry = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFORMATION *>(bytes + offset);
            ULONG length = entry.FileNameLength / sizeof(wchar_t);
            int dots = (length == 1 && entry.FileName[0] == L'.') || (length == 2 && entry.FileName[0] == L'.' && entry.FileName[1] == L'.');
            if (!dots && !visit(entry, context))
                return 1;
            if (entry.NextEntryOffset == 0)
                break;
            offset += entry.NextEntryOffset;
        }
    }
}

// What a look for the next step of a path below a folder found.
struct Look {
    const wchar_t *rest;        // the path below the folder
    size_t restLength;
    size_t shortestFolder;      // folders on the way with shorter names are not taken
    int found;                  // 1 when an entry is named rest
    LONGLONG exact;             // ... its identity (0 on file systems without one)
    std::wstring exactShort;    // ... and its short name
    LONGLONG folder;            // the folder on the way whose name takes most of rest; 0 when none
    size_t folderLength;        // ... and the length of that name
};

static int LookAtEntry(const FILE_ID_BOTH_DIR_INFORMATION &entry, void *context)
{
    Look *look = static_cast<Look *>(context);
    size_t length = entry.FileNameLength / sizeof(wchar_t);
    if (length > look->restLength || std::memcmp(entry.FileName, look->rest, length * sizeof(wchar_t)) != 0)
        return 1;   // the mask lists names alike without regard to case; only the exact name counts
    if (length == look->restLength) {
        look->found = 1;
        look->exact = entry.FileId.QuadPart;
        look->exactShort.assign(entry.ShortName, static_cast<size_t>(entry.ShortNameLength) / sizeof(wchar_t));
        return 0;
    }
    DWORD attributes = entry.FileAttributes;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT) && look->rest[length] == L'\\'
        && length >= look->shortestFolder && length > look->folderLength) {
        look->folder = entry.FileId.QuadPart;
        look->folderLength = length;
    }
    return 1;
}

// Opens the entry named name (length bytes: its identity with FILE_OPEN_BY_FILE_ID among options)
// in the folder open as folder.
static HANDLE OpenRelative(HANDLE folder, void *name, USHORT length, ULONG options, DWORD access, DWORD share, int kind,
                           DWORD *error)
{
    UNICODE_STRING nameString = {length, length, static_cast<wchar_t *>(name)};
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &nameString, 0, folder, nullptr);
    options |= FILE_SYNCHRONOUS_IO_NONALERT;
    if (kind == FILE_KIND)
        options |= FILE_NON_DIRECTORY_FILE;
    else if (kind == FOLDER_KIND)
        options |= FILE_DIRECTORY_FILE;
    HANDLE handle = nullptr;
    IO_STATUS_BLOCK io;
    // CreateFileW asks for these two with every access.
    NTSTATUS status = NtCreateFile(&handle, access | FILE_READ_ATTRIBUTES | SYNCHRONIZE, &attributes, &io, nullptr, 0,
                                   share, FILE_OPEN, options, nullptr, 0);
    if (status == 0)
        return handle;
    *error = RtlNtStatusToDosError(status);
    return INVALID_HANDLE_VALUE;
}

static HANDLE OpenById(HANDLE folder, LONGLONG id, DWORD access, DWORD share, int kind, DWORD *error)
{
    return OpenRelative(folder, &id, sizeof id, FILE_OPEN_BY_FILE_ID, access, share, kind, error);
}

// The entry a look found, by its identity, or by its short name where the file system keeps no
// identity.
static HANDLE OpenFound(HANDLE folder, Look *look, DWORD access, DWORD share, int kind, DWORD *error)
{
    if (look->exact != 0 || look->exactShort.empty())
        return OpenById(folder, look->exact, access, share, kind, error);
    return OpenRelative(folder, &look->exactShort[0], static_cast<USHORT>(look->exactShort.size() * sizeof(wchar_t)), 0,
                        access, share, kind, error);
}

// 1 when a folder on the way to a name did not open because nothing has that name: the name may
// be one that only a listing of the folder above reaches (or the folder is gone).
static int MissingOnTheWay(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME
           || error == ERROR_BAD_PATHNAME || error == ERROR_DIRECTORY;
}

// The deepest folder above path[0, *cut) that opens by its long form; *cut is left at the
// backslash after it. INVALID_HANDLE_VALUE with *error set when there is none, or when one is
// there but does not open.
static HANDLE OpenFolderAbove(const wchar_t *path, size_t *cut, DWORD *error)
{
    while (*cut > 0) {
        size_t at = *cut - 1;
        while (at > 0 && path[at] != L'\\')
            at--;
        if (at == 0 || path[at] != L'\\')
            break;
        *cut = at;
        size_t length = at == 2 && path[1] == L':' ? 3 : at;   // "C:" is taken as "C:\"
        HANDLE folder = OpenLong(path, length, LIST_ACCESS, SHARE_ALL, FOLDER_KIND, error);
        if (folder != INVALID_HANDLE_VALUE || !MissingOnTheWay(*error))
            return folder;
        if (length == 3)
            break;
    }
    *error = ERROR_PATH_NOT_FOUND;
    return INVALID_HANDLE_VALUE;
}

// Reaches rest below the folder open as folder (closed here) listing each folder on the way for
// the exact name that follows, folders with names shorter than shortestFolder left out, and opens
// what it names by its identity there. ERROR_FILE_NOT_FOUND when no such name is there.
static HANDLE Descend(HANDLE folder, const wchar_t *rest, size_t shortestFolder, DWORD access, DWORD share, int kind,
                      DWORD *error)
{
    while (folder != INVALID_HANDLE_VALUE) {
        Look look = {rest, std::wcslen(rest), shortestFolder, 0, 0, {}, 0, 0};
        std::wstring mask = ListingMask(rest);
        int listed = ListEntries(folder, mask.c_str(), LookAtEntry, &look, error);
        HANDLE next = INVALID_HANDLE_VALUE;
        if (listed && look.found) {
            next = OpenFound(folder, &look, access, share, kind, error);
            CloseHandle(folder);
            return next;
        }
        if (listed && look.folder != 0) {
            next = OpenById(folder, look.folder, LIST_ACCESS, SHARE_ALL, FOLDER_KIND, error);
            rest += look.folderLength + 1;
            shortestFolder = 0;
        } else if (listed) {
            *error = ERROR_FILE_NOT_FOUND;
        }
        CloseHandle(folder);
        folder = next;
    }
    return INVALID_HANDLE_VALUE;
}

// Reaches path by listing: first from the deepest folder above it that opens by its long form
// (unless parentLooked: Win32 found the folder path lies in, and no such name there), then from the
// folder above that one, where the first part of the name may be a name of its own (written by
// another system: "e\\f.com" beside a folder "e"). Two listings when nothing is found.
static HANDLE OpenByListing(const wchar_t *path, int parentLooked, DWORD access, DWORD share, int kind, DWORD *error)
{
    size_t cut = std::wcslen(path);
    if (parentLooked) {
        const wchar_t *last = std::wcsrchr(path, L'\\');
        cut = last != nullptr ? static_cast<size_t>(last - path) : 0;
    } else {
        HANDLE folder = OpenFolderAbove(path, &cut, error);
        if (folder == INVALID_HANDLE_VALUE)
            return folder;
        HANDLE handle = Descend(folder, path + cut + 1, 0, access, share, kind, error);
        if (handle != INVALID_HANDLE_VALUE || *error != ERROR_FILE_NOT_FOUND)
            return handle;
    }
    // Only names longer than the folder's own name are followed from above: that one was looked in.
    size_t below = cut;
    HANDLE folder = OpenFolderAbove(path, &cut, error);
    HANDLE handle = Descend(folder, path + cut + 1, below - cut, access, share, kind, error);
    if (handle == INVALID_HANDLE_VALUE && OpenFailure(*error) != OPEN_LATER)
        *error = ERROR_FILE_NOT_FOUND;   // nothing more is known than that the name is not there
    return handle;
}

// path opened by its long form, or by listing the folders above it when the error says a name
// that is there may be one the long form cannot take.
static HANDLE OpenExact(const wchar_t *path, DWORD access, DWORD share, int kind, DWORD *error)
{
    static const int wine = RunsOnWine();
    HANDLE handle = OpenLong(path, std::wcslen(path), access, share, kind, error);
    if (handle != INVALID_HANDLE_VALUE && wine && kind != FOLDER_KIND && !NamedExactly(handle, path)) {
        CloseHandle(handle);
        *error = ERROR_FILE_NOT_FOUND;   // another file, whose name differs only in case
        return INVALID_HANDLE_VALUE;
    }
    if (handle != INVALID_HANDLE_VALUE)
        return handle;
    if (MayReachByListing(path, *error))
        return OpenByListing(path, 0, access, share, kind, error);
    // Only another system writes a backslash into a name: on Windows a name not found is gone.
    if (*error == ERROR_FILE_NOT_FOUND && wine)
        return OpenByListing(path, 1, access, share, kind, error);
    return handle;
}

HANDLE OpenFileToScan(const wchar_t *path, DWORD access, DWORD share, DWORD *error)
{
    return OpenExact(path, access, share, FILE_KIND, error);
}

HANDLE OpenFolderToList(const wchar_t *path, DWORD *error)
{
    return OpenExact(path, LIST_ACCESS, SHARE_ALL, FOLDER_KIND, error);
}

DWORD AttributesOf(const wchar_t *path, DWORD *error)
{
    std::wstring name;
    if (!LongForm(path, std::wcslen(path), &name)) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return attributes;
    *error = GetLastError();
    if (!MayReachByListing(path, *error))
        return INVALID_FILE_ATTRIBUTES;
    HANDLE handle = OpenByListing(path, 0, FILE_READ_ATTRIBUTES, SHARE_ALL, ANY_KIND, error);
    if (handle == INVALID_HANDLE_VALUE)
        return INVALID_FILE_ATTRIBUTES;
    BY_HANDLE_FILE_INFORMATION info;
    attributes = GetFileInformationByHandle(handle, &info) ? info.dwFileAttributes : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES)
        *error = GetLastError();
    CloseHandle(handle);
    return attributes;
}

// Rules for the names the file system holds, whatever Win32 would make of them.
#include "vxd/common/names.h"

#include <cwchar>

// The Win32 errors these rules read (winerror.h).
enum : unsigned long {
    INVALID_FUNCTION = 1, FILE_NOT_FOUND = 2, PATH_NOT_FOUND = 3, ACCESS_DENIED = 5, INVALID_DRIVE = 15,
    NOT_SUPPORTED = 50, BAD_NETPATH = 53, BAD_NET_NAME = 67, INVALID_PARAMETER = 87, INVALID_NAME = 123,
    BAD_PATHNAME = 161, FILENAME_EXCED_RANGE = 206, DIRECTORY = 267, CANT_ACCESS_FILE = 1920,
    CANT_RESOLVE_FILENAME = 1921,
};

int LongForm(const wchar_t *path, size_t length, std::wstring *out)
{
    const wchar_t *prefix = nullptr;
    size_t skip = 0;
    if (length >= 4 && path[0] == L'\\' && path[1] == L'\\' && (path[2] == L'?' || path[2] == L'.') && path[3] == L'\\') {
        prefix = L"";
    } else if (length >= 3 && path[1] == L':' && path[2] == L'\\') {
        prefix = L"\\\\?\\";
    } else if (length >= 3 && path[0] == L'\\' && path[1] == L'\\') {
        prefix = L"\\\\?\\UNC\\";
        skip = 2;
    } else {
        return 0;
    }
    size_t total = std::wcslen(prefix) + length - skip;
    if (total > LONG_PATH_CHARS)
        return 0;
    out->assign(prefix);
    out->append(path + skip, length - skip);
    return 1;
}

// 1 for a character Win32 refuses in a name: a mask would read it as a wildcard, or it separates a
// stream or a pipe, or it is a control character.
static int RefusedInName(wchar_t c)
{
    return c < 32 || c == L'*' || c == L'?' || c == L'<' || c == L'>' || c == L'"' || c == L'|' || c == L':';
}

int MayReachByListing(const wchar_t *path, unsigned long error)
{
    if (error == INVALID_NAME || error == BAD_PATHNAME || error == PATH_NOT_FOUND || error == DIRECTORY)
        return 1;
    if (error != FILE_NOT_FOUND)
        return 0;
    // Asked for such a name, Win32 answers as for one that is not there.
    const wchar_t *name = std::wcsrchr(path, L'\\');
    for (const wchar_t *p = name != nullptr ? name + 1 : path; *p; p++) {
        if (RefusedInName(*p))
            return 1;
    }
    return 0;
}

std::wstring ListingMask(const wchar_t *rest)
{
    std::wstring mask;
    for (const wchar_t *p = rest; *p && *p != L'\\' && !RefusedInName(*p); p++)
        mask.push_back(*p);
    mask.push_back(L'*');
    return mask;
}

int OpenFailure(unsigned long error)
{
    switch (error) {
    case FILE_NOT_FOUND: case PATH_NOT_FOUND: case INVALID_DRIVE: case BAD_NETPATH: case BAD_NET_NAME:
        return OPEN_GONE;
    case ACCESS_DENIED: case INVALID_FUNCTION: case NOT_SUPPORTED: case INVALID_PARAMETER: case INVALID_NAME:
    case BAD_PATHNAME: case FILENAME_EXCED_RANGE: case DIRECTORY: case CANT_ACCESS_FILE: case CANT_RESOLVE_FILENAME:
        return OPEN_NEVER;
    }
    return OPEN_LATER;
}

const char *OpenFailureReason(unsigned long error)
{
    switch (error) {
    case ACCESS_DENIED:
        return "access denied";
    case FILENAME_EXCED_RANGE:
        return "the path is longer than the system takes";
    case INVALID_NAME: case BAD_PATHNAME: case DIRECTORY:
        return "the name opens neither as it is nor by the file's identity";
    case CANT_ACCESS_FILE: case CANT_RESOLVE_FILENAME:
        return "a link that leads nowhere";
    }
    return "not a file that can be read";
}

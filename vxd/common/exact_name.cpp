// Under Wine, a file's own name asked of the file system, to tell it from a name that differs only
// in case.
#include "vxd/common/exact_name.h"

#include <winternl.h>

#include <cwchar>
#include <string>

#include "vxd/common/names.h"
#include "vxd/common/text.h"

// The last name of path (length characters), as Wine gives a file's name: without the trailing
// dots and blanks.
static std::wstring LastName(const wchar_t *path, size_t length)
{
    size_t end = length;
    while (end > 0 && (path[end - 1] == L'.' || path[end - 1] == L' '))
        end--;
    size_t start = end;
    while (start > 0 && path[start - 1] != L'\\')
        start--;
    return std::wstring(path + start, end - start);
}

int NamedExactly(HANDLE handle, const wchar_t *path)
{
    static ULONG buffer[(sizeof(ULONG) + LONG_PATH_CHARS * sizeof(wchar_t)) / sizeof(ULONG) + 1];   // scan thread
    IO_STATUS_BLOCK io;
    FILE_NAME_INFORMATION *info = reinterpret_cast<FILE_NAME_INFORMATION *>(buffer);
    if (NtQueryInformationFile(handle, &io, info, sizeof buffer, FileNameInformation) != 0)
        return 1;   // nothing to tell by
    std::wstring opened = LastName(info->FileName, info->FileNameLength / sizeof(wchar_t));
    std::wstring asked = LastName(path, std::wcslen(path));
    return opened == asked || NameKey(opened.c_str()) != NameKey(asked.c_str());
}

// Under Wine, whether a file opened by a name is the file of that name or another whose name
// differs only in case.
#pragma once
#include <windows.h>

// 0 when the file open as handle bears the last name of path with another case. Under Wine a
// folder written by another system tells case apart ("A.com" and "a.com" are two files), but a
// name Win32 opens that is not there is looked for without regard to case: "a.com" gone, its
// opening would reach "A.com". Any other difference is no sign of another file.
int NamedExactly(HANDLE handle, const wchar_t *path);

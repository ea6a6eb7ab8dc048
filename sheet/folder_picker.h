// The folder chooser, and the first form of the file-dialog record that both file dialogs of the
// sheet hand the common dialogs.
#pragma once
#include <windows.h>

#include <commdlg.h>

#include <cstddef>

// The record in its first form, which every version of the common dialogs accepts: the fields up
// to lpTemplateName, 76 bytes on the 32-bit build.
constexpr DWORD FILE_DIALOG_RECORD_SIZE = offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR);

// The common dialogs behind the folder chooser and the report page's Browse: GetSaveFileNameA and
// GetOpenFileNameA, or a recorder that tests put here.
extern BOOL(WINAPI *getSaveFileName)(LPOPENFILENAMEA record);
extern BOOL(WINAPI *getOpenFileName)(LPOPENFILENAMEA record);

// The chooser's own buffer for the path its dialog returns: a folder it takes has at most 519
// characters.
constexpr size_t PICKED_FOLDER_SIZE = 520;

// Opens the chooser modally over owner, in startIn ("", or a folder that cannot be entered: the
// current folder). 1 with the folder open at OK in folder (size bytes), without a trailing
// backslash ("C:" for a drive root). 0 with folder "" after Cancel or a failing dialog, or when
// the folder does not fit folder, which never takes it cut. Where the folder goes is the caller's
// business: the chooser writes nothing else.
int PickFolder(HWND owner, const char *startIn, char *folder, size_t size);
template <size_t N> inline int PickFolder(HWND owner, const char *startIn, char (&folder)[N])
{
    return PickFolder(owner, startIn, folder, N);
}

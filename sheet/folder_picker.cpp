// The folder chooser: the old-style save-file dialog with template 130, which shows only drives,
// folders and the current folder; the folder open when OK is pressed is the one taken.
#include "sheet/folder_picker.h"

#include "base/bounded.h"
#include "res/resource.h"
#include "sheet/picked_folder.h"
#include "sheet/sheet.h"

// The record's first form, as Windows 95 knows it: the 76 bytes up to lpTemplateName (on the 64-bit
// build the same fields in their 64-bit layout).
#ifdef _WIN64
static_assert(FILE_DIALOG_RECORD_SIZE == 136, "first form of the file-dialog record, 64-bit layout");
static_assert(offsetof(OPENFILENAMEA, lpstrFile) == 48 && offsetof(OPENFILENAMEA, Flags) == 96
                  && offsetof(OPENFILENAMEA, lpfnHook) == 120,
              "first form of the file-dialog record, 64-bit layout");
#else
static_assert(FILE_DIALOG_RECORD_SIZE == 76, "first form of the file-dialog record");
static_assert(offsetof(OPENFILENAMEA, lpstrFile) == 28 && offsetof(OPENFILENAMEA, Flags) == 52
                  && offsetof(OPENFILENAMEA, lpfnHook) == 68 && offsetof(OPENFILENAMEA, lpTemplateName) == 72,
              "first form of the file-dialog record");
#endif

BOOL(WINAPI *getSaveFileName)(LPOPENFILENAMEA record) = GetSaveFileNameA;
BOOL(WINAPI *getOpenFileName)(LPOPENFILENAMEA record) = GetOpenFileNameA;

static const char PICK_TITLE[] = "Select Folder";   // as in template 130
static char initialFolder[MAX_PATH];
static char pickedPath[PICKED_FOLDER_SIZE];    // the dialog's answer: a dummy file in the folder open at OK
static char pickedTitle[PICKED_FOLDER_SIZE];   // receives the file title; never read

// All the work stays with the common dialog; the hook only keeps it in its old style.
static UINT_PTR CALLBACK KeepOldStyle(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

int PickFolder(HWND owner, const char *startIn, char *folder, size_t size)
{
    if (size == 0)
        return 0;
    folder[0] = 0;
    CopyBounded(initialFolder, startIn);
    CopyBounded(pickedPath, PICK_DUMMY_NAME);

    OPENFILENAMEA record = {};
    record.lStructSize = FILE_DIALOG_RECORD_SIZE;
    record.hwndOwner = owner;
    record.hInstance = ModuleOf(owner);   // holds template 130
    record.lpstrFilter = "Report Files (*.REP)\0*.REP\0All Files (*.*)\0*.*\0";
    record.lpstrCustomFilter = nullptr;
    record.nFilterIndex = 1;
    record.lpstrFile = pickedPath;
    record.nMaxFile = sizeof pickedPath;
    record.lpstrFileTitle = pickedTitle;
    record.nMaxFileTitle = sizeof pickedTitle;
    record.lpstrInitialDir = initialFolder;
    // The template's own caption, passed again: some versions of the common dialogs (Wine's among
    // them) put "Save As" over the template's caption when no title is given.
    record.lpstrTitle = PICK_TITLE;
    // No OFN_EXPLORER: with a template or a hook that makes the dialog old-style, whose standard
    // controls template 130 rearranges. Unless asked for long names, that style shows and returns
    // 8.3 names on Windows 95/98 ("C:\PROGRA~1"), which a driver comparing the long names the file
    // system reports would never match; NT ignores the flag.
    record.Flags = OFN_HIDEREADONLY | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | OFN_NOREADONLYRETURN | OFN_LONGNAMES;
    record.lpstrDefExt = "REP";
    record.lCustData = 0;
    record.lpfnHook = KeepOldStyle;
    record.lpTemplateName = MAKEINTRESOURCEA(IDD_FOLDER_PICKER);
    // The old-style dialog moves the current folder along as the user browses; the program keeps its
    // own, as the action page's folder check does.
    char current[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(sizeof current, current);
    BOOL taken = getSaveFileName(&record);
    if (length > 0 && length < sizeof current)
        SetCurrentDirectoryA(current);
    if (!taken)
        return 0;   // Cancel or a failing dialog: nothing was taken
    pickedPath[sizeof pickedPath - 1] = 0;
    CutPickedFolder(pickedPath);
    if (!CopyBounded(folder, size, pickedPath)) {
        folder[0] = 0;   // too long for the caller: not taken rather than handed over cut
        return 0;
    }
    return 1;
}

// The sheet's dialog templates as compiled into Torvane.exe, read back from its resources and
// compared control by control (template order is the tab order) with the table they were made from.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/win/test_support.h"

namespace {

// The predefined window classes; a template names them by atom (0x80 on) or by name.
enum Kind : WORD { BUTTON = 0x80, EDIT = 0x81, STATIC = 0x82, LISTBOX = 0x83, COMBO = 0x85 };
std::string KindName(const std::string &kind)
{
    const char *names[] = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX"};
    for (int atom = 0x80; atom <= 0x85; atom++) {
        if (kind == "#" + std::to_string(atom))
            return names[atom - 0x80];
    }
    std::string upper = kind;
    for (char &c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return upper;
}

constexpr DWORD GROUP = BS_GROUPBOX, RADIO = BS_AUTORADIOBUTTON, CHECK = BS_AUTOCHECKBOX | WS_TABSTOP,
                PUSH = BS_PUSHBUTTON | WS_TABSTOP, DEFPUSH = BS_DEFPUSHBUTTON | WS_TABSTOP, TEXT = SS_LEFT,
                FIELD = ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, HIDDEN = 0x80000000u,
                VALUE = SS_RIGHT | WS_CHILD;   // WS_CHILD marks the value fields' WS_EX_RIGHT
constexpr DWORD PAGE = WS_CHILD | WS_DISABLED | WS_CAPTION | DS_SETFONT,
                MODAL = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;

struct DialogRow {
    int id;
    DWORD style;
    short x, y, cx, cy;
    const char *caption;
    const char *font;
};

const DialogRow dialogs[] = {
    {106, PAGE, 10, 0, 210, 150, "", "MS Sans Serif"},
    {107, PAGE, 0, 0, 210, 150, "", "MS Sans Serif"},
    {108, PAGE, 0, 0, 210, 150, "", "MS Sans Serif"},
    {118, MODAL, 0, 0, 137, 125, "Extensions", "MS Sans Serif"},
    {119, WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT, 0, 0, 210, 150, " Action ", "MS Sans Serif"},
    {120, PAGE, 0, 0, 210, 150, "", "MS Sans Serif"},
    {121, PAGE, 0, 0, 210, 150, " Report ", "MS Sans Serif"},
    {130, MODAL | WS_VISIBLE, 0, 0, 183, 143, "Select Folder", "Helv"},
    {132, MODAL, 0, 0, 263, 71, "Exclusion to add", "MS Sans Serif"},
    {133, MODAL, 0, 0, 299, 100, "Warning", "MS Sans Serif"},
};

struct ControlRow {
    int dialog, id;
    Kind kind;
    DWORD style;   // besides WS_CHILD and WS_VISIBLE (HIDDEN: without WS_VISIBLE)
    short x, y, cx, cy;
    const char *text;
};

constexpr DWORD OWNER_LIST = LBS_SORT | LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_DISABLENOSCROLL
                             | WS_VSCROLL | WS_BORDER | WS_TABSTOP;

const ControlRow controls[] = {
    {106, 1104, BUTTON, GROUP, 7, 3, 194, 81, " What to scan "},
    {106, -1, BUTTON, GROUP, 12, 11, 183, 25, ""},
    {106, 1017, BUTTON, RADIO | WS_GROUP | WS_TABSTOP, 19, 22, 12, 9, ""},
    {106, 1095, BUTTON, RADIO, 88, 21, 56, 11, "&Only macros"},
    {106, 1018, BUTTON, RADIO, 147, 22, 45, 10, "A&ll files"},
    {106, -1, BUTTON, GROUP, 12, 39, 183, 38, ""},
    {106, 1000, BUTTON, CHECK, 19, 48, 92, 11, "&Inside ZIP && ARJ archive:"},
    {106, 1001, BUTTON, CHECK, 116, 48, 74, 10, "&Floppy boot sectors"},
    {106, 1015, BUTTON, CHECK, 19, 63, 89, 10, "Inside &compressed files"},
    {106, 1014, BUTTON, CHECK, 116, 63, 75, 10, "Use &Heuristics"},
    {106, 1105, BUTTON, GROUP, 7, 88, 81, 54, " Scan files on "},
    {106, 1066, BUTTON, RADIO | WS_GROUP | WS_TABSTOP, 14, 101, 70, 11, "Op&en,Copy,Run"},
    {106, 1067, BUTTON, RADIO, 14, 114, 68, 9, "C&reate,Download"},
    {106, 1068, BUTTON, RADIO, 14, 125, 70, 11, "&Both"},
    {106, 1106, BUTTON, GROUP, 92, 88, 109, 54, " General "},
    {106, 1069, BUTTON, CHECK, 97, 101, 101, 8, "&Scan floppies on shutdown"},
    {106, 1070, BUTTON, CHECK, 97, 114, 101, 8, "&Torvane can be disabled"},
    {106, 1071, BUTTON, CHECK, 97, 126, 100, 11, "Sho&w icon on taskbar"},
    {106, 1072, BUTTON, PUSH, 32, 19, 49, 14, "&Program Files"},

    {107, 1107, BUTTON, GROUP, 7, 3, 196, 24, " Last file scanned : "},
    {107, 1006, STATIC, TEXT | SS_NOPREFIX, 15, 13, 181, 8, ""},
    {107, 1108, BUTTON, GROUP, 7, 31, 196, 112, " Statistics "},
    {107, 1109, BUTTON, GROUP, 15, 39, 84, 44, " Files "},
    {107, 1111, STATIC, TEXT, 21, 48, 49, 9, "Scanned:"},
    {107, 1077, STATIC, VALUE, 69, 49, 24, 8, ""},
    {107, 1112, STATIC, TEXT, 22, 59, 46, 9, "Infected:"},
    {107, 1078, STATIC, VALUE, 78, 59, 15, 8, ""},
    {107, 1113, STATIC, TEXT, 21, 70, 45, 9, "Suspicious:"},
    {107, 1079, STATIC, VALUE, 76, 70, 17, 8, ""},
    {107, 1001, BUTTON, GROUP, 108, 39, 87, 44, " Boot sectors "},
    {107, 1114, STATIC, TEXT, 114, 48, 57, 10, "Scanned:"},
    {107, 1080, STATIC, VALUE, 170, 48, 19, 8, ""},
    {107, 1115, STATIC, TEXT, 115, 59, 55, 9, "Infected:"},
    {107, 1081, STATIC, VALUE, 171, 59, 18, 8, ""},
    {107, 1120, STATIC, TEXT, 114, 70, 54, 8, "Suspicious:"},
    {107, 1082, STATIC, VALUE, 172, 70, 17, 8, ""},
    {107, 1110, BUTTON, GROUP, 15, 85, 180, 36, " Action "},
    {107, 1116, STATIC, TEXT, 23, 95, 55, 9, "Disinfected:"},
    {107, 1083, STATIC, VALUE, 76, 96, 17, 8, ""},
    {107, 1118, STATIC, TEXT, 115, 95, 60, 8, "Deleted:"},
    {107, 1013, STATIC, VALUE, 169, 94, 20, 8, ""},
    {107, 1117, STATIC, TEXT, 23, 107, 51, 10, "Renamed:"},
    {107, 1012, STATIC, VALUE, 76, 107, 17, 8, ""},
    {107, 1119, STATIC, TEXT, 115, 107, 60, 8, "Moved:"},
    {107, 1084, STATIC, VALUE, 171, 106, 18, 8, ""},
    {107, 1094, BUTTON, PUSH, 80, 125, 48, 14, "&Clear"},

    {108, 1037, STATIC, SS_ICON, 17, 8, 20, 20, "#101"},
    {108, 1121, STATIC, TEXT | SS_NOPREFIX, 47, 11, 112, 8, "Torvane v3.03"},
    {108, 1122, STATIC, TEXT | SS_NOPREFIX, 46, 19, 155, 8, "Made by the Torvane team"},
    {108, -1, BUTTON, GROUP, 7, 3, 196, 27, ""},
    {108, 1039, STATIC, TEXT | SS_NOPREFIX, 13, 37, 113, 9, "Virus signatures:"},
    {108, 1040, STATIC, TEXT | SS_NOPREFIX, 13, 47, 114, 9, "Macro signatures:"},
    {108, -1, BUTTON, GROUP, 7, 28, 126, 30, ""},
    {108, 1141, STATIC, TEXT, 140, 34, 50, 8, "Language:"},
    {108, 1140, COMBO, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 139, 43, 59, 72, ""},
    {108, -1, BUTTON, GROUP, 136, 28, 67, 30, ""},
    {108, 1138, STATIC, TEXT | SS_NOPREFIX, 12, 63, 187, 80, ""},
    {108, -1, BUTTON, GROUP, 7, 57, 196, 88, ""},

    {118, 1133, STATIC, TEXT, 7, 13, 77, 10, "Extension to add"},
    {118, 1025, EDIT, FIELD | ES_UPPERCASE, 95, 11, 32, 12, ""},
    {118, 1022, BUTTON, DEFPUSH, 79, 29, 51, 14, "&Add"},
    {118, 1, BUTTON, PUSH, 80, 46, 50, 14, "&Close"},
    {118, 2, BUTTON, PUSH, 80, 63, 50, 14, "Ca&ncel"},
    {118, 1023, BUTTON, PUSH, 80, 80, 50, 15, "&Remove"},
    {118, 1026, BUTTON, PUSH, 80, 98, 50, 15, "&Default"},
    {118, 1021, LISTBOX, LBS_SORT | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER | WS_TABSTOP, 7, 30, 65,
     83, ""},

    {119, 1123, BUTTON, GROUP, 7, 3, 194, 52, " If a virus is found "},
    {119, 1045, BUTTON, RADIO, 107, 43, 88, 10, "&Report only"},
    {119, 1046, BUTTON, RADIO, 13, 11, 88, 11, "&Deny access"},
    {119, 1047, BUTTON, RADIO, 13, 22, 86, 10, "R&ename automatically"},
    {119, 1051, BUTTON, RADIO, 13, 32, 87, 11, "&Move automatically"},
    {119, 1052, BUTTON, RADIO, 13, 43, 88, 9, "&Delete automatically"},
    {119, 1053, BUTTON, RADIO, 107, 32, 86, 10, "D&isinfect automatically"},
    {119, 1074, BUTTON, CHECK, 108, 11, 71, 12, "&Only log to report"},
    {119, 1145, BUTTON, CHECK, 108, 22, 88, 9, "&Stop all macros"},
    {119, 1127, BUTTON, GROUP, 7, 117, 194, 26, " Move infected files to... "},
    {119, 1073, EDIT, FIELD, 15, 127, 162, 11, ""},
    {119, 1075, BUTTON, PUSH, 182, 126, 14, 13, "..."},
    {119, 1124, BUTTON, GROUP, 7, 62, 194, 52, " Special macro virus disinfection options "},
    {119, 1102, BUTTON, CHECK, 13, 74, 11, 8, ""},
    {119, 1125, STATIC, TEXT, 27, 74, 170, 16,
     "Remove new variants of macro viruses by removing all macros from infected documents."},
    {119, 1103, BUTTON, CHECK, 14, 91, 12, 9, ""},
    {119, 1126, STATIC, TEXT, 29, 92, 166, 15, "Remove all macros from documents, if a known virus is found."},

    {120, 1021, LISTBOX, LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_HSCROLL | WS_BORDER | WS_TABSTOP, 13, 24,
     186, 93, ""},
    {120, 1076, BUTTON, PUSH, 42, 122, 50, 15, "&Add"},
    {120, 1055, BUTTON, PUSH, 120, 121, 49, 15, "&Remove"},
    {120, 1130, STATIC, TEXT, 15, 13, 140, 9, "Subf.      Path"},
    {120, -1, BUTTON, GROUP, 7, 2, 196, 139, ""},

    {121, 1128, BUTTON, GROUP, 13, 24, 184, 48, " Log file "},
    {121, 1002, BUTTON, CHECK, 14, 12, 110, 9, "&Log to file"},
    {121, 1003, EDIT, FIELD, 22, 37, 165, 12, ""},
    {121, 1008, BUTTON, CHECK, 22, 54, 110, 10, "&Append to log file"},
    {121, 1054, BUTTON, PUSH, 137, 54, 50, 13, "&Browse"},
    {121, 1129, BUTTON, GROUP, 13, 75, 183, 64, " What to log "},
    {121, 1050, BUTTON, CHECK, 21, 86, 86, 9, "Virus infection"},
    {121, 1059, BUTTON, CHECK, 21, 99, 89, 9, "Virus disinfection"},
    {121, 1060, BUTTON, CHECK, 21, 114, 90, 9, "Delete"},
    {121, 1061, BUTTON, CHECK, 21, 128, 90, 8, "Move,Rename"},
    {121, 1062, BUTTON, CHECK, 120, 87, 69, 9, "User"},
    {121, 1063, BUTTON, CHECK, 120, 99, 72, 10, "Date and Time"},
    {121, 1064, BUTTON, CHECK, 120, 114, 70, 9, "Settings"},
    {121, 1065, BUTTON, CHECK, 120, 127, 70, 10, "Summary"},
    {121, -1, BUTTON, GROUP, 6, 3, 196, 140, ""},

    {130, 1090, STATIC, TEXT | HIDDEN, 202, 6, 76, 9, "File &name:"},
    {130, 1152, EDIT, FIELD | ES_OEMCONVERT | HIDDEN, 247, 19, 90, 12, ""},
    {130, 1120, LISTBOX, OWNER_LIST | HIDDEN, 247, 35, 90, 68, ""},
    {130, 1090, STATIC, TEXT, 6, 29, 92, 9, "&Folders:"},
    {130, 1121, LISTBOX, OWNER_LIST, 6, 38, 101, 84, ""},
    {130, 1089, STATIC, TEXT | HIDDEN, 247, 107, 90, 9, "List files of &type:"},
    {130, 1136, COMBO, CBS_DROPDOWNLIST | CBS_AUTOHSCROLL | WS_BORDER | WS_VSCROLL | WS_TABSTOP | HIDDEN, 247, 130, 90,
     30, ""},
    {130, 1091, STATIC, TEXT, 6, 2, 92, 9, "Dri&ves:"},
    {130, 1137, COMBO,
     CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | CBS_SORT | CBS_AUTOHSCROLL | WS_BORDER | WS_VSCROLL
         | WS_TABSTOP,
     6, 13, 102, 66, ""},
    {130, 1, BUTTON, DEFPUSH | WS_GROUP, 119, 12, 50, 14, "OK"},
    {130, 2, BUTTON, PUSH | WS_GROUP, 119, 30, 50, 14, "Cancel"},
    {130, 1088, STATIC, TEXT | SS_NOPREFIX, 8, 127, 170, 11, ""},

    {132, 1132, STATIC, TEXT, 9, 12, 20, 11, "Path:"},
    {132, 1038, EDIT, FIELD, 43, 10, 160, 13, ""},
    {132, 1088, BUTTON, PUSH, 207, 10, 46, 13, "&Browse"},
    {132, 1091, BUTTON, CHECK, 9, 32, 76, 11, "Incude subfolders"},
    {132, 1, BUTTON, DEFPUSH, 70, 48, 50, 14, "OK"},
    {132, 2, BUTTON, PUSH, 141, 48, 50, 14, "Cancel"},

    {133, 1, BUTTON, DEFPUSH, 125, 79, 50, 14, "OK"},
    {133, 1131, STATIC, TEXT, 7, 7, 285, 70, ""},
};

// ---- Reading a DLGTEMPLATE and its DLGITEMTEMPLATEs (the templates are our own, well formed) ----

DWORD Dword(const WORD *&w)
{
    DWORD value = w[0] | static_cast<DWORD>(w[1]) << 16;
    w += 2;
    return value;
}

// A text, or an ordinal as "#number"; the texts here are plain ASCII.
std::string Field(const WORD *&w)
{
    if (*w == 0xFFFF) {
        w += 2;
        return "#" + std::to_string(w[-1]);
    }
    std::string text;
    while (*w != 0)
        text += static_cast<char>(*w++);
    w++;
    return text;
}

std::vector<short> Rectangle(const WORD *&w)
{
    std::vector<short> rect(w, w + 4);
    w += 4;
    return rect;
}

TEST(SheetTemplates, CompiledTemplatesMatchTheirTable)
{
    HMODULE exe = LoadLibraryExA(BuiltFilePath("app/Torvane.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, exe) << BuiltFilePath("app/Torvane.exe");
    for (const DialogRow &d : dialogs) {
        HRSRC found = FindResourceA(exe, MAKEINTRESOURCEA(d.id), reinterpret_cast<LPCSTR>(RT_DIALOG));
        ASSERT_NE(nullptr, found) << "template " << d.id;
        const WORD *start = static_cast<const WORD *>(LockResource(LoadResource(exe, found)));
        const WORD *w = start;
        std::string where = "template " + std::to_string(d.id);
        EXPECT_EQ(d.style, Dword(w)) << where << std::hex << " style";
        Dword(w);   // extended style
        WORD count = *w++;
        EXPECT_EQ((std::vector<short>{d.x, d.y, d.cx, d.cy}), Rectangle(w)) << where;
        Field(w), Field(w);   // menu and class
        EXPECT_EQ(d.caption, Field(w)) << where;
        EXPECT_EQ(8, *w++) << where << " font size";
        EXPECT_EQ(d.font, Field(w)) << where;
        size_t next = 0;
        for (const ControlRow &c : controls) {
            if (c.dialog != d.id)
                continue;
            std::string control = where + ", control " + std::to_string(c.id) + " (row " + std::to_string(next) + ")";
            ASSERT_LT(next++, count) << control << " is missing";
            w = start + ((w - start + 1) & ~1);   // items start on a 4-byte boundary
            DWORD style = WS_CHILD | (c.style & HIDDEN ? 0 : WS_VISIBLE) | (c.style & ~HIDDEN);
            EXPECT_EQ(style, Dword(w)) << control << std::hex << " style";
            EXPECT_EQ(c.style & WS_CHILD ? static_cast<DWORD>(WS_EX_RIGHT) : 0u, Dword(w)) << control;
            EXPECT_EQ((std::vector<short>{c.x, c.y, c.cx, c.cy}), Rectangle(w)) << control;
            EXPECT_EQ(c.id, static_cast<short>(*w++)) << control << " (tab order)";
            EXPECT_EQ(KindName("#" + std::to_string(c.kind)), KindName(Field(w))) << control;
            EXPECT_EQ(c.text, Field(w)) << control;
            w += 1 + *w / 2;   // creation data
        }
        EXPECT_EQ(next, count) << where << " has controls beyond its table";
    }
    FreeLibrary(exe);
}

}   // namespace

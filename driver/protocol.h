// The driver's side of the link as the front end sees it: control codes, connect records, the
// LanguageTable form and the file trailer. Shared with the reference driver; no windows.h here.
#pragma once
#include <cstddef>
#include <cstdint>

// Device I/O control codes: device type 0x22, any access, method "neither".
constexpr uint32_t ControlCode(uint32_t function) { return 0x22u * 65536u + 4u * function + 3u; }

enum : uint32_t {
    CTL_CONNECT = ControlCode(1),
    CTL_LOG_START = ControlCode(2),
    CTL_LOG_STOP = ControlCode(3),
    CTL_SCAN_OPTIONS_CHANGED = ControlCode(7),
    CTL_ACTION_OPTIONS_CHANGED = ControlCode(8),
    CTL_ENABLE = ControlCode(9),
    CTL_DISABLE = ControlCode(10),
    CTL_CLEAR_STATISTICS = ControlCode(11),
    CTL_SELECT_LANGUAGE = ControlCode(12),
    CTL_EXCLUSIONS_CHANGED = ControlCode(15),
    CTL_TOGGLE = ControlCode(16),
};
static_assert(CTL_CONNECT == 0x220007 && CTL_TOGGLE == 0x220043, "codes fixed by the driver");

// Input of CTL_CONNECT: six words, 24 bytes.
struct ConnectRequest {
    uint32_t programDir;     // address of the program directory text (ANSI, trailing backslash)
    uint32_t notifyMessage;  // 1027
    uint32_t notifyWindow;   // the MainWindow
    uint32_t oemCodePage;    // GetOEMCP()
    uint32_t reserved1;
    uint32_t reserved2;
};
static_assert(sizeof(ConnectRequest) == 24, "the driver reads six words");

// Output of CTL_CONNECT: the request states 16 bytes, the driver fills all five words.
struct ConnectReply {
    uint32_t statusBlock;    // filled on success and on refusal
    uint32_t errorText;      // read only on refusal
    uint32_t languageTable;  // read only on success
    uint32_t languageCount;
    uint32_t languageList;   // languageCount text numbers, one per language
};
static_assert(sizeof(ConnectReply) == 20, "the driver fills five words");
static_assert(offsetof(ConnectReply, languageList) == 16, "the fifth word lies past the stated size");

enum : uint32_t {
    CONNECT_STATED_OUTPUT_SIZE = 16,
    LANGUAGE_TABLE_ENTRIES = 702,     // indices 0 to 701, each a 32-bit address of an OEM text
    FIRST_TEXT = 588,
    LAST_TEXT = 701,
};

// The message the driver posts to the window named at connect for every detection: lParam is the
// 32-bit address of the infected file's OEM name (wParam is not used).
enum : uint32_t { WM_VIRUS_FOUND = 1027 };

// The driver file ends in ten bytes of which the first six must read "FW3050".
constexpr size_t TRAILER_SIZE = 10;
constexpr char TRAILER_MARK[] = "FW3050";

// 1 when buffer holds a full trailer (count >= 10) whose first six bytes are the mark.
int CheckTrailer(const unsigned char *buffer, size_t count);

// The StatusBlock: the one record the scanning driver shares with the front end, byte for byte.
#pragma once
#include <cstddef>
#include <cstdint>

// All numbers are 32-bit little-endian; an address field holds the 32-bit address of a buffer the
// driver owns (see driver/address.h). Fields the driver writes from its own context at any time
// are volatile, so that every read on a timer really reads the record.
struct StatusBlock {
    volatile uint32_t blinkCount;    // remaining blink steps of the tray icon
    uint32_t enabled;                // on-access scanning is on
    char homeDir[264];               // program directory with its trailing backslash (driver copies it)
    uint32_t notifyWindow;           // the MainWindow, which receives WM_VIRUS_FOUND
    uint32_t notifyMessage;          // 1027
    uint8_t reserved280[8];
    uint32_t alertOpen;              // the virus alert is on screen
    char userName[20];               // logged-on user, or text 588
    uint8_t reserved312[272];
    uint32_t scanType;               // SCAN_PROGRAMS, SCAN_ALL, SCAN_MACROS
    uint32_t archives;
    uint32_t floppyBoot;
    uint32_t compressedExe;
    uint32_t heuristics;
    uint32_t scanOn;                 // SCAN_ON_OPEN, SCAN_ON_CREATE, SCAN_ON_BOTH
    uint32_t onShutdown;
    uint32_t canDisable;
    uint32_t showIcon;
    uint32_t extensions;             // address: 512-byte ExtensionList (defaults)
    uint32_t userExtensions;         // address: 512-byte ExtensionList, only loaded and saved
    uint32_t inUse;                  // address: 1024-byte ExtensionList in force
    uint32_t action;                 // ACTION_DENY .. ACTION_REPORT_ONLY
    uint32_t onlyLog;
    uint32_t macroSpecial;           // MACRO_REMOVE_NEW, MACRO_REMOVE_ALL
    char moveDir[260];
    uint32_t stopMacros;
    uint32_t logToFile;
    char logFileName[260];
    uint32_t append;
    uint32_t logMask;                // LOG_INFECTION .. LOG_SUMMARY
    uint32_t exclusions;             // address: 10240-byte ExclusionList
    uint32_t ext;                    // carried only
    char lastFile[520];              // at most 259 characters before the terminator
    volatile uint32_t filesScanned;
    volatile uint32_t filesInfected;
    volatile uint32_t filesSuspicious;
    volatile uint32_t bootScanned;
    volatile uint32_t bootInfected;
    volatile uint32_t bootSuspicious;
    volatile uint32_t disinfectedCount;
    volatile uint32_t deletedCount;
    volatile uint32_t renamedCount;
    volatile uint32_t movedCount;
    char signDate[40];               // OEM text
    char macroDate[40];              // OEM text
    uint32_t versionInfo[8];
};

// The values of the numbered settings and the bits of the bit sets, as both sides read them.
enum : uint32_t {   // scanType
    SCAN_PROGRAMS = 1,        // files whose extension is in the list in force (inUse)
    SCAN_ALL = 2,
    SCAN_MACROS = 3,          // documents that can carry macros
};
enum : uint32_t {   // scanOn
    SCAN_ON_OPEN = 1,         // open, copy, run
    SCAN_ON_CREATE = 2,       // create, download
    SCAN_ON_BOTH = 3,
};
enum : uint32_t {   // action
    ACTION_DENY = 1,
    ACTION_RENAME = 2,
    ACTION_MOVE = 3,
    ACTION_DELETE = 4,
    ACTION_DISINFECT = 5,
    ACTION_REPORT_ONLY = 6,
};
enum : uint32_t {   // macroSpecial bits
    MACRO_REMOVE_NEW = 0x1,   // remove new variants of macro viruses by removing all macros
    MACRO_REMOVE_ALL = 0x2,   // remove all macros from documents when a known virus is found
};
enum : uint32_t {   // logMask bits: the five kinds of report line, and the two parts that open each line
    LOG_INFECTION = 0x01,     // "Infected:" and "Access denied:"
    LOG_DISINFECTION = 0x02,  // "Disinfected:" and "Not disinfected:"
    LOG_DELETE = 0x04,        // "Deleted:" and "Not deleted:"
    LOG_MOVE_RENAME = 0x08,   // "Moved:", "Renamed:" and their failures
    LOG_USER = 0x10,          // the user's name before each entry
    LOG_DATE_TIME = 0x20,     // date and time before each entry
    LOG_SETTINGS = 0x40,      // the opening line and the settings in force when logging starts
    LOG_SUMMARY = 0x80,       // the counters and the closing line when logging stops
};

// Sizes of the buffers behind the address fields and of the text in lastFile.
enum : uint32_t {
    EXTENSIONS_SIZE = 512,
    USER_EXTENSIONS_SIZE = 512,
    IN_USE_SIZE = 1024,
    EXCLUSIONS_SIZE = 10240,
    LAST_FILE_TEXT_SIZE = 260,
    STATUS_BLOCK_SIZE = 1860,        // the front end touches nothing at or beyond this byte
};

static_assert(sizeof(StatusBlock) == STATUS_BLOCK_SIZE, "the front end's extent of the record");
static_assert(offsetof(StatusBlock, blinkCount) == 0, "layout shared with the driver");
static_assert(offsetof(StatusBlock, enabled) == 4, "layout shared with the driver");
static_assert(offsetof(StatusBlock, homeDir) == 8, "layout shared with the driver");
static_assert(offsetof(StatusBlock, notifyWindow) == 272, "layout shared with the driver");
static_assert(offsetof(StatusBlock, notifyMessage) == 276, "layout shared with the driver");
static_assert(offsetof(StatusBlock, alertOpen) == 288, "layout shared with the driver");
static_assert(offsetof(StatusBlock, userName) == 292, "layout shared with the driver");
static_assert(offsetof(StatusBlock, scanType) == 584, "layout shared with the driver");
static_assert(offsetof(StatusBlock, archives) == 588, "layout shared with the driver");
static_assert(offsetof(StatusBlock, floppyBoot) == 592, "layout shared with the driver");
static_assert(offsetof(StatusBlock, compressedExe) == 596, "layout shared with the driver");
static_assert(offsetof(StatusBlock, heuristics) == 600, "layout shared with the driver");
static_assert(offsetof(StatusBlock, scanOn) == 604, "layout shared with the driver");
static_assert(offsetof(StatusBlock, onShutdown) == 608, "layout shared with the driver");
static_assert(offsetof(StatusBlock, canDisable) == 612, "layout shared with the driver");
static_assert(offsetof(StatusBlock, showIcon) == 616, "layout shared with the driver");
static_assert(offsetof(StatusBlock, extensions) == 620, "layout shared with the driver");
static_assert(offsetof(StatusBlock, userExtensions) == 624, "layout shared with the driver");
static_assert(offsetof(StatusBlock, inUse) == 628, "layout shared with the driver");
static_assert(offsetof(StatusBlock, action) == 632, "layout shared with the driver");
static_assert(offsetof(StatusBlock, onlyLog) == 636, "layout shared with the driver");
static_assert(offsetof(StatusBlock, macroSpecial) == 640, "layout shared with the driver");
static_assert(offsetof(StatusBlock, moveDir) == 644, "layout shared with the driver");
static_assert(offsetof(StatusBlock, stopMacros) == 904, "layout shared with the driver");
static_assert(offsetof(StatusBlock, logToFile) == 908, "layout shared with the driver");
static_assert(offsetof(StatusBlock, logFileName) == 912, "layout shared with the driver");
static_assert(offsetof(StatusBlock, append) == 1172, "layout shared with the driver");
static_assert(offsetof(StatusBlock, logMask) == 1176, "layout shared with the driver");
static_assert(offsetof(StatusBlock, exclusions) == 1180, "layout shared with the driver");
static_assert(offsetof(StatusBlock, ext) == 1184, "layout shared with the driver");
static_assert(offsetof(StatusBlock, lastFile) == 1188, "layout shared with the driver");
static_assert(offsetof(StatusBlock, filesScanned) == 1708, "layout shared with the driver");
static_assert(offsetof(StatusBlock, filesInfected) == 1712, "layout shared with the driver");
static_assert(offsetof(StatusBlock, filesSuspicious) == 1716, "layout shared with the driver");
static_assert(offsetof(StatusBlock, bootScanned) == 1720, "layout shared with the driver");
static_assert(offsetof(StatusBlock, bootInfected) == 1724, "layout shared with the driver");
static_assert(offsetof(StatusBlock, bootSuspicious) == 1728, "layout shared with the driver");
static_assert(offsetof(StatusBlock, disinfectedCount) == 1732, "layout shared with the driver");
static_assert(offsetof(StatusBlock, deletedCount) == 1736, "layout shared with the driver");
static_assert(offsetof(StatusBlock, renamedCount) == 1740, "layout shared with the driver");
static_assert(offsetof(StatusBlock, movedCount) == 1744, "layout shared with the driver");
static_assert(offsetof(StatusBlock, signDate) == 1748, "layout shared with the driver");
static_assert(offsetof(StatusBlock, macroDate) == 1788, "layout shared with the driver");
static_assert(offsetof(StatusBlock, versionInfo) == 1828, "layout shared with the driver");

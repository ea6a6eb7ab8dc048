// The ExtensionList text: comma-separated extensions without dots ("COM,EXE,DLL"), as the driver
// keeps them in inUse and extensions. Pure logic, no windows.h: reading it into rows, joining rows
// back into text, and the rule by which the extensions dialog adds a row.
#pragma once
#include <cstddef>

constexpr size_t EXTENSION_ROW_SIZE = 8;    // a row holds at most 7 characters of an entry
constexpr size_t EXTENSION_TEXT_SIZE = 1024;   // inUse: at most 1023 characters and the terminator
constexpr size_t EXTENSION_TYPED_SIZE = 10;    // Add looks at no more than 9 typed characters

// One step of reading a list of length characters: copies the run that starts at *position, up to
// the next ',' or the end, into row (at most rowSize - 1 characters; the rest of a longer entry is
// skipped), and moves *position past that ','. Returns 1 when a row was produced, 0 once the
// position has passed the end. So "" gives one empty row, "COM," two rows ("COM" and ""), and
// "COM,,EXE" three with an empty one between.
int NextExtensionRow(const char *text, size_t length, size_t *position, char *row, size_t rowSize);

// Appends row number index (counted from 0) to the joined text: a ',' before every row but the
// first. Returns 1, or 0 with text unchanged when it would no longer fit size bytes.
int JoinExtensionRow(char *text, size_t size, size_t index, const char *row);

// What Add makes of the typed text.
enum ExtensionVerdict {
    EXTENSION_ADD,        // ext holds the three characters to add
    EXTENSION_TOO_SHORT,  // fewer than three characters typed
    EXTENSION_WILDCARD,   // one of the three is '*'
    EXTENSION_COMMA,      // one of the three is ',': the text would read as two entries
    EXTENSION_LISTED,     // a row already holds exactly these three characters
    EXTENSION_NO_ROOM,    // the joined text would pass the 1023 characters of inUse
};

// The Add rule: the first three of the typed characters, refused when fewer than three, when one is
// '*' or ',', when joined (the rows as they stand, rowCount of them) already lists them (compared
// with regard to case), or when one more row would not fit EXTENSION_TEXT_SIZE. ext always ends up
// terminated; it holds the three characters only with EXTENSION_ADD.
ExtensionVerdict CheckNewExtension(const char *typed, const char *joined, size_t rowCount, char (&ext)[4]);

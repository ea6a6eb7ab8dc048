// Reading the members of a ZIP archive held in memory: the central directory, stored and deflated
// members (zlib's inflate), with one budget per scanned file against lying sizes, entries that
// share their data and members that inflate without end, at every depth of nesting.
// An archive may have bytes in front of it (every self-extracting archive has a program there):
// it is found by its end record, searched for back from the end, as the unzip tools find it.
// No windows.h: built natively for the unit tests and fuzzing.
#pragma once
#include <cstddef>
#include <string>

constexpr size_t ZIP_TAIL_BYTES = 22 + 65535;   // a file's last bytes, where a ZIP archive's end
                                                // record lies, comment and all

struct ZipLimits {
    size_t memberBytes;     // a member that would grow beyond this is inflated this far and not read
    size_t totalBytes;      // bytes inflated or read for one scanned file, all its archives together
    unsigned members;       // members looked at for one scanned file, all its archives together
    size_t judgedBytes;     // 0: members are inflated whole. Else a deflated member is inflated
                            // only this far (all a judge of small files needs), unless its first
                            // bytes begin like an archive, which is inflated whole to be read in turn
};

// What one scanned file may still cost: made once per file (MakeZipBudget) and handed down to the
// archives inside it, so that nesting does not multiply the limits. Every byte inflated counts,
// also those of a member that turns out too large, and every byte of a stored member read.
struct ZipBudget {
    size_t bytesLeft;
    unsigned membersLeft;
    int (*overdue)(void);   // asked before each member and while inflating: 1 ends the reading;
                            // may be null
    int reached;            // the ZIP_ result of the bound that ended the reading, or 0
};

ZipBudget MakeZipBudget(const ZipLimits &limits, int (*overdue)(void));

enum {
    ZIP_MEMBER_READ = 0,        // data and size hold the member's bytes
    ZIP_MEMBER_TOO_LARGE,       // beyond memberBytes
    ZIP_MEMBER_DAMAGED,         // sizes or offsets point outside the archive, or the data is broken
    ZIP_MEMBER_UNSUPPORTED,     // neither stored nor deflated
    ZIP_MEMBER_ENCRYPTED,
};

struct ZipMember {
    std::string name;           // as stored, whole, control characters shown as '?'
    int status;
    const unsigned char *data;  // ZIP_MEMBER_READ: the bytes, valid only during the visit
    size_t size;
    int cut;                    // 1: data holds the first judgedBytes of a larger member
};

// Called for each member that is not a folder; returns 0 to stop the reading.
typedef int (*ZipVisit)(const ZipMember &member, void *context);

enum {
    ZIP_DONE = 0,               // every member was visited
    ZIP_STOPPED,                // the visit asked to stop
    ZIP_NO_DIRECTORY,           // no end of central directory: not a ZIP archive, or cut short
    ZIP_DIRECTORY_DAMAGED,      // the directory lies outside the archive or its entries are broken
                                // (the members before the damage were visited)
    ZIP_TOO_BIG,                // a ZIP64 archive, which this reader does not read
    ZIP_COUNT_WRONG,            // the end record counts other entries than its directory holds:
                                // every member the directory holds was visited
    ZIP_ENTRIES_OVERLAP,        // two entries share or overlap their local headers or data: the
                                // directory is refused, no member is visited
    // The bounds of the budget; the members before were visited, and budget->reached names it.
    ZIP_MEMBERS_SPENT,          // no members left
    ZIP_BYTES_SPENT,            // no bytes left
    ZIP_OVERDUE,                // overdue said so
};

// 1 when bytes (count of them, from the file's start) begin like a ZIP archive.
int LooksLikeZip(const unsigned char *bytes, size_t count);

// 1 when tail, a file's last count bytes (ZIP_TAIL_BYTES will do), holds the end record of a ZIP
// archive: the archive may have any bytes in front of it.
int EndsLikeZip(const unsigned char *tail, size_t count);

// 1 when bytes, a whole file or member, begin like a ZIP archive or end like one.
int HoldsZip(const unsigned char *bytes, size_t count);


// Visits the members of the archive of size bytes at zip (with any bytes in front of it), in the
// order of its directory, at most limits.memberBytes each, and charges them to budget (which an archive inside a member shares).
// Once the budget is spent it stays spent: every later call returns the same bound at once.
int ReadZip(const unsigned char *zip, size_t size, const ZipLimits &limits, ZipBudget *budget, ZipVisit visit,
            void *context);

// A word for a ZipMember status or a ReadZip result, for the journal.
const char *ZipMemberStatusText(int status);
const char *ZipResultText(int result);

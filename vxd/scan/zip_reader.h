// Reading the members of a ZIP archive held in memory: the central directory, stored and deflated
// members (zlib's inflate), with limits against lying sizes and members that inflate without end.
// No windows.h: built natively for the unit tests and fuzzing.
#pragma once
#include <cstddef>

constexpr size_t ZIP_NAME_SIZE = 260;

struct ZipLimits {
    size_t memberBytes;     // a member that would grow beyond this is not read (a zip bomb)
    size_t totalBytes;      // all members of the archive together
    unsigned members;       // members looked at, at most
};

enum {
    ZIP_MEMBER_READ = 0,        // data and size hold the member's bytes
    ZIP_MEMBER_TOO_LARGE,       // beyond memberBytes, or beyond what is left of totalBytes
    ZIP_MEMBER_DAMAGED,         // sizes or offsets point outside the archive, or the data is broken
    ZIP_MEMBER_UNSUPPORTED,     // neither stored nor deflated
    ZIP_MEMBER_ENCRYPTED,
};

struct ZipMember {
    char name[ZIP_NAME_SIZE];   // as stored, control characters shown as '?', cut to fit
    int status;
    const unsigned char *data;  // ZIP_MEMBER_READ: the bytes, valid only during the visit
    size_t size;
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
    ZIP_LIMIT_REACHED,          // members or totalBytes ran out; the members before were visited
};

// 1 when bytes (count of them, from the file's start) begin like a ZIP archive.
int LooksLikeZip(const unsigned char *bytes, size_t count);

// Visits the members of the archive of size bytes at zip, in the order of its directory.
int ReadZip(const unsigned char *zip, size_t size, const ZipLimits &limits, ZipVisit visit, void *context);

// A word for a ZipMember status or a ReadZip result, for the journal.
const char *ZipMemberStatusText(int status);
const char *ZipResultText(int result);

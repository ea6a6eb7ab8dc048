// Looking inside a ZIP archive read whole, and inside the archives it holds, three deep: each
// member the settings choose is judged by its own name, as Windows would write it.
#pragma once
#include <cstddef>
#include <string>

#include "vxd/options/options.h"
#include "vxd/scan/judge.h"

enum {
    ARCHIVE_READ = 0,   // every member was looked at (those that could not be read are journalled)
    ARCHIVE_FOUND,      // a member was found infected
    ARCHIVE_UNREAD,     // the archive could not be read whole: journalled as skipped, with the reason
};

// Scans the members of the archive of size bytes at zip (any bytes in front of it included), which
// the file ansiPath holds. Against crafted archives one file, with every archive inside it, costs
// at most 128 MB inflated or read, 10000 members and 750 ms; what could not be read is journalled.
// ARCHIVE_FOUND when a member (at any depth) was found infected: *verdict is its verdict and
// *member its path after the archive's name ("|sub/t.com", "|inner.zip|t.com"). A member found
// before the reading ended counts, also in an archive that could not be read whole.
// verdict->unconfirmed is set when a member met no daemon.
int ScanArchiveMembers(const unsigned char *zip, size_t size, const char *ansiPath, const ScanOptions &options,
                       Verdict *verdict, std::string *member);

// Looking inside a ZIP archive read whole, and inside the archives it holds, three deep: each
// member the settings choose is judged by its own name.
#pragma once
#include <cstddef>
#include <string>

#include "vxd/options/options.h"
#include "vxd/scan/judge.h"

// Scans the members of the archive of size bytes at zip, which the file ansiPath holds. Against
// crafted archives one file, with every archive inside it, costs at most 128 MB inflated or read,
// 10000 members and 750 ms; what could not be read is journalled. 1 when a member (at any depth)
// was found infected: *verdict is its verdict and *member its path after the archive's name
// ("|sub/t.com", "|inner.zip|t.com"). verdict->unconfirmed is set when a member met no daemon.
int ScanArchiveMembers(const unsigned char *zip, size_t size, const char *ansiPath, const ScanOptions &options,
                       Verdict *verdict, std::string *member);

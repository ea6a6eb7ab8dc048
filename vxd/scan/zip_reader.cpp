// Reading the members of a ZIP archive held in memory: stored ones as they are, deflated ones
// inflated, each charged to the budget of the file scanned.
#include "vxd/scan/zip_reader.h"

#include <zlib.h>

#include <cstdint>
#include <vector>

#include "vxd/scan/zip_directory.h"

constexpr size_t FIRST_ROOM = 64 * 1024;   // the inflate buffer starts here and doubles
constexpr size_t INFLATE_STEP = 1u << 20;  // bytes inflated between two looks at the clock
static_assert(ZIP_TAIL_BYTES == ZIP_END_SEARCH, "the tail a file is searched in holds any end record");

ZipBudget MakeZipBudget(const ZipLimits &limits, int (*overdue)(void))
{
    return {limits.totalBytes, limits.members, overdue, 0};
}

static int Overdue(const ZipBudget *budget)
{
    return budget->overdue != nullptr && budget->overdue();
}

static int Spent(ZipBudget *budget, int bound)
{
    budget->reached = bound;
    return bound;
}

int LooksLikeZip(const unsigned char *bytes, size_t count)
{
    if (bytes == nullptr || count < 4)
        return 0;
    uint32_t signature = ZipRead32(bytes);
    return signature == ZIP_LOCAL_SIGNATURE || signature == ZIP_END_SIGNATURE;
}

int EndsLikeZip(const unsigned char *tail, size_t count)
{
    return FindZipEnd(tail, count) >= 0;
}

int HoldsZip(const unsigned char *bytes, size_t count)
{
    return LooksLikeZip(bytes, count) || EndsLikeZip(bytes, count);
}

// Inflates count bytes of raw deflate data into out, at most limit bytes (one more shows that the
// member is larger), and charges every byte inflated to budget. With want above 0 it stops after
// want bytes that do not begin like an archive (*cut is 1 when the member goes on). The member's
// status; *late is 1 when the clock ended the inflating.
static int Inflate(const unsigned char *in, size_t count, size_t limit, size_t want, ZipBudget *budget,
                   std::vector<unsigned char> *out, size_t *size, int *late, int *cut)
{
    z_stream stream = {};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return ZIP_MEMBER_DAMAGED;
    size_t room = limit < FIRST_ROOM ? limit + 1 : FIRST_ROOM;
    room = want > 0 && want < room ? want : room;
    if (out->size() < room)
        out->resize(room);
    stream.next_in = const_cast<unsigned char *>(in);
    stream.avail_in = static_cast<uInt>(count);   // members are below 4 GB: the directory holds 32 bits
    size_t produced = 0;
    int status = ZIP_MEMBER_DAMAGED;
    for (;;) {
        if (produced > limit) {
            status = ZIP_MEMBER_TOO_LARGE;
            break;
        }
        if (want > 0 && produced >= want && !LooksLikeZip(out->data(), produced)) {
            status = ZIP_MEMBER_READ;
            *cut = 1;
            break;
        }
        if (produced == out->size())
            out->resize(out->size() * 2 > limit + 1 ? limit + 1 : out->size() * 2);
        if (Overdue(budget)) {
            *late = 1;
            break;
        }
        // The buffer may be larger than this member's limit after an earlier member.
        size_t step = out->size() - produced;
        step = step < limit + 1 - produced ? step : limit + 1 - produced;
        step = step < INFLATE_STEP ? step : INFLATE_STEP;
        step = want > produced && want - produced < step ? want - produced : step;
        stream.next_out = out->data() + produced;
        stream.avail_out = static_cast<uInt>(step);
        int result = inflate(&stream, Z_NO_FLUSH);
        produced += step - stream.avail_out;
        if (result == Z_STREAM_END) {
            status = produced > limit ? ZIP_MEMBER_TOO_LARGE : ZIP_MEMBER_READ;
            break;
        }
        if (result == Z_BUF_ERROR && stream.avail_out > 0)
            break;   // the input ended before the stream did: cut short
        if (result != Z_OK && result != Z_BUF_ERROR)
            break;
    }
    inflateEnd(&stream);
    budget->bytesLeft -= produced < budget->bytesLeft ? produced : budget->bytesLeft;
    *size = produced;
    return status;
}

static void CopyName(const unsigned char *name, size_t length, std::string *out)
{
    out->assign(reinterpret_cast<const char *>(name), length);
    for (char &c : *out)
        c = (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '?' : c;
}

// Reads the member of entry into *member: its bytes in the archive, or inflated into buffer, and
// charged to budget; *limit receives the most it could hold. 0 when the reading ran late.
static int ReadMember(const unsigned char *zip, size_t size, const ZipDirectoryEntry &entry, const ZipLimits &limits,
                      ZipBudget *budget, std::vector<unsigned char> *buffer, ZipMember *member, size_t *limit)
{
    CopyName(entry.record + ZIP_CENTRAL_SIZE, entry.nameLength, &member->name);
    if (entry.dataStart == 0 || static_cast<uint64_t>(entry.dataStart) + entry.packed > size)
        member->status = ZIP_MEMBER_DAMAGED;   // no local header, or more claimed than there is
    else if (entry.flags & 1)
        member->status = ZIP_MEMBER_ENCRYPTED;
    else if (entry.method != 0 && entry.method != 8)
        member->status = ZIP_MEMBER_UNSUPPORTED;
    *limit = limits.memberBytes < budget->bytesLeft ? limits.memberBytes : budget->bytesLeft;
    if (member->status == ZIP_MEMBER_READ && entry.method == 0) {
        member->data = zip + entry.dataStart;
        member->size = entry.packed;
        if (entry.packed > *limit)
            member->status = ZIP_MEMBER_TOO_LARGE;   // nothing inflated: nothing to charge
        else
            budget->bytesLeft -= entry.packed;
    } else if (member->status == ZIP_MEMBER_READ) {
        int late = 0;
        member->status = Inflate(zip + entry.dataStart, entry.packed, *limit, limits.judgedBytes, budget, buffer,
                                 &member->size, &late, &member->cut);
        if (late)
            return 0;
        member->data = buffer->data();
    }
    if (member->status != ZIP_MEMBER_READ) {
        member->data = nullptr;
        member->size = 0;
    }
    return 1;
}

// Visits the members of entries in turn. ZIP_DONE when every one was visited.
static int VisitMembers(const unsigned char *zip, size_t size, const std::vector<ZipDirectoryEntry> &entries,
                        const ZipLimits &limits, ZipBudget *budget, ZipVisit visit, void *context)
{
    std::vector<unsigned char> buffer;
    for (const ZipDirectoryEntry &entry : entries) {
        if (entry.folder)
            continue;
        if (budget->membersLeft == 0)
            return Spent(budget, ZIP_MEMBERS_SPENT);
        if (Overdue(budget))
            return Spent(budget, ZIP_OVERDUE);
        budget->membersLeft--;
        ZipMember member = {};
        size_t limit = 0;
        if (!ReadMember(zip, size, entry, limits, budget, &buffer, &member, &limit))
            return Spent(budget, ZIP_OVERDUE);
        if (!visit(member, context))
            return budget->reached ? budget->reached : ZIP_STOPPED;
        if (budget->reached)
            return budget->reached;   // an archive inside this member spent the budget
        if (member.status == ZIP_MEMBER_TOO_LARGE && limit < limits.memberBytes)
            return Spent(budget, ZIP_BYTES_SPENT);
    }
    return ZIP_DONE;
}

int ReadZip(const unsigned char *zip, size_t size, const ZipLimits &limits, ZipBudget *budget, ZipVisit visit,
            void *context)
{
    if (budget->reached)
        return budget->reached;
    long end = FindZipEnd(zip, size);
    if (end < 0)
        return ZIP_NO_DIRECTORY;
    const unsigned char *e = zip + end;
    uint32_t count = ZipRead16(e + 10);
    uint32_t directorySize = ZipRead32(e + 12);
    uint32_t directoryOffset = ZipRead32(e + 16);
    if (count == 0xFFFF || directorySize == 0xFFFFFFFFu || directoryOffset == 0xFFFFFFFFu)
        return ZIP_TOO_BIG;
    size_t start = 0;
    if (!FindZipStart(zip, static_cast<size_t>(end), directorySize, directoryOffset, &start))
        return ZIP_DIRECTORY_DAMAGED;
    // From here on the archive is what follows the bytes in front of it: its offsets count from there.
    const unsigned char *archive = zip + start;
    size_t archiveSize = size - start;
    std::vector<ZipDirectoryEntry> entries;
    int whole = ReadZipDirectory(archive, archiveSize, directoryOffset,
                                 static_cast<size_t>(directoryOffset) + directorySize, &entries);
    if (ZipEntriesOverlap(entries, archiveSize))
        return ZIP_ENTRIES_OVERLAP;
    int result = VisitMembers(archive, archiveSize, entries, limits, budget, visit, context);
    if (result != ZIP_DONE)
        return result;
    if (!whole)
        return ZIP_DIRECTORY_DAMAGED;
    return entries.size() == count ? ZIP_DONE : ZIP_COUNT_WRONG;
}

const char *ZipMemberStatusText(int status)
{
    switch (status) {
    case ZIP_MEMBER_READ: return "read";
    case ZIP_MEMBER_TOO_LARGE: return "inflates beyond the limit";
    case ZIP_MEMBER_DAMAGED: return "damaged or sizes that do not fit";
    case ZIP_MEMBER_UNSUPPORTED: return "compression method not supported";
    case ZIP_MEMBER_ENCRYPTED: return "encrypted";
    }
    return "unknown";
}

const char *ZipResultText(int result)
{
    switch (result) {
    case ZIP_DONE: return "done";
    case ZIP_STOPPED: return "stopped";
    case ZIP_NO_DIRECTORY: return "no central directory";
    case ZIP_DIRECTORY_DAMAGED: return "central directory damaged";
    case ZIP_TOO_BIG: return "ZIP64 archives are not read";
    case ZIP_COUNT_WRONG: return "central directory damaged: the end record counts other entries than it holds";
    case ZIP_ENTRIES_OVERLAP: return "entries share their data";
    case ZIP_MEMBERS_SPENT: return "more members than one file may hold";
    case ZIP_BYTES_SPENT: return "inflates beyond what one file may";
    case ZIP_OVERDUE: return "takes longer than one file may";
    }
    return "unknown";
}

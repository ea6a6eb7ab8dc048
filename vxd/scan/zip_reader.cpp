// Reading the members of a ZIP archive held in memory.
#include "vxd/scan/zip_reader.h"

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <vector>

constexpr uint32_t LOCAL_SIGNATURE = 0x04034b50;
constexpr uint32_t CENTRAL_SIGNATURE = 0x02014b50;
constexpr uint32_t END_SIGNATURE = 0x06054b50;
constexpr size_t LOCAL_SIZE = 30;
constexpr size_t CENTRAL_SIZE = 46;
constexpr size_t END_SIZE = 22;
constexpr size_t MAX_COMMENT = 65535;
constexpr size_t FIRST_ROOM = 64 * 1024;   // the inflate buffer starts here and doubles

static uint32_t Read16(const unsigned char *p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8);
}

static uint32_t Read32(const unsigned char *p)
{
    return Read16(p) | (Read16(p + 2) << 16);
}

int LooksLikeZip(const unsigned char *bytes, size_t count)
{
    if (bytes == nullptr || count < 4)
        return 0;
    uint32_t signature = Read32(bytes);
    return signature == LOCAL_SIGNATURE || signature == END_SIGNATURE;
}

// Inflates count bytes of raw deflate data into out, at most limit bytes. The member's status.
static int Inflate(const unsigned char *in, size_t count, size_t limit, std::vector<unsigned char> *out, size_t *size)
{
    z_stream stream = {};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return ZIP_MEMBER_DAMAGED;
    size_t room = limit < FIRST_ROOM ? limit + 1 : FIRST_ROOM;
    if (out->size() < room)
        out->resize(room);
    stream.next_in = const_cast<unsigned char *>(in);
    stream.avail_in = static_cast<uInt>(count);   // members are below 4 GB: the directory holds 32 bits
    size_t produced = 0;
    int status = ZIP_MEMBER_DAMAGED;
    for (;;) {
        if (produced == out->size()) {
            if (produced > limit) {
                status = ZIP_MEMBER_TOO_LARGE;
                break;
            }
            size_t grown = out->size() * 2 > limit + 1 ? limit + 1 : out->size() * 2;
            out->resize(grown);
        }
        stream.next_out = out->data() + produced;
        stream.avail_out = static_cast<uInt>(out->size() - produced);
        int result = inflate(&stream, Z_NO_FLUSH);
        produced = out->size() - stream.avail_out;
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
    *size = produced;
    return status;
}

static void CopyName(const unsigned char *name, size_t length, char *out)
{
    size_t n = length < ZIP_NAME_SIZE - 1 ? length : ZIP_NAME_SIZE - 1;
    for (size_t i = 0; i < n; i++)
        out[i] = (name[i] < 0x20 || name[i] == 0x7F) ? '?' : static_cast<char>(name[i]);
    out[n] = 0;
}

// Finds the end of central directory record, searching back over a comment. -1 when none.
static long FindEnd(const unsigned char *zip, size_t size)
{
    if (size < END_SIZE)
        return -1;
    size_t lowest = size - END_SIZE > MAX_COMMENT ? size - END_SIZE - MAX_COMMENT : 0;
    for (size_t at = size - END_SIZE + 1; at-- > lowest;) {
        if (Read32(zip + at) == END_SIGNATURE && at + END_SIZE + Read16(zip + at + 20) <= size)
            return static_cast<long>(at);
    }
    return -1;
}

int ReadZip(const unsigned char *zip, size_t size, const ZipLimits &limits, ZipVisit visit, void *context)
{
    if (zip == nullptr)
        return ZIP_NO_DIRECTORY;
    long end = FindEnd(zip, size);
    if (end < 0)
        return ZIP_NO_DIRECTORY;
    const unsigned char *e = zip + end;
    uint32_t entries = Read16(e + 10);
    uint32_t directorySize = Read32(e + 12);
    uint32_t directoryOffset = Read32(e + 16);
    if (entries == 0xFFFF || directorySize == 0xFFFFFFFFu || directoryOffset == 0xFFFFFFFFu)
        return ZIP_TOO_BIG;
    if (static_cast<uint64_t>(directoryOffset) + directorySize > static_cast<uint64_t>(end))
        return ZIP_DIRECTORY_DAMAGED;

    std::vector<unsigned char> buffer;
    size_t total = 0;
    size_t at = directoryOffset;
    const size_t directoryEnd = static_cast<size_t>(directoryOffset) + directorySize;
    for (uint32_t i = 0; i < entries; i++) {
        if (at + CENTRAL_SIZE > directoryEnd || Read32(zip + at) != CENTRAL_SIGNATURE)
            return ZIP_DIRECTORY_DAMAGED;
        const unsigned char *c = zip + at;
        uint32_t flags = Read16(c + 8);
        uint32_t method = Read16(c + 10);
        uint32_t packed = Read32(c + 20);
        uint32_t nameLength = Read16(c + 28);
        size_t entrySize = CENTRAL_SIZE + nameLength + Read16(c + 30) + Read16(c + 32);
        uint32_t localOffset = Read32(c + 42);
        if (at + entrySize > directoryEnd)
            return ZIP_DIRECTORY_DAMAGED;
        at += entrySize;
        if (nameLength > 0 && (c[CENTRAL_SIZE + nameLength - 1] == '/' || c[CENTRAL_SIZE + nameLength - 1] == '\\'))
            continue;   // a folder
        if (i >= limits.members)
            return ZIP_LIMIT_REACHED;

        ZipMember member = {};
        CopyName(c + CENTRAL_SIZE, nameLength, member.name);
        const unsigned char *local = zip + localOffset;
        size_t dataStart = 0;
        if (static_cast<uint64_t>(localOffset) + LOCAL_SIZE > size || Read32(local) != LOCAL_SIGNATURE) {
            member.status = ZIP_MEMBER_DAMAGED;
        } else {
            dataStart = static_cast<size_t>(localOffset) + LOCAL_SIZE + Read16(local + 26) + Read16(local + 28);
            if (static_cast<uint64_t>(dataStart) + packed > size)
                member.status = ZIP_MEMBER_DAMAGED;   // the directory claims more than there is
            else if (flags & 1)
                member.status = ZIP_MEMBER_ENCRYPTED;
            else if (method != 0 && method != 8)
                member.status = ZIP_MEMBER_UNSUPPORTED;
        }
        size_t left = limits.totalBytes > total ? limits.totalBytes - total : 0;
        size_t limit = limits.memberBytes < left ? limits.memberBytes : left;
        if (member.status == ZIP_MEMBER_READ && method == 0) {
            member.data = zip + dataStart;
            member.size = packed;
            if (packed > limit)
                member.status = ZIP_MEMBER_TOO_LARGE;
        } else if (member.status == ZIP_MEMBER_READ) {
            member.status = Inflate(zip + dataStart, packed, limit, &buffer, &member.size);
            member.data = buffer.data();
        }
        if (member.status != ZIP_MEMBER_READ) {
            member.data = nullptr;
            member.size = 0;
        }
        total += member.size;
        if (!visit(member, context))
            return ZIP_STOPPED;
        if (member.status == ZIP_MEMBER_TOO_LARGE && limit < limits.memberBytes)
            return ZIP_LIMIT_REACHED;   // the whole archive's allowance is spent
    }
    return ZIP_DONE;
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
    case ZIP_LIMIT_REACHED: return "limit reached";
    }
    return "unknown";
}

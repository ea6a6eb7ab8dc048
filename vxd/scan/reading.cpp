// The scan thread's reading buffers, handed round by size from one file to the next.
#include "vxd/scan/reading.h"

#include <cstring>
#include <utility>
#include <vector>

#include "vxd/engine/engine.h"
#include "vxd/queue/versions.h"

constexpr size_t KEEP_BYTES = 1u << 20;     // a reading buffer kept while no file waits, at most
constexpr size_t SPARE_BUFFERS = ENGINE_WINDOW + 1;  // reading buffers kept for the next files,
constexpr size_t SPARE_BYTES = 32u << 20;            // holding this much at most

static ReadBuffer content;                  // the file being read, kept between files (new memory
                                            // costs more than reading into it)
static std::vector<ReadBuffer> spare;       // reading buffers of judged files, for the next ones
static DigestRun digest;                    // of the content, taken as the reads bring it
static int digestSound;                     // 0 once a read went back over bytes it had reduced
                                            // (a file's tail read after its head, then dropped)

// Of too many spare buffers the smallest, the cheapest to make again, are let go, and of too large
// ones together the largest.
static void TrimSpare(void)
{
    size_t held = 0;
    for (const ReadBuffer &b : spare)
        held += b.size;
    while (!spare.empty() && (spare.size() > SPARE_BUFFERS || held > SPARE_BYTES)) {
        size_t drop = 0;
        for (size_t i = 1; i < spare.size(); i++) {
            if (held > SPARE_BYTES ? spare[i].size > spare[drop].size : spare[i].size < spare[drop].size)
                drop = i;
        }
        held -= spare[drop].size;
        spare.erase(spare.begin() + static_cast<std::ptrdiff_t>(drop));
    }
}

// Writes a byte on every page of the buffer up to end that was not written before, ahead of a read
// into them. The system lends a page that is read first the shared page of zeros and copies it when
// it is written: a second fault per page, and on a machine of several processors each processor's
// record of the page cleared, which waits for them all (under Wine the read looks at the buffer
// before the file's bytes are written into it). A page written first is faulted in once.
static void TouchPages(ReadBuffer *buffer, size_t end)
{
    constexpr size_t PAGE = 4096;
    volatile unsigned char *page = buffer->bytes.get();   // written, whatever is read over it next
    for (size_t at = (buffer->written + PAGE - 1) / PAGE * PAGE; at < end; at += PAGE)
        page[at] = 0;
    buffer->written = end > buffer->written ? end : buffer->written;
}

// Room in content for limit bytes, keeping the count read. A read of up to a megabyte takes a
// spare buffer of a megabyte, a larger read the smallest spare that holds it, and a large buffer
// waits for the next large file. Only when none fits is one made, of whole megabytes; the one
// given up is kept.
static void MakeRoom(size_t count, size_t limit)
{
    size_t best = spare.size();
    for (size_t i = 0; i < spare.size(); i++) {
        if (spare[i].size >= limit && (limit > KEEP_BYTES || spare[i].size <= KEEP_BYTES)
            && (best == spare.size() || spare[i].size < spare[best].size))
            best = i;
    }
    ReadBuffer room;
    if (best < spare.size()) {
        room = std::move(spare[best]);
        spare.erase(spare.begin() + static_cast<std::ptrdiff_t>(best));
    } else {
        room.size = (limit + KEEP_BYTES - 1) / KEEP_BYTES * KEEP_BYTES;
        room.bytes.reset(new unsigned char[room.size]);
        room.written = 0;
    }
    if (count > 0) {
        TouchPages(&room, count);
        std::memcpy(room.bytes.get(), content.bytes.get(), count);
    }
    if (content.size > 0)
        spare.push_back(std::move(content));
    content = std::move(room);
    TrimSpare();
}

int ReadContent(HANDLE file, size_t *count, size_t limit, DWORD *error)
{
    if (*count == 0) {
        BeginReadDigest(&digest);
        digestSound = 1;
    } else if (*count < digest.done) {
        digestSound = 0;   // the bytes from *count on are read anew, over some reduced already
    }
    if (content.size < limit)
        MakeRoom(*count, limit);
    while (*count < limit) {
        DWORD chunk = static_cast<DWORD>(limit - *count < (1u << 20) ? limit - *count : (1u << 20));
        DWORD got = 0;
        TouchPages(&content, *count + chunk);
        if (!ReadFile(file, content.bytes.get() + *count, chunk, &got, nullptr)) {
            *error = GetLastError();
            return 0;
        }
        if (got == 0)
            return 1;
        *count += got;
        if (digestSound)
            ReadDigestOn(&digest, content.bytes.get(), *count);
    }
    return 1;
}

const unsigned char *ContentBytes(void)
{
    return content.bytes.get();
}

uint64_t ContentDigestOf(size_t count)
{
    if (!digestSound || count < digest.done)
        return DigestOf(content.bytes.get(), count);   // what was reduced is not all of these bytes
    digestSound = 0;   // ended: asked again, it is taken afresh
    return EndReadDigest(&digest, content.bytes.get(), count);
}

void ReadingElsewhere(void)
{
    digestSound = 0;
}

ReadBuffer TakeContent(void)
{
    ReadBuffer taken = std::move(content);
    content = {};
    return taken;
}

void GiveBack(ReadBuffer buffer)
{
    spare.push_back(std::move(buffer));
}

void LetGoBuffers(void)
{
    if (content.size > KEEP_BYTES)
        content = {};
    spare.clear();
}

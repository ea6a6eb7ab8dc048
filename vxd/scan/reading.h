// The scan thread's reading buffers: the file being read goes into one, and the buffers of files
// judged are handed round to the next ones, since new memory costs a page fault per page, as much
// as reading into it. The scan thread's only.
#pragma once
#include <windows.h>

#include <cstddef>
#include <memory>

// A reading buffer. Room is added uncleared (every byte used is read into it first), and only the
// bytes read so far are copied into it: clearing and copying a large file's room cost more than
// reading the file.
struct ReadBuffer {
    std::unique_ptr<unsigned char[]> bytes;
    size_t size;
    size_t written;     // its first bytes, this many, were written once: their pages are the buffer's
};

// Reads on from the file's position into the current buffer from byte *count on, up to limit
// bytes in all (fewer when the file ends). 0 with *error set when a read failed.
int ReadContent(HANDLE file, size_t *count, size_t limit, DWORD *error);

// The bytes of the file being read (valid until the next ReadContent or TakeContent).
const unsigned char *ContentBytes(void);

// The digest of the first count bytes of the file being read: mostly taken already, block by block
// as the reads brought them, while they were still in the processor's cache.
uint64_t ContentDigestOf(size_t count);
// The next reads bring bytes from elsewhere in the file (its tail), not the ones after those read:
// the digest is then taken at the end, of the bytes as they are.
void ReadingElsewhere(void);

// Hands over the current buffer with the file just read (to stay in the engine's hands); the next
// read takes a spare buffer that suits it.
ReadBuffer TakeContent(void);

// A buffer whose file was judged, kept for the next reads.
void GiveBack(ReadBuffer buffer);

// Nothing waits: large buffers are let go.
void LetGoBuffers(void);

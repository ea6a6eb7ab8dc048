// Reading what a file's judging needs: its first bytes, and all of it when the engine or an
// archive wants it, wherever in the file the archive begins.
#include <windows.h>

#include "vxd/config/config.h"
#include "vxd/scan/detect.h"
#include "vxd/scan/file_scan.h"
#include "vxd/scan/reading.h"
#include "vxd/scan/zip_reader.h"

// Reads on to the end of the file, and one byte more to see a file that grew.
static int ReadRest(FileScan *s, size_t *limit, DWORD *error)
{
    *limit = static_cast<size_t>(s->size) + 1;
    return ReadContent(s->file, &s->count, *limit, error);
}

// Whether a file larger than the first bytes read holds a ZIP archive with any bytes in front of
// it (every self-extracting archive has a program there): the end record lies in its last
// ZIP_TAIL_BYTES, read after the first bytes (a smaller file whole). A file that holds none, most
// of them, counts on with its first bytes only (*limit as it was), since nothing else of it is
// judged; one that holds an archive is read whole, unless it is too large to be opened.
static int ReadTail(FileScan *s, size_t *limit, DWORD *error)
{
    size_t head = s->count;
    uint64_t from = s->size > head + ZIP_TAIL_BYTES ? s->size - ZIP_TAIL_BYTES : head;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(from);
    if (from > head && !SetFilePointerEx(s->file, at, nullptr, FILE_BEGIN)) {
        *error = GetLastError();
        return 0;
    }
    size_t want = head + static_cast<size_t>(s->size - from);
    ReadingElsewhere();
    if (!ReadContent(s->file, &s->count, want, error))
        return 0;
    if (s->count != want) {
        *limit = want;   // it shrank while read: put off
        return 1;
    }
    const unsigned char *bytes = ContentBytes();
    s->zip = from == head ? EndsLikeZip(bytes, s->count) : EndsLikeZip(bytes + head, s->count - head);
    if (!s->zip) {
        s->count = head;
        return 1;
    }
    if (from == head || s->size > READ_LIMIT) {
        *limit = from == head ? static_cast<size_t>(s->size) + 1 : want;   // whole, or not opened
        return 1;
    }
    at.QuadPart = static_cast<LONGLONG>(head);
    if (!SetFilePointerEx(s->file, at, nullptr, FILE_BEGIN)) {
        *error = GetLastError();
        return 0;
    }
    s->count = head;
    return ReadRest(s, limit, error);
}

// The bytes the judging needs: one byte more than the test file may have, to see a file that grew;
// the engine needs all of it, and so does an archive, wherever it begins in the file. 0 with
// *error set when a read failed.
int ReadBytes(FileScan *s, size_t *limit, DWORD *error)
{
    *limit = TEST_FILE_MAX_SIZE + 1;
    if (!ReadContent(s->file, &s->count, *limit, error))
        return 0;
    int archives = s->options.archives;
    const unsigned char *bytes = ContentBytes();
    s->zip = archives && (s->count == s->size ? HoldsZip(bytes, s->count) : LooksLikeZip(bytes, s->count));
    if (s->count != *limit || s->size <= s->count)
        return 1;   // here whole (or changed: put off)
    if ((s->zip || (s->wanted && config.engineClamd)) && s->size <= READ_LIMIT) {
        if (!ReadRest(s, limit, error))
            return 0;
        s->zip = archives && HoldsZip(ContentBytes(), s->count);
        return 1;
    }
    if (!archives || s->zip)
        return 1;   // an archive too large to be opened
    return ReadTail(s, limit, error);
}
// The ClamAV daemon's answer to INSTREAM. No windows.h: built natively for the unit tests.
#pragma once
#include <cstddef>

enum {
    CLAMD_CLEAN = 0,        // "stream: OK"
    CLAMD_FOUND = 1,        // "stream: <signature> FOUND"
    CLAMD_FILE_ERROR = 2,   // "... ERROR": the daemon could not scan this stream (too large, ...)
    CLAMD_NONSENSE = 3,     // anything else: the daemon is not what we think it is
};

// Reads one reply of length bytes (a terminating NUL or line feed may be part of it). For
// CLAMD_FOUND the signature's name goes into name (cut to nameSize); otherwise name is empty.
// A name with control characters, an empty name and a reply with a NUL inside are nonsense.
int ParseClamdReply(const char *reply, size_t length, char *name, size_t nameSize);

// A reply in a session begins with the number of the command it answers, "<id>: " (1 for the first
// command after IDSESSION). Returns the length of that beginning with *id set, or 0 with *id 0 when
// the reply has none (no digits, a number beyond 4294967295 or 0, no ": " after it).
size_t TakeSessionId(const char *reply, size_t length, unsigned long *id);

// The four bytes that announce a chunk of length bytes in the INSTREAM stream (network order).
void ClamdChunkHeader(unsigned long length, unsigned char out[4]);

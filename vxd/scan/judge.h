// Judging one stretch of bytes (a file, or a member of an archive): the built-in rule, and the
// engine when it is configured.
#pragma once
#include <cstddef>
#include <cstdint>

// What the rule and the engine make of one stretch of bytes.
struct Verdict {
    int found;
    char threat[128];     // the signature's name
    int unconfirmed;      // 1 once bytes the engine was to judge met no daemon that answered: a
                          // clean verdict is the built-in rule's alone (kept across the members
                          // of an archive)
};

// The built-in rule on count bytes of a stretch of fullSize bytes. 1 when it found the test file.
int JudgeBuiltIn(const unsigned char *bytes, size_t count, uint64_t fullSize, Verdict *verdict);

// The built-in rule, then the engine (label names the bytes in the journal): the engine is asked
// only when all fullSize bytes are there.
void Judge(const unsigned char *bytes, size_t count, uint64_t fullSize, const char *label, Verdict *verdict);

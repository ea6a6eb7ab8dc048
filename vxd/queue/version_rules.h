// The rules of the memory of file versions: which file the memory vouches for without reading it,
// which bytes read repeat a version judged already, and the versions found infected, which are
// caught again wherever they appear; and the keyed digest of the bytes a scan read. No windows.h:
// built natively for the unit tests.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>

// The coarsest step of file times (FAT keeps 2 s), in 100 ns units: within it a change can keep the
// time that marks it. The change mark of Wine (the file system's change time) moves by a clock
// tick of a few milliseconds; the same step is taken for it.
constexpr uint64_t TIME_STEP = 2 * 10000000ull;

enum {
    VERSION_CLEAN = 1,          // read and judged clean
    VERSION_PRESENT,            // seen by the walk when the watch began, not read
    VERSION_PENDING,            // read; its verdict is still to come (in the engine's hands)
    VERSION_UNCONFIRMED,        // judged by the built-in rule alone while no daemon answered
    VERSION_HANDLED,            // found infected and put under this name by the driver (renamed
                                // or moved here): not judged again while it stays as it is
    VERSION_INFECTED,           // found infected and left under this name (reported only, or the
                                // action could not be done): its further notices are the same
                                // appearance; moved away and back, it appears anew
};

// What the memory compares of a file, as it is now or as it was.
struct FileLook {
    uint64_t fileIndex;     // 0 when not known
    uint64_t size;
    uint64_t changed;       // the change mark (a time that only its file system sets); 0: none
};

// What the memory knows of one name. Times are file times as one number (100 ns since 1601).
struct VersionRecord {
    int kind;
    FileLook look;
    uint64_t seenAt;        // when it was read or seen
    uint64_t digest;        // ContentDigest of the bytes read (0 for VERSION_PRESENT)
};

// The records of the names judged, by a 64-bit key of each name, at most capacity: once full, the
// name first noted longest ago is forgotten for room (its file is read again at its next notice or
// walk: forgetting costs reading again, never a file passed over unread).
struct VersionMemory {
    size_t capacity;
    uint64_t noted;                                             // records noted so far
    std::deque<std::pair<uint64_t, uint64_t>> order;            // name, when noted; oldest first
    std::unordered_map<uint64_t, std::pair<VersionRecord, uint64_t>> known;   // name: record, when noted
};
const VersionRecord *Recalled(const VersionMemory &memory, uint64_t name);   // null when not known
void Remember(VersionMemory *memory, uint64_t name, const VersionRecord &record);
void Forget(VersionMemory *memory, uint64_t name);

// 1 when the memory vouches for the file as it is now without reading it: known clean (or seen
// when the watch began, or put there by the driver), the same file index, size and change mark,
// and that mark known and TIME_STEP older than the look that recorded it, so that no change since
// can have kept it. known may be null.
int VouchesUnread(const VersionRecord *known, const FileLook &now);

// 1 when known is this very version of the file, however soon after its mark it was read or seen:
// the same file index, size and change mark (for a file the driver put there, whose move changed
// its mark, index and size). Whether a notice of the file came and was taken, not whether its
// bytes are known: a notice lost is what a look at the folder makes up for. known may be null.
int RecordsVersion(const VersionRecord *known, const FileLook &now);

// 1 when bytes read with this digest from the file now (its look) need no judging again: a version
// judged clean; the same file's version put there by the driver; or the same file's version, with
// the same change mark, still in the engine's hands or found infected and left there (further
// notices of one write). Any other appearance of a version found infected is judged, and caught.
int RepeatsVersion(const VersionRecord *known, const FileLook &now, uint64_t digest);

// The versions found infected, by size and digest, with their threats: caught again under any
// name and however they arrive, also while the engine that found them does not answer. The oldest
// are forgotten first beyond capacity (then only the rule and the engine can catch them again).
struct InfectedVersions {
    size_t capacity;
    std::deque<std::pair<uint64_t, uint64_t>> order;                    // oldest first
    std::unordered_map<uint64_t, std::pair<uint64_t, std::string>> known;   // digest: size, threat
};
void NoteInfected(InfectedVersions *versions, uint64_t size, uint64_t digest, const char *threat);
// The threat found in this version before, or null.
const char *KnownInfected(const InfectedVersions &versions, uint64_t size, uint64_t digest);

// SipHash-2-4 of count bytes with key.
uint64_t SipHash24(const uint64_t key[2], const unsigned char *bytes, size_t count);

// The content digest's key for one run, made from 128 bits its owner draws: SipHash's key, and the
// words the blocks are first reduced with.
constexpr size_t DIGEST_BLOCK_WORDS = 256;  // 32-bit words in a block of bytes: 1 KB
constexpr size_t DIGEST_KEY_SHIFT = 4;      // the second reduction's words begin this far on
struct DigestKey {
    uint64_t sip[2];
    uint32_t words[DIGEST_BLOCK_WORDS + DIGEST_KEY_SHIFT];
};
void MakeDigestKey(const uint64_t seed[2], DigestKey *key);

// A 64-bit digest of count bytes that whoever writes files cannot match with other bytes of the
// same count without the key (at most a chance of about 2^-64 for any two contents chosen without
// it). Each 1 KB block (the last one filled up with zeros) is reduced to two 64-bit sums by NH, a
// sum of products of key and message words, once with the key's words from the first and once from
// the DIGEST_KEY_SHIFT-th on: two contents that give the same sums in one do so in the other only
// by a chance of 2^-32. SipHash-2-4 then takes the sums and the count: far cheaper than SipHash
// over every byte.
uint64_t ContentDigest(const DigestKey &key, const unsigned char *bytes, size_t count);

// The same digest taken while the bytes arrive: each whole block is reduced as soon as it is there,
// while it is still in the processor's cache, rather than all of them once the content was read.
struct DigestRun {
    uint64_t v[4];
    size_t done;                // bytes reduced, whole blocks
};
void BeginDigest(const DigestKey &key, DigestRun *run);
// bytes holds the content's first count bytes (count never less than before): its whole blocks
// not reduced yet are.
void DigestOn(const DigestKey &key, DigestRun *run, const unsigned char *bytes, size_t count);
// The digest of the content's first count bytes, the blocks reduced before included.
uint64_t EndDigest(const DigestKey &key, DigestRun *run, const unsigned char *bytes, size_t count);

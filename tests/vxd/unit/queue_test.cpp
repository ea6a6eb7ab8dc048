// The driver's memory of what it scanned and what waits: which file it vouches for unread, which
// bytes repeat a version judged, the versions found infected, the content digest, the scan queue's
// order and bound, and which writes belong to an arrival.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "vxd/queue/name_queue.h"
#include "vxd/queue/version_rules.h"
#include "vxd/watch/arrivals.h"
#include "vxd/watch/settle.h"

TEST(DriverVersions, WhatTheMemoryVouchesForAndWhatItCatchesAgain)
{
    const uint64_t s = 10000000;   // a second in file-time units
    const uint64_t c = 1000 * s;   // the change mark when the version was read
    const uint64_t D = 0xABCD, E = 0x1234;
    const VersionRecord clean = {VERSION_CLEAN, {7, 68, c}, c + 3 * s, D};
    const VersionRecord cleanAtOnce = {VERSION_CLEAN, {7, 68, c}, c + s / 2, D};
    const VersionRecord cleanNoMark = {VERSION_CLEAN, {7, 68, 0}, c + 3 * s, D};
    const VersionRecord present = {VERSION_PRESENT, {7, 68, c}, c + 3 * s, 0};
    const VersionRecord pending = {VERSION_PENDING, {7, 68, c}, c + s / 2, D};
    const VersionRecord infected = {VERSION_INFECTED, {7, 68, c}, c + s / 2, D};
    const VersionRecord handled = {VERSION_HANDLED, {7, 68, c}, c + s / 2, D};
    const VersionRecord unconfirmed = {VERSION_UNCONFIRMED, {7, 68, c}, c + 3 * s, D};
    struct Case {
        const char *what;
        const VersionRecord *known;
        FileLook now;
        uint64_t digest;
        int vouches;          // passed over without reading
        int repeats;          // read, and passed over as judged already
        int seen;             // its notice came: a look at its folder reads it no more
    } cases[] = {
        {"unknown", nullptr, {7, 68, c}, D, 0, 0, 0},
        {"clean, unchanged", &clean, {7, 68, c}, D, 1, 1, 1},
        {"clean, swapped with the same size and an old time", &clean, {7, 68, c + 1}, E, 0, 0, 0},
        {"the same bytes as a clean file, in another", &clean, {9, 68, c + 9 * s}, D, 0, 1, 0},
        {"no change mark on this platform", &cleanNoMark, {7, 68, 0}, D, 0, 1, 0},
        {"read within the change mark's step", &cleanAtOnce, {7, 68, c}, D, 0, 1, 1},
        {"seen when the watch began, unchanged", &present, {7, 68, c}, E, 1, 0, 1},
        {"seen when the watch began, another file", &present, {8, 68, c}, E, 0, 0, 0},
        {"a further notice of a write in the engine's hands", &pending, {7, 68, c}, D, 0, 1, 1},
        {"saved again with the same bytes while in the engine's hands", &pending, {8, 68, c}, D, 0, 0, 0},
        {"a further notice of an infected file left in place", &infected, {7, 68, c}, D, 0, 1, 1},
        {"an infected file moved away and back", &infected, {7, 68, c + 5 * s}, D, 0, 0, 0},
        {"infected, moved here by the driver", &handled, {7, 68, c + 9 * s}, D, 0, 1, 1},
        {"renamed over the driver's name by another file", &handled, {8, 68, c + 9 * s}, D, 0, 0, 0},
        {"judged while no daemon answered", &unconfirmed, {7, 68, c}, D, 0, 0, 1},
        {"index not known", &clean, {0, 68, c}, D, 0, 1, 0},
    };
    for (const Case &k : cases) {
        EXPECT_EQ(k.vouches, VouchesUnread(k.known, k.now)) << k.what;
        EXPECT_EQ(k.repeats, RepeatsVersion(k.known, k.now, k.digest)) << k.what;
        EXPECT_EQ(k.seen, RecordsVersion(k.known, k.now)) << k.what;
    }

    InfectedVersions found = {2, {}, {}};
    NoteInfected(&found, 68, D, "one");
    NoteInfected(&found, 70, E, "two");
    NoteInfected(&found, 70, E, "two");
    EXPECT_STREQ("one", KnownInfected(found, 68, D));
    EXPECT_EQ(nullptr, KnownInfected(found, 69, D)) << "another size";
    NoteInfected(&found, 71, 0x77, "three");
    EXPECT_EQ(nullptr, KnownInfected(found, 68, D)) << "the oldest is forgotten first";
    EXPECT_STREQ("two", KnownInfected(found, 70, E));
    EXPECT_STREQ("three", KnownInfected(found, 71, 0x77));

    // SipHash-2-4's own vectors: key 00..0F, messages of no bytes and of 00..0E.
    const uint64_t key[2] = {0x0706050403020100ull, 0x0F0E0D0C0B0A0908ull};
    unsigned char message[15];
    for (unsigned char i = 0; i < sizeof message; i++)
        message[i] = i;
    EXPECT_EQ(0x726FDB47DD0E0E31ull, SipHash24(key, nullptr, 0));
    EXPECT_EQ(0xA129CA6149BE45E5ull, SipHash24(key, message, sizeof message));
}

TEST(DriverVersions, AFullMemoryForgetsTheNamesNotedFirstNotEveryName)
{
    VersionMemory memory = {3, 0, {}, {}};
    auto note = [&](uint64_t name, uint64_t digest) { Remember(&memory, name, {VERSION_CLEAN, {name, 1, 1}, 1, digest}); };
    struct Step {
        const char *what;
        char act;             // 'n' note, 'f' forget
        uint64_t name;
        const char *known;    // the names recalled afterwards, of 1 to 6
    } steps[] = {
        {"room for three", 'n', 1, "1"},
        {"", 'n', 2, "12"},
        {"", 'n', 3, "123"},
        {"the first noted goes for room, the rest stay", 'n', 4, "234"},
        {"noted again: keeps its place", 'n', 2, "234"},
        {"so it goes next", 'n', 5, "345"},
        {"forgotten", 'f', 4, "35"},
        {"room again: nothing goes", 'n', 6, "356"},
        {"forgotten and noted anew: it goes last", 'f', 3, "56"},
        {"", 'n', 3, "356"},
        {"", 'n', 1, "136"},
    };
    for (const Step &step : steps) {
        if (step.act == 'n')
            note(step.name, step.name * 10);
        else
            Forget(&memory, step.name);
        std::string known;
        for (uint64_t name = 1; name <= 6; name++) {
            if (Recalled(memory, name) != nullptr)
                known += static_cast<char>('0' + name);
        }
        EXPECT_EQ(step.known, known) << step.what << " (step " << (&step - steps) << ")";
    }
    ASSERT_NE(nullptr, Recalled(memory, 3));
    EXPECT_EQ(30u, Recalled(memory, 3)->digest);
}

// Bytes in a little-endian 32-bit word at byte offset at.
static void PutWord(std::string *bytes, size_t at, uint32_t word)
{
    for (int i = 0; i < 4; i++)
        (*bytes)[at + i] = static_cast<char>(word >> (8 * i));
}

// Two contents with one pair of words swapped through the key so that the products of one of the
// two reductions stay the same: the other reduction still tells them apart.
static std::string CollidingIn(const DigestKey &key, const std::string &bytes, size_t reduction)
{
    const uint32_t *k = key.words + reduction * DIGEST_KEY_SHIFT;
    std::string other = bytes;
    uint32_t a = 0x01020304, b = 0xA0B0C0D0;
    PutWord(&other, 8, b + k[3] - k[2]);   // (a' + k2)(b' + k3) = (b + k3)(a + k2)
    PutWord(&other, 12, a + k[2] - k[3]);
    std::string same = bytes;
    PutWord(&same, 8, a);
    PutWord(&same, 12, b);
    return same + "|" + other;
}

TEST(DriverVersions, TheContentDigestTellsEveryOtherContentOfTheSameSizeApart)
{
    const uint64_t seed[2] = {0x0123456789ABCDEFull, 0xFEDCBA9876543210ull};
    DigestKey key;
    MakeDigestKey(seed, &key);
    std::string block(3000, '\0');
    for (size_t i = 0; i < block.size(); i++)
        block[i] = static_cast<char>(i * 7 + 1);
    auto changed = [&](size_t at) { std::string b = block; b[at] ^= 0x40; return b; };
    std::string first = CollidingIn(key, block, 0), second = CollidingIn(key, block, 1);
    struct Case {
        const char *what;
        std::string one, other;
        int same;
    } cases[] = {
        {"the same bytes", block, block, 1},
        {"nothing", "", "", 1},
        {"the first byte changed", block, changed(0), 0},
        {"the last byte of the first block", block, changed(1023), 0},
        {"the first byte of the second block", block, changed(1024), 0},
        {"the last byte, in the block filled up", block, changed(2999), 0},
        {"a zero byte more, as the block is filled up", "abc", std::string("abc\0", 4), 0},
        {"nothing and one zero byte", "", std::string(1, '\0'), 0},
        {"a whole block of zeros and one more", std::string(1024, '\0'), std::string(1025, '\0'), 0},
        {"the same products in the first reduction", first.substr(0, 3000), first.substr(3001), 0},
        {"the same products in the second reduction", second.substr(0, 3000), second.substr(3001), 0},
    };
    auto digest = [&](const std::string &b) {
        return ContentDigest(key, reinterpret_cast<const unsigned char *>(b.data()), b.size());
    };
    for (const Case &k : cases)
        EXPECT_EQ(k.same, digest(k.one) == digest(k.other)) << k.what;
    const uint64_t otherSeed[2] = {seed[0], seed[1] + 1};
    DigestKey otherKey;
    MakeDigestKey(otherSeed, &otherKey);
    EXPECT_NE(digest(block), ContentDigest(otherKey, reinterpret_cast<const unsigned char *>(block.data()), block.size()))
        << "another run's key";
    // The plain loop gave this; a processor with wider multiplies takes another way to it.
    EXPECT_EQ(0x9fc38d2455a929e0ull, digest(block)) << "the same digest however the processor reduces";
}

// Taken while the bytes arrive, in whatever pieces a read brings, the digest is the one of the
// whole content.
TEST(DriverVersions, TheDigestTakenWhileReadingIsTheWholeContentsDigest)
{
    const uint64_t seed[2] = {7, 9};
    DigestKey key;
    MakeDigestKey(seed, &key);
    std::string bytes(5000, '\0');
    for (size_t i = 0; i < bytes.size(); i++)
        bytes[i] = static_cast<char>(i * 13 + 5);
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
    struct Case {
        const char *what;
        size_t total;
        std::vector<size_t> reads;   // the count read after each read
    } cases[] = {
        {"read at once", 5000, {5000}},
        {"in whole blocks", 4096, {1024, 2048, 4096}},
        {"blocks split across reads", 5000, {1, 1023, 1025, 1025, 3000, 4999, 5000}},
        {"a read that brought nothing", 3000, {2048, 2048, 3000}},
        {"less than a block", 700, {300, 700}},
        {"nothing read", 0, {}},
        {"the end already reduced", 2048, {2048}},
    };
    for (const Case &c : cases) {
        DigestRun run;
        BeginDigest(key, &run);
        for (size_t count : c.reads)
            DigestOn(key, &run, data, count);
        EXPECT_EQ(ContentDigest(key, data, c.total), EndDigest(key, &run, data, c.total)) << c.what;
    }
}

TEST(DriverQueue, EachNameOnceAndNoMoreThanRoomFor)
{
    NameQueue queue = {3, 12, 0, {}, 0, {}};
    std::vector<DroppedName> dropped;
    struct Step {
        const wchar_t *name;
        int fresh;
        int result;
        int first;    // -1: nothing dropped; else the drop is the folder's first since its names ran out
    } steps[] = {
        {L"C:\\A", 0, NAME_QUEUED, -1},
        {L"C:\\A", 1, NAME_MERGED, -1},   // the same name: keeps its place, now fresh
        {L"C:\\a", 0, NAME_QUEUED, -1},   // on a folder that tells case apart, another file
        {L"C:\\LONGER", 0, NAME_REFUSED, 1},   // no room for its characters
        {L"C:\\B", 0, NAME_QUEUED, -1},
        {L"C:\\C", 1, NAME_REFUSED, 0},   // journalled once while its names wait
    };
    for (const Step &step : steps) {
        EXPECT_EQ(step.result, PushName(&queue, step.name, L"C:\\", step.fresh, &dropped)) << step.name;
        ASSERT_EQ(step.first < 0 ? 0u : 1u, dropped.size()) << step.name;
        if (step.first >= 0) {
            EXPECT_EQ(L"C:\\", dropped[0].root);
            EXPECT_EQ(step.first, dropped[0].first) << step.name;
        }
    }
    QueuedName out;
    for (const QueuedName &expected : {QueuedName{L"C:\\A", 1}, QueuedName{L"C:\\a", 0}, QueuedName{L"C:\\B", 0}}) {
        ASSERT_EQ(1, PopName(&queue, &out));
        EXPECT_EQ(expected.path, out.path);
        EXPECT_EQ(expected.fresh, out.fresh) << out.path;
    }
    EXPECT_EQ(0, PopName(&queue, &out));
    EXPECT_EQ(NAME_QUEUED, PushName(&queue, L"C:\\LONGER", L"C:\\", 0, &dropped)) << "taken, so there is room again";
    EXPECT_EQ(NAME_REFUSED, PushName(&queue, L"C:\\D", L"C:\\", 0, &dropped)) << "no room for its characters";
    ASSERT_EQ(1u, dropped.size());
    EXPECT_EQ(1, dropped[0].first) << "its names ran out since its last drop";
}

TEST(DriverQueue, ABurstInOneFolderKeepsNoOtherWaitingBehindIt)
{
    NameQueue queue = {4, 1000, 0, {}, 0, {}};
    std::vector<DroppedName> dropped;
    struct Step {
        const wchar_t *name;
        const wchar_t *root;
        int result;
        const wchar_t *droppedOf;    // the folder a name was dropped of, or null
    } steps[] = {
        {L"R\\1", L"R", NAME_QUEUED, nullptr},
        {L"R\\2", L"R", NAME_QUEUED, nullptr},
        {L"R\\3", L"R", NAME_QUEUED, nullptr},
        {L"R\\4", L"R", NAME_QUEUED, nullptr},
        {L"R\\5", L"R", NAME_REFUSED, L"R"},
        {L"P\\1", L"P", NAME_QUEUED, L"R"},       // R's newest (R\4) makes room
        {L"P\\2", L"P", NAME_QUEUED, L"R"},       // R holds 3, P 1: R\3 goes too
        {L"P\\3", L"P", NAME_REFUSED, L"P"},      // two each: nothing more for P
        {L"R\\6", L"R", NAME_REFUSED, L"R"},
    };
    for (const Step &step : steps) {
        EXPECT_EQ(step.result, PushName(&queue, step.name, step.root, 0, &dropped)) << step.name;
        ASSERT_EQ(step.droppedOf == nullptr ? 0u : 1u, dropped.size()) << step.name;
        if (step.droppedOf != nullptr) {
            EXPECT_EQ(step.droppedOf, dropped[0].root) << step.name;
        }
    }
    QueuedName out;
    for (const wchar_t *expected : {L"R\\1", L"P\\1", L"R\\2", L"P\\2"}) {   // the folders in turn
        ASSERT_EQ(1, PopName(&queue, &out));
        EXPECT_EQ(expected, out.path);
    }
    EXPECT_EQ(0, PopName(&queue, &out));
}

TEST(DriverArrivals, WritesThatFillAnArrival)
{
    Arrivals arrivals = {2, {}, {}, 0};
    struct Step {
        const wchar_t *name;
        int arrived;
        int fresh;
    } steps[] = {
        {L"A", 1, 1},
        {L"A", 0, 1},
        {L"OLD", 0, 0},         // rewritten in place
        {L"B", 1, 1},
        {L"A", 0, 1},           // a copy that stalled, however long: still filling its arrival
        {L"C", 1, 1},           // B, heard of least lately, is forgotten for room
        {L"A", 0, 1},
        {L"OLD", 0, 1},         // once one was forgotten, every write counts (B may go on)
    };
    for (const Step &step : steps)
        EXPECT_EQ(step.fresh, NoteNotice(&arrivals, step.name, step.arrived)) << step.name << " step " << (&step - steps);
}

TEST(DriverSettle, AFolderIsLookedAtOnceItsNoticesStop)
{
    Unsettled table = {2, {}, 0};
    std::vector<std::wstring> due;
    const uint32_t start = 0xFFFFFF00u;   // the tick count wraps during the steps
    struct Step {
        uint32_t at;              // ms after start
        const wchar_t *notice;    // a file reported then, or null: only the due folders taken
        std::vector<std::wstring> due;
        uint32_t next;            // ms until the next is due, when only taken
    } steps[] = {
        {0, L"C:\\W\\a.txt", {}, 0},
        {400, L"C:\\W\\b.txt", {}, 0},
        {900, nullptr, {}, 100},                       // due a second after the first notice,
        {1000, nullptr, {}, 400},                      // but the second one put it off
        {1000, L"C:\\W\\S\\c.txt", {}, 0},
        {1400, nullptr, {L"C:\\W"}, 600},
        {1500, L"C:\\X\\d.txt", {}, 0},                // two folders wait: S and X
        {1600, L"C:\\Y\\e.txt", {L"C:\\W\\S"}, 0},     // full: the quiet longest goes at once
        {5000, nullptr, {L"C:\\X", L"C:\\Y"}, UINT32_MAX},
        {5001, L"name-without-folder", {}, 0},
        {9000, nullptr, {}, UINT32_MAX},
    };
    for (const Step &step : steps) {
        uint32_t now = start + step.at;
        due.clear();
        if (step.notice != nullptr) {
            NoteUnsettled(&table, step.notice, now, 1000, &due);
        } else {
            EXPECT_EQ(step.next, TakeSettled(&table, now, 1000, &due)) << "at " << step.at;
        }
        std::sort(due.begin(), due.end());
        EXPECT_EQ(step.due, due) << "at " << step.at;
    }
}

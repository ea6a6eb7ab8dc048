// The driver's ZIP reader on archives made here: stored and deflated members, folders and nested
// names, and archives that lie, are cut short, share their data or inflate without end, alone or
// nested, against one budget.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/zip_builder.h"
#include "vxd/options/scan_rules.h"
#include "vxd/scan/zip_directory.h"
#include "vxd/scan/zip_reader.h"

namespace {

struct Seen {
    std::string name;
    int status;
    std::string data;
    int cut;
};

// What a reading saw; nested: archives inside members are read too, charged to the same budget.
struct Reading {
    std::vector<Seen> *seen;
    const ZipLimits *limits;
    ZipBudget budget;
    bool nested;
};

int Collect(const ZipMember &member, void *context)
{
    Reading *reading = static_cast<Reading *>(context);
    reading->seen->push_back(
        {member.name, member.status, std::string(reinterpret_cast<const char *>(member.data), member.size), member.cut});
    if (reading->nested && !member.cut && HoldsZip(member.data, member.size))
        ReadZip(member.data, member.size, *reading->limits, &reading->budget, Collect, reading);
    return 1;
}

const ZipLimits testLimits = {1 << 20, 3 << 20, 100, 0};

int Read(const std::string &zip, std::vector<Seen> *seen, const ZipLimits &limits = testLimits, bool nested = false,
         int (*overdue)(void) = nullptr)
{
    Reading reading = {seen, &limits, MakeZipBudget(limits, overdue), nested};
    // In memory of its exact size, so that the sanitizers see a read past the archive's end.
    std::unique_ptr<unsigned char[]> bytes(new unsigned char[zip.size()]);
    std::copy(zip.begin(), zip.end(), bytes.get());
    return ReadZip(bytes.get(), zip.size(), limits, &reading.budget, Collect, &reading);
}

}  // namespace

TEST(DriverZip, MembersStoredDeflatedAndNested)
{
    std::string inner = BuildZip({{"deep/t.com", "inner bytes", 8, 0}});
    std::string zip = BuildZip({{"readme.txt", "plain text", 0, 0},
                                {"sub/", "", 0, 0},
                                {"sub/dir/prog.com", std::string(5000, 'x') + "tail", 8, 0},
                                {"in\x01" "ner.zip", inner, 0, 0},
                                {"", "no name", 0, 0},
                                {std::string(300, 'd') + "/t.com. .", "long", 0, 0}});
    std::vector<Seen> seen;
    ASSERT_EQ(ZIP_DONE, Read(zip, &seen));
    ASSERT_EQ(5u, seen.size()) << "the folder is not a member";
    EXPECT_EQ("readme.txt", seen[0].name);
    EXPECT_EQ("plain text", seen[0].data);
    EXPECT_EQ("sub/dir/prog.com", seen[1].name);
    EXPECT_EQ(std::string(5000, 'x') + "tail", seen[1].data);
    EXPECT_EQ("in?ner.zip", seen[2].name) << "control characters are shown as '?'";
    EXPECT_TRUE(LooksLikeZip(reinterpret_cast<const unsigned char *>(seen[2].data.data()), seen[2].data.size()));
    std::vector<Seen> nested;
    ASSERT_EQ(ZIP_DONE, Read(seen[2].data, &nested));
    ASSERT_EQ(1u, nested.size());
    EXPECT_EQ("inner bytes", nested[0].data);
    EXPECT_EQ("", seen[3].name);
    EXPECT_EQ(std::string(300, 'd') + "/t.com. .", seen[4].name) << "a long name whole";
    EXPECT_EQ(std::string(300, 'd') + "/t.com", NameAsWritten(seen[4].name)) << "judged as Windows writes it";
    EXPECT_EQ(0, LooksLikeZip(reinterpret_cast<const unsigned char *>("MZ\x90\x00"), 4));

    // Read for a judge of small files: a deflated member only as far as it needs, unless it is an
    // archive itself; stored members are there whole anyway.
    ZipLimits judged = testLimits;
    judged.judgedBytes = 100;
    std::string outer = BuildZip({{"big.com", std::string(5000, 'x'), 8, 0},
                                  {"small.com", std::string(100, 's'), 8, 0},
                                  {"in.zip", BuildZip({{"m.com", std::string(3000, 'm'), 8, 0}}), 8, 0},
                                  {"stored.com", std::string(300, 't'), 0, 0}});
    std::vector<Seen> cut;
    ASSERT_EQ(ZIP_DONE, Read(outer, &cut, judged, true));
    ASSERT_EQ(5u, cut.size());
    EXPECT_EQ(std::string(100, 'x'), cut[0].data);
    EXPECT_EQ(1, cut[0].cut);
    EXPECT_EQ(std::string(100, 's'), cut[1].data) << "a member of exactly the bytes judged is whole";
    EXPECT_EQ(0, cut[1].cut);
    EXPECT_EQ(0, cut[2].cut) << "an archive inside is inflated whole to be read";
    EXPECT_EQ("m.com", cut[3].name);
    EXPECT_EQ(1, cut[3].cut);
    EXPECT_EQ(std::string(300, 't'), cut[4].data);
    EXPECT_EQ(0, cut[4].cut);
}

TEST(DriverZip, LiesTruncationAndBombsAreSkippedNotFollowed)
{
    std::vector<size_t> central;
    std::string good = BuildZip({{"a.com", std::string(3000, 'a'), 8, 0}, {"b.com", "bbbb", 0, 0}}, &central);
    const size_t packedField = 20;   // within a directory record
    const size_t offsetField = 42;

    struct Case {
        const char *what;
        std::string zip;
        int result;
        std::vector<int> statuses;   // of the members visited, at every depth
        ZipLimits limits = testLimits;
        bool nested = false;
        int (*overdue)(void) = nullptr;
    };
    std::vector<Case> cases;
    std::string lying = good;
    Patch32(&lying, central[0] + packedField, 0x7FFFFFF0);
    cases.push_back({"packed size beyond the archive", lying, ZIP_DONE, {ZIP_MEMBER_DAMAGED, ZIP_MEMBER_READ}});
    std::string wrongOffset = good;
    Patch32(&wrongOffset, central[1] + offsetField, 0xFFFFFF00);
    cases.push_back({"local header beyond the archive", wrongOffset, ZIP_DONE, {ZIP_MEMBER_READ, ZIP_MEMBER_DAMAGED}});
    std::string shortPacked = good;
    Patch32(&shortPacked, central[0] + packedField, 10);
    cases.push_back({"deflate stream cut short", shortPacked, ZIP_DONE, {ZIP_MEMBER_DAMAGED, ZIP_MEMBER_READ}});
    std::string manyEntries = good;
    manyEntries[manyEntries.size() - 22 + 10] = 9;   // the end record claims nine entries
    cases.push_back({"more entries than the directory holds", manyEntries, ZIP_COUNT_WRONG,
                     {ZIP_MEMBER_READ, ZIP_MEMBER_READ}});
    std::string fewEntries = good;
    fewEntries[fewEntries.size() - 22 + 10] = 1;
    cases.push_back({"fewer entries than the directory holds: all are read", fewEntries, ZIP_COUNT_WRONG,
                     {ZIP_MEMBER_READ, ZIP_MEMBER_READ}});
    std::string commented = good + "PK\x03\x04" + std::string(22, 'c');   // a comment of 26 bytes
    commented[good.size() - 2] = 26;
    cases.push_back({"bytes in front, and a comment after", "MZ" + std::string(5000, 'p') + commented, ZIP_DONE,
                     {ZIP_MEMBER_READ, ZIP_MEMBER_READ}});
    cases.push_back({"bytes in front cut off", good.substr(40), ZIP_DIRECTORY_DAMAGED, {}});
    std::string between = good;
    between.insert(between.size() - 22, "between");
    cases.push_back({"bytes between the directory and the end record", between, ZIP_DONE,
                     {ZIP_MEMBER_READ, ZIP_MEMBER_READ}});
    std::string lastBytes = commented;
    Patch32(&lastBytes, central[1] + offsetField, static_cast<uint32_t>(lastBytes.size() - 26));
    cases.push_back({"a local header in the archive's last 30 bytes", lastBytes, ZIP_DONE,
                     {ZIP_MEMBER_READ, ZIP_MEMBER_DAMAGED}});
    cases.push_back({"an archive with bytes in front inside a member",
                     BuildZip({{"setup.exe", "MZ" + good, 0, 0}}), ZIP_DONE,
                     {ZIP_MEMBER_READ, ZIP_MEMBER_READ, ZIP_MEMBER_READ}, testLimits, true});
    cases.push_back({"cut before the end record", good.substr(0, good.size() - 30), ZIP_NO_DIRECTORY, {}});
    cases.push_back({"nothing", "", ZIP_NO_DIRECTORY, {}});
    std::string farDirectory = good;
    Patch32(&farDirectory, farDirectory.size() - 22 + 16, 0x7FFFFFFF);
    cases.push_back({"directory beyond the archive", farDirectory, ZIP_DIRECTORY_DAMAGED, {}});
    std::string shared = good;
    Patch32(&shared, central[1] + offsetField, 0);
    cases.push_back({"two entries on one local header", shared, ZIP_ENTRIES_OVERLAP, {}});
    cases.push_back({"encrypted and unknown method",
                     BuildZip({{"e.com", "secret", 0, 1}, {"m.com", "method 99", 99, 0}}), ZIP_DONE,
                     {ZIP_MEMBER_ENCRYPTED, ZIP_MEMBER_UNSUPPORTED}});
    const std::string zeros(2 << 20, '\0');
    cases.push_back({"a bomb: 2 MB of zeros from a few KB, member limit 1 MB",
                     BuildZip({{"bomb.txt", zeros, 8, 0}, {"after.com", "after", 0, 0}}), ZIP_DONE,
                     {ZIP_MEMBER_TOO_LARGE, ZIP_MEMBER_READ}});
    cases.push_back({"members over the member limit are inflated that far, and that counts",
                     BuildZip({{"1", zeros, 8, 0}, {"2", zeros, 8, 0}, {"3", zeros, 8, 0}, {"4", zeros, 8, 0}}),
                     ZIP_BYTES_SPENT, {ZIP_MEMBER_TOO_LARGE, ZIP_MEMBER_TOO_LARGE, ZIP_MEMBER_TOO_LARGE}});
    std::string third(900 << 10, 'z');
    cases.push_back({"members within their limit but beyond the 3 MB of one file",
                     BuildZip({{"1", third, 8, 0}, {"2", third, 8, 0}, {"3", third, 8, 0}, {"4", third, 8, 0},
                               {"5", "never", 0, 0}}),
                     ZIP_BYTES_SPENT, {ZIP_MEMBER_READ, ZIP_MEMBER_READ, ZIP_MEMBER_READ, ZIP_MEMBER_TOO_LARGE}});
    std::string inner = BuildZip({{"m", std::string(1 << 20, 'n'), 8, 0}});
    cases.push_back({"archives inside an archive share its budget",
                     BuildZip({{"a.zip", inner, 0, 0}, {"b.zip", inner, 0, 0}, {"c.zip", inner, 0, 0}}),
                     ZIP_BYTES_SPENT,
                     {ZIP_MEMBER_READ, ZIP_MEMBER_READ, ZIP_MEMBER_READ, ZIP_MEMBER_READ, ZIP_MEMBER_READ,
                      ZIP_MEMBER_TOO_LARGE},
                     testLimits, true});
    ZipLimits judged = testLimits;
    judged.judgedBytes = 200;
    cases.push_back({"inflated only as far as judged: a bomb costs nothing, and neither do four",
                     BuildZip({{"1", zeros, 8, 0}, {"2", zeros, 8, 0}, {"3", zeros, 8, 0}, {"4", zeros, 8, 0}}),
                     ZIP_DONE, {ZIP_MEMBER_READ, ZIP_MEMBER_READ, ZIP_MEMBER_READ, ZIP_MEMBER_READ}, judged});
    cases.push_back({"one member at most", good, ZIP_MEMBERS_SPENT, {ZIP_MEMBER_READ}, {1 << 20, 3 << 20, 1, 0}});
    cases.push_back({"out of time", good, ZIP_OVERDUE, {}, testLimits, false, [] { return 1; }});
    for (const Case &c : cases) {
        std::vector<Seen> seen;
        EXPECT_EQ(c.result, Read(c.zip, &seen, c.limits, c.nested, c.overdue)) << c.what;
        std::vector<int> statuses;
        for (const Seen &s : seen)
            statuses.push_back(s.status);
        EXPECT_EQ(c.statuses, statuses) << c.what;
    }
}

// A local header is read only where all of its 30 bytes lie within the archive: one that begins
// in the last 30 bytes is no header, whatever follows the archive in memory (here zeros, read by
// a bound that forgot the header's size).
TEST(DriverZip, ALocalHeaderInTheLast30BytesIsNotRead)
{
    std::vector<size_t> central;
    const std::string good = BuildZip({{"a.com", "aaaa", 0, 0}, {"b.com", "bbbb", 0, 0}}, &central);
    std::string zip = good + "PK\x03\x04" + std::string(22, 'c');
    zip[good.size() - 2] = 26;   // the end record's comment: the last 26 bytes
    Patch32(&zip, central[1] + 42, static_cast<uint32_t>(zip.size() - 26));   // the second entry's local header
    std::vector<unsigned char> memory(zip.begin(), zip.end());
    memory.resize(zip.size() + 64, 0);
    std::vector<ZipDirectoryEntry> entries;
    ASSERT_EQ(1, ReadZipDirectory(memory.data(), zip.size(), central[0], good.size() - ZIP_END_SIZE, &entries));
    ASSERT_EQ(2u, entries.size());
    EXPECT_NE(0u, entries[0].dataStart);
    EXPECT_EQ(0u, entries[1].dataStart) << "a header read past the archive's end";
}

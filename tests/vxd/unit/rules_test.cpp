// The driver's scan rules, its names for files it acts on, its report lines and its reading of the
// engine's replies.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "vxd/engine/clamd_reply.h"
#include "vxd/engine/daemon_list.h"
#include "vxd/options/scan_rules.h"
#include "vxd/report/report_line.h"

TEST(DriverRules, WhatEachScanTypeScans)
{
    const char *inUse = " com ,EXE,DO?,,TOOLONGEXT,A.B,";
    struct Case {
        uint32_t scanType;
        const char *path;
        int expected;
    } cases[] = {
        {1, "C:\\A\\T.COM", 1},          // blanks around an entry, case
        {1, "C:\\A\\t.exe", 1},
        {1, "C:\\A\\T.DOT", 1},          // "?" stands for one character
        {1, "C:\\A\\T.DO", 0},
        {1, "C:\\A\\T.DOCX", 0},
        {1, "C:\\A.COM\\T", 0},          // the folder's dot is not the file's
        {1, "C:\\A\\T.TOOLONGEXT", 0},   // an entry longer than seven is ignored
        {1, "C:\\A\\T.B", 0},            // ... and one with a dot inside
        {1, "C:\\A\\T.", 0},             // the empty entries match no empty extension
        {1, "C:\\A\\COM", 0},
        {2, "C:\\A\\T.TXT", 1},
        {2, "C:\\A\\T", 1},
        {3, "C:\\A\\LETTER.DOC", 1},
        {3, "C:\\A\\book.xls", 1},
        {3, "C:\\A\\T.RTF", 1},
        {3, "C:\\A\\T.COM", 0},
        {0, "C:\\A\\T.TXT", 1},          // a stored value outside 1 to 3 scans everything
        {7, "C:\\A\\T.TXT", 1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.expected, WantsFile(c.scanType, inUse, 1024, c.path)) << c.scanType << " " << c.path;
    EXPECT_EQ(0, IsListedExtension("COM,EXE", 3, "EXE")) << "read no further than the buffer";
    EXPECT_EQ(0, IsListedExtension(nullptr, 10, "EXE"));
    int used = 0;
    int ignored = 0;
    CountExtensions(inUse, 1024, &used, &ignored);
    EXPECT_EQ(3, used);
    EXPECT_EQ(2, ignored);
}

TEST(DriverRules, RenamedAndFreeNames)
{
    struct Case {
        const char *path;
        const char *renamed;
    } cases[] = {
        {"C:\\A\\T.EXE", "C:\\A\\T.VXE"},
        {"C:\\A\\t.doc", "C:\\A\\t.Voc"},
        {"C:\\A\\X.VXD", "C:\\A\\X._XD"},
        {"C:\\A\\X.vbs", "C:\\A\\X._bs"},
        {"C:\\A.B\\README", "C:\\A.B\\README.VIR"},
        {"C:\\A\\END.", "C:\\A\\END.VIR"},
        {"C:\\A\\T.\xc3\xa9xe", "C:\\A\\T.Vxe"},   // a first letter of two UTF-8 bytes goes whole
        {"C:\\A\\a.xbs", "C:\\A\\a.xbs.VIR"},     // "a.Vbs" would be a script
        {"C:\\A\\a.XHDX", "C:\\A\\a.XHDX.VIR"},   // a disk image
        {"C:\\A\\a.xbs  ", "C:\\A\\a.xbs  .VIR"}, // Windows drops the trailing blanks
        {"C:\\A\\a.xbsq", "C:\\A\\a.xbsq.VIR"},   // its 8.3 short name ends in .VBS
        {"C:\\A\\a*b?c:d.com", "C:\\A\\a_b_c_d.Vom"},   // written by another system: a name Windows takes
    };
    for (const Case &c : cases) {
        char out[64];
        ASSERT_EQ(1, RenamedName(c.path, out, sizeof out)) << c.path;
        EXPECT_STREQ(c.renamed, out) << c.path;
    }
    char out[12];
    EXPECT_EQ(1, RenamedName("C:\\ABC.EXE", out, sizeof out)) << "exactly fits";
    EXPECT_EQ(0, RenamedName("C:\\ABCDE.EXE", out, sizeof out));
    EXPECT_STREQ("", out);

    struct Free {
        const char *path;
        unsigned attempt;
        const char *expected;
    } frees[] = {
        {"C:\\Q\\T.VXE", 0, "C:\\Q\\T.VXE"},
        {"C:\\Q\\T.VXE", 1, "C:\\Q\\T_1.VXE"},
        {"C:\\Q\\T.VXE", 12, "C:\\Q\\T_12.VXE"},
        {"C:\\Q.D\\README", 2, "C:\\Q.D\\README_2"},
    };
    for (const Free &f : frees) {
        char name[64];
        ASSERT_EQ(1, FreeNameCandidate(f.path, f.attempt, name, sizeof name));
        EXPECT_STREQ(f.expected, name);
    }
    char small[8];
    EXPECT_EQ(0, FreeNameCandidate("C:\\T.COM", 1, small, sizeof small));
}

TEST(DriverRules, ReportLinesFollowTheMask)
{
    struct Case {
        uint32_t mask;
        uint32_t kind;
        const char *expected;   // nullptr: no line
    } cases[] = {
        {0x01, LOG_INFECTION, "Infected: X"},
        {0x00, LOG_INFECTION, nullptr},
        {0xFE, LOG_INFECTION, nullptr},
        {0x02, LOG_DISINFECTION, "Infected: X"},
        {0x04, LOG_DELETE, "Infected: X"},
        {0x08, LOG_MOVE_RENAME, "Infected: X"},
        {0x07, LOG_MOVE_RENAME, nullptr},
        {0x40, LOG_SETTINGS, "Infected: X"},
        {0x80, LOG_SUMMARY, "Infected: X"},
        {0x11, LOG_INFECTION, "JOE  Infected: X"},
        {0x21, LOG_INFECTION, "2026-01-02 03:04:05  Infected: X"},
        {0x31, LOG_INFECTION, "2026-01-02 03:04:05  JOE  Infected: X"},
        {0x30, LOG_INFECTION, nullptr},   // user and date alone make no line
    };
    for (const Case &c : cases) {
        char line[128] = "stale";
        int made = FormatReportEntry(line, sizeof line, c.mask, c.kind, "2026-01-02 03:04:05", "JOE", "Infected: X");
        EXPECT_EQ(c.expected != nullptr, made) << std::hex << c.mask << " kind " << c.kind;
        EXPECT_STREQ(c.expected ? c.expected : "", line) << std::hex << c.mask << " kind " << c.kind;
    }
    char cut[8];
    EXPECT_EQ(1, FormatReportEntry(cut, sizeof cut, 0x01, LOG_INFECTION, nullptr, nullptr, "Infected: X"));
    EXPECT_STREQ("Infecte", cut);
}

TEST(DriverRules, EngineRepliesAreReadStrictly)
{
    struct Case {
        std::string reply;
        int expected;
        const char *name;
    } cases[] = {
        {std::string("stream: OK\0", 11), CLAMD_CLEAN, ""},
        {"stream: OK\n", CLAMD_CLEAN, ""},
        {std::string("stream: Torvane.Test.UNOFFICIAL FOUND\0", 38), CLAMD_FOUND, "Torvane.Test.UNOFFICIAL"},
        {"stream: Eicar Test Signature FOUND", CLAMD_FOUND, "Eicar Test Signature"},
        {"INSTREAM size limit exceeded. ERROR", CLAMD_FILE_ERROR, ""},
        {"stream:  FOUND", CLAMD_NONSENSE, ""},       // no name
        {"stream: FOUND", CLAMD_NONSENSE, ""},
        {"stream: A\x01 FOUND", CLAMD_NONSENSE, ""},  // control character in the name
        {std::string("stream: OK\0junk", 15), CLAMD_NONSENSE, ""},
        {"HTTP/1.1 400 Bad Request", CLAMD_NONSENSE, ""},
        {"stream: OKAY", CLAMD_NONSENSE, ""},
        {"", CLAMD_NONSENSE, ""},
    };
    for (const Case &c : cases) {
        char name[32] = "stale";
        EXPECT_EQ(c.expected, ParseClamdReply(c.reply.data(), c.reply.size(), name, sizeof name)) << c.reply;
        EXPECT_STREQ(c.name, name) << c.reply;
    }
    char small[5];
    EXPECT_EQ(CLAMD_FOUND, ParseClamdReply("stream: Win.Virus FOUND", 23, small, sizeof small));
    EXPECT_STREQ("Win.", small);
    unsigned char header[4];
    ClamdChunkHeader(0x01020304ul, header);
    EXPECT_EQ(0, std::memcmp(header, "\x01\x02\x03\x04", 4));
    // A session's answers carry their command's number; anything else answers no command.
    struct Numbered {
        const char *reply;
        size_t taken;
        unsigned long id;
    } numbered[] = {
        {"1: stream: OK", 3, 1},
        {"4294967295: stream: OK", 12, 4294967295ul},
        {"4294967296: stream: OK", 0, 0},   // beyond 32 bits
        {"0: stream: OK", 0, 0},
        {"12 stream: OK", 0, 0},
        {"stream: OK", 0, 0},
        {"7:", 0, 0},
    };
    for (const Numbered &c : numbered) {
        unsigned long id = 99;
        EXPECT_EQ(c.taken, TakeSessionId(c.reply, std::strlen(c.reply), &id)) << c.reply;
        EXPECT_EQ(c.id, id) << c.reply;
    }
}

TEST(DriverRules, DaemonListsAreReadStrictly)
{
    struct Case {
        const char *text;
        const char *names;   // the daemons read, each followed by a blank
        int ignored;
    } cases[] = {
        {"127.0.0.1", "127.0.0.1:3310 ", 0},
        {" 10.0.0.5:3311 ,10.0.0.6,\t10.0.0.7:1 ", "10.0.0.5:3311 10.0.0.6:3310 10.0.0.7:1 ", 0},
        {"10.0.0.5,,", "10.0.0.5:3310 ", 0},
        {"", "", 0},
        {"10.0.0.1:0,10.0.0.1:65536,256.0.0.1,10.0.0,10.0.0.1.2,10.0.0.1:33x,1.2.3.4:", "", 7},
        // Host names, looked up when connecting; what is not a name is not handed to the resolver.
        {"localhost:3311, scan-1.office.example,SCAN_SRV", "localhost:3311 scan-1.office.example:3310 SCAN_SRV:3310 ",
         0},
        {"-scan,scan-.office,scan..office,.scan,scan.,scan office,scan/1,scan%s,a.b.3,:3310,scan:x", "", 11},
        {"a234567890123456789012345678901234567890123456789012345678901234.b", "", 1},   // a label of 64

        {"1.1.1.1,2.2.2.2,3.3.3.3,4.4.4.4,5.5.5.5,6.6.6.6,7.7.7.7,8.8.8.8,9.9.9.9",
         "1.1.1.1:3310 2.2.2.2:3310 3.3.3.3:3310 4.4.4.4:3310 5.5.5.5:3310 6.6.6.6:3310 7.7.7.7:3310 8.8.8.8:3310 ", 1},
    };
    for (const Case &c : cases) {
        DaemonAddress list[MAX_DAEMONS];
        int ignored = -1;
        int count = ParseDaemonList(c.text, 3310, list, MAX_DAEMONS, &ignored);
        std::string names;
        for (int i = 0; i < count; i++)
            names += std::string(list[i].name) + " ";
        EXPECT_EQ(c.names, names) << c.text;
        EXPECT_EQ(c.ignored, ignored) << c.text;
    }
    DaemonAddress one[1];
    int ignored = 0;
    ASSERT_EQ(1, ParseDaemonList("192.168.1.20:3310", 1, one, 1, &ignored));
    EXPECT_EQ(0, std::memcmp(one[0].ip, "\xC0\xA8\x01\x14", 4));
    EXPECT_EQ(3310u, one[0].port);
    EXPECT_EQ(0, one[0].byName);
    ASSERT_EQ(1, ParseDaemonList("Scan1:3311", 1, one, 1, &ignored));
    EXPECT_EQ(1, one[0].byName);
    EXPECT_STREQ("Scan1", one[0].host);
    EXPECT_EQ(3311u, one[0].port);
    // The longest name there may be, and one character more.
    std::string longest;
    for (int i = 0; i < 4; i++)
        longest += std::string(i < 3 ? 63 : 61, 'a' + i) + (i < 3 ? "." : "");
    ASSERT_EQ(253u, longest.size());
    ASSERT_EQ(1, ParseDaemonList((longest + ":65535").c_str(), 1, one, 1, &ignored));
    EXPECT_EQ(longest + ":65535", one[0].name);
    EXPECT_EQ(0, ParseDaemonList((longest + "e").c_str(), 1, one, 1, &ignored));
}

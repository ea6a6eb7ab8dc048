// The memory of the file versions scanned and of their verdicts, and of those the walk found when
// the watch began: a file is read again unless the memory vouches for it, a single write's several
// notices are judged once, and a version found infected is caught again wherever it appears. The
// scan thread's only.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "vxd/queue/version_rules.h"

// Which file a name referred to when it was scanned: an action acts only on that file.
struct ScannedFile {
    DWORD volume;
    DWORD indexHigh;
    DWORD indexLow;
    uint64_t size;
    FILETIME written;
    uint64_t changed;           // the change mark where the platform keeps one (Wine), else 0;
                                // not compared by SameScannedFile
};

// A version scanned: the file, and the digest of the bytes the scan read.
struct ScannedVersion {
    ScannedFile identity;
    uint64_t digest;
};

ScannedFile ScannedFileOf(const BY_HANDLE_FILE_INFORMATION &info);

// Reads what a scan compares of an open file: its index, size, time written and change mark, with
// volume 0. Asking for a volume's serial number costs more than reading a small file (under Wine it
// is a call into another process), so the scan asks it, by ReadVolume, only of a file found
// infected whose action opens the file and compares it.
int ReadScannedFile(HANDLE file, ScannedFile *out);
// The same open file read again after its bytes (a handle keeps its file, and so its index): its
// size, time written and change mark now, the rest as before.
int ReadScannedFileAgain(HANDLE file, const ScannedFile &before, ScannedFile *out);
int ReadVolume(HANDLE file, ScannedFile *out);
int SameScannedFile(const ScannedFile &a, const ScannedFile &b);   // 1 when volume, index, size
                                                                  // and time written are equal
FileLook LookOf(const ScannedFile &file);

// The digest of the bytes a scan read, keyed for this run.
uint64_t DigestOf(const unsigned char *bytes, size_t count);
// The same digest taken while the bytes arrive (see DigestRun).
void BeginReadDigest(DigestRun *run);
void ReadDigestOn(DigestRun *run, const unsigned char *bytes, size_t count);
uint64_t EndReadDigest(DigestRun *run, const unsigned char *bytes, size_t count);

// 1 when the memory vouches for the file at path, as it is now, without reading it.
int VouchedUnread(const wchar_t *path, const FileLook &now);

// 1 when the memory holds the file at path as it is now: it was read or seen since its last change.
int SeenVersion(const wchar_t *path, const FileLook &now);

// 1 when the bytes read from the file at path (version) need no judging again: a repeated notice.
int RepeatedNotice(const wchar_t *path, const ScannedVersion &version);

// The threat of a version found infected before (under any name), or null.
const char *InfectedBefore(const ScannedVersion &version);

// Forgets the version noted at path: a file that could not be read whole (an archive that could
// not be read) is no version scanned, and its next notice reads it again.
void ForgetScanned(const wchar_t *path);

// Notes version as read at path, its verdict still to come.
void NotePending(const wchar_t *path, const ScannedVersion &version);

enum {
    VERDICT_CLEAN,              // judged clean
    VERDICT_UNCONFIRMED,        // judged clean by the built-in rule alone while no daemon answered
    VERDICT_INFECTED,           // threat names what was found
};

// Notes the verdict on version, read at path. A version found infected is remembered by its bytes,
// to be caught under every name, and by name only as the appearance being dealt with.
void NoteVerdict(const wchar_t *path, const ScannedVersion &version, int verdict, const char *threat);

// Notes version, found infected, as moved from path to moved by the driver (renamed or moved
// there; moved null: deleted): what appears under the old name again is judged anew.
void NoteHandled(const wchar_t *path, const wchar_t *moved, const ScannedVersion &version);

// Notes the file at path, found by the walk when the watch began, as there (unless read since).
void NotePresent(const wchar_t *path, const FileLook &now);

// The time now as one number, as file times count (100 ns since 1601).
uint64_t FileTimeNow(void);
uint64_t FileTimeNumber(FILETIME time);

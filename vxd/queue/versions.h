// The memory of the file versions scanned, and of those the walk found when the watch began: a
// single write sends several notices, and the file is judged once; a rescan after lost notices
// reads only what the memory cannot vouch for. The scan thread's only.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

// Which file a name referred to when it was scanned: an action acts only on that file.
struct ScannedFile {
    DWORD volume;
    DWORD indexHigh;
    DWORD indexLow;
    uint64_t size;
    FILETIME written;
};

// A version scanned: the file, and the digest of the bytes the scan read.
struct ScannedVersion {
    ScannedFile identity;
    uint64_t digest;
};

ScannedFile ScannedFileOf(const BY_HANDLE_FILE_INFORMATION &info);

// Reads what a scan compares of an open file: its index, size and time written, with volume 0.
// Asking for a volume's serial number costs more than reading a small file (under Wine it is a
// call into another process), so the scan asks it, by ReadVolume, only of a file found infected
// whose action opens the file and compares it.
int ReadScannedFile(HANDLE file, ScannedFile *out);
// The same open file read again after its bytes (a handle keeps its file, and so its index): its
// size and time written now, the rest as before.
int ReadScannedFileAgain(HANDLE file, const ScannedFile &before, ScannedFile *out);
int ReadVolume(HANDLE file, ScannedFile *out);
int SameScannedFile(const ScannedFile &a, const ScannedFile &b);   // 1 when every field is equal

// The digest of the bytes a scan read, keyed for this run.
uint64_t DigestOf(const unsigned char *bytes, size_t count);

// 1 when the file at path was judged already with this size and digest: a repeated notice.
int RepeatedNotice(const wchar_t *path, uint64_t size, uint64_t digest);

// Notes version as scanned at path (the name it was read by, or the name the driver moved it to).
void NoteScanned(const wchar_t *path, const ScannedVersion &version);

// Forgets the version noted at path: a file that could not be read whole (an archive that could
// not be read) is no version scanned, and its next notice reads it again.
void ForgetScanned(const wchar_t *path);

// Notes the file at path, found by the walk when the watch began, as there (unless scanned).
void NotePresent(const wchar_t *path, uint64_t size, FILETIME written);

// 1 when a rescan after notices lost since since must read the file found at path.
int RescanNeeded(const wchar_t *path, uint64_t size, FILETIME written, uint64_t since);

// The time now as one number, as file times count (100 ns since 1601).
uint64_t FileTimeNow(void);
uint64_t FileTimeNumber(FILETIME time);

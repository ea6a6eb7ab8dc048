// The campaign's hand under Wine (scripts/campaign.py drives it): it sets up a program folder, starts
// and ends Torvane.exe there as a user does, and places files the way a Windows program does,
// through the long \\?\ form, so that names only that form reaches (a trailing dot or blank, a
// device name, a path over 260 characters) arrive as such a program would make them.
// One command a line on stdin, fields separated by tabs, paths as UTF-8 Windows paths; each is
// answered with one line, "ok [text]" or "fail <what> error=<n>":
//   sample                          ok <the test file's bytes in hex>
//   prepare <name> <action> <exclusions>
//                                   a fresh folder C:\torvane-e2e\bench_<name> (the script has
//                                   emptied it) whose driver watches its "watched" and journals,
//                                   the default settings with this action, the report on and
//                                   these exclusions; ok <folder>
//   start | stop                    Torvane.exe started (until the driver watches) or ended
//   write <path> <hex>              the file made anew with these bytes
//   rewrite <path> <hex>            the file cut to nothing and written again, its time written
//                                   set back to what it was (as a tool that keeps times does)
//   rename | copy | link <from> <to>  moved or renamed (files and folders), copied, hard linked
//   mkdir <path>                    the folder and every folder above it that is missing
//   quit
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/bench/bench_support.h"

static std::string folder;   // the program folder of the last prepare
static TorvaneRun run;       // Torvane.exe, once started
static HWND mainWindow;      // its MainWindow while it runs

// UTF-8 to UTF-16; "" for text that is not UTF-8.
static std::wstring Wide(const std::string &text)
{
    int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (count <= 0)
        return L"";
    std::wstring wide(static_cast<size_t>(count), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), &wide[0], count);
    return wide;
}

// The long form of a Windows path ("C:\x" to "\\?\C:\x"): no trailing dot or blank is dropped, no
// device name is taken for the device, and the length is bound only by the system's limit.
static std::wstring Long(const std::string &path)
{
    return L"\\\\?\\" + Wide(path);
}

static std::string Hex(const std::string &bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

static std::string Unhex(const std::string &hex)
{
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

// The file made anew, or (keepTime) cut and written again with its time written kept. 1 when done.
static int PutBytes(const std::string &path, const std::string &bytes, int keepTime)
{
    HANDLE file = CreateFileW(Long(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              keepTime ? TRUNCATE_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    FILETIME created, accessed, written;
    int ok = !keepTime || GetFileTime(file, &created, &accessed, &written);
    DWORD done = 0;
    ok = ok && WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) && done == bytes.size();
    if (ok && keepTime)
        ok = SetFileTime(file, nullptr, nullptr, &written);
    DWORD error = GetLastError();
    CloseHandle(file);
    SetLastError(error);
    return ok;
}

// Every folder of path that is missing, from the top down. 1 when the folder exists in the end.
static int MakeFolders(const std::string &path)
{
    std::wstring whole = Long(path);
    size_t start = 4 + 3;   // past "\\?\" and "C:\"
    for (size_t at = whole.find(L'\\', start); ; at = whole.find(L'\\', at + 1)) {
        std::wstring part = at == std::wstring::npos ? whole : whole.substr(0, at);
        if (!CreateDirectoryW(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return 0;
        if (at == std::wstring::npos)
            return 1;
    }
}

// The program folder: Torvane.exe, its driver watching "watched", the journal, and the settings.
// The script empties the folder before (its files may have names only the long form reaches).
static int Prepare(const std::string &name, const std::string &action, const std::string &exclusions)
{
    if (!PrepareBench(name, "watched", "watched", &folder))
        return 0;
    return SetSettingNumber("Action", static_cast<DWORD>(std::stoul(action))) && SetSettingNumber("LogToFile", 1)
           && SetSettingText("Exclusions", exclusions);
}

static int Start(void)
{
    mainWindow = StartNormally(folder, &run);
    return mainWindow != nullptr;
}

static int Stop(void)
{
    int ok = mainWindow != nullptr && CloseTorvane(run, mainWindow);
    mainWindow = nullptr;
    return ok;
}

// Carries out one command; *answer receives what follows "ok". 1 when done.
static int Perform(const std::vector<std::string> &f, std::string *answer)
{
    const std::string &c = f[0];
    size_t n = f.size();
    if (c == "sample" && n == 1) {
        *answer = Hex(TestFileBytes());
        return 1;
    }
    if (c == "prepare" && n == 4) {
        int ok = Prepare(f[1], f[2], f[3]);
        *answer = folder;
        return ok;
    }
    if (c == "start" && n == 1)
        return Start();
    if (c == "stop" && n == 1)
        return Stop();
    if ((c == "write" || c == "rewrite") && n == 3)
        return PutBytes(f[1], Unhex(f[2]), c == "rewrite");
    if (c == "rename" && n == 3)
        return MoveFileExW(Long(f[1]).c_str(), Long(f[2]).c_str(), 0);
    if (c == "copy" && n == 3)
        return CopyFileW(Long(f[1]).c_str(), Long(f[2]).c_str(), TRUE);
    if (c == "link" && n == 3)
        return CreateHardLinkW(Long(f[2]).c_str(), Long(f[1]).c_str(), nullptr);
    if (c == "mkdir" && n == 2)
        return MakeFolders(f[1]);
    SetLastError(ERROR_INVALID_FUNCTION);
    return 0;
}

static std::vector<std::string> Fields(const std::string &line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

int main(void)
{
    static char line[1 << 18];   // two paths of 32,767 characters in UTF-8, or one and its bytes in hex
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
        line[std::strcspn(line, "\r\n")] = 0;
        std::vector<std::string> fields = Fields(line);
        if (fields[0] == "quit")
            break;
        std::string answer;
        SetLastError(0);
        if (Perform(fields, &answer))
            std::printf("ok %s\n", answer.c_str());
        else
            std::printf("fail %s error=%lu\n", fields[0].c_str(), GetLastError());
        std::fflush(stdout);
    }
    if (mainWindow != nullptr)
        Stop();
    return 0;
}

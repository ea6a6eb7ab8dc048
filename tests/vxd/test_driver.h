// Private copies of the built driver for in-process tests: each copy lives in a folder of its own
// beside its own Torvane.ini, so every test gets a fresh driver with its own configuration.
#pragma once
#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "driver/address.h"
#include "driver/protocol.h"
#include "driver/status_block.h"
#include "vxd/scan/detect.h"

typedef BOOL(WINAPI *TestDriverEntry)(DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                                      LPDWORD returned, LPOVERLAPPED overlapped);

struct TestDriver {
    std::string folder;          // holds Torvane.VXD and Torvane.ini; no trailing backslash
    TestDriverEntry entry;
    ConnectReply reply;          // of the last connect
    StatusBlock *block;          // from the last connect's reply
};

// The program directory handed over at connect; static storage keeps it below 4 GB.
inline char testProgramDir[MAX_PATH];

inline std::string VxdBuildFolder(void)
{
    char value[1024];
    DWORD length = GetEnvironmentVariableA("TORVANE_BUILD", value, sizeof value);
    if (length == 0 || length >= sizeof value)
        return "";
    std::string path = std::string("Z:") + value;
    for (char &c : path) {
        if (c == '/')
            c = '\\';
    }
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    return path;
}

inline int WriteBytes(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    return out.good() ? 1 : 0;
}

// Writes bytes into a file of the driver's folder and moves it whole to name in watched (name may
// lie in a folder below): a walk never meets it half written, which would be a version of its own,
// scanned again once written.
inline int MoveInWhole(const std::string &driverFolder, const std::string &watched, const std::string &name,
                       const std::string &bytes)
{
    const std::string made = driverFolder + "\\" + name.substr(name.rfind('\\') + 1);
    return WriteBytes(made, bytes) && MoveFileA(made.c_str(), (watched + "\\" + name).c_str());
}

inline std::string ReadBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::vector<std::string> ReadLines(const std::string &path)
{
    std::vector<std::string> lines;
    std::string bytes = ReadBytes(path);
    size_t start = 0;
    for (size_t end = bytes.find('\n'); end != std::string::npos; end = bytes.find('\n', start)) {
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// Lines of the journal at folder\journal.txt that start with prefix.
inline std::vector<std::string> JournalLinesFrom(const TestDriver &driver, const std::string &prefix,
                                                 const char *name = "journal.txt")
{
    std::vector<std::string> found;
    for (const std::string &line : ReadLines(driver.folder + "\\" + name)) {
        if (line.compare(0, prefix.size(), prefix) == 0)
            found.push_back(line);
    }
    return found;
}

// Waits up to timeoutMs for condition, looking every 10 ms.
template <class Condition> inline bool WaitUntil(Condition condition, DWORD timeoutMs = 5000)
{
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

// The Unix name of a path under Wine, as "\\?\unix\..." (which reaches names that Win32 refuses,
// as a Linux program writes them); empty elsewhere.
inline std::wstring UnixForm(const std::wstring &path)
{
    typedef char *(CDECL * ToUnix)(const wchar_t *);
    auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void (*)(void)>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    char *name = toUnix != nullptr ? toUnix(path.c_str()) : nullptr;
    if (name == nullptr)
        return L"";
    std::wstring wide(std::strlen(name) + 1, L'\0');
    int length = MultiByteToWideChar(CP_UTF8, 0, name, -1, &wide[0], static_cast<int>(wide.size()));
    HeapFree(GetProcessHeap(), 0, name);
    wide.resize(length > 0 ? static_cast<size_t>(length - 1) : 0);
    std::wstring form = L"\\\\?\\unix" + wide;
    for (wchar_t &c : form)
        c = c == L'/' ? L'\\' : c;
    return form;
}

// Removes folder and everything below it, also names Win32 refuses and paths beyond MAX_PATH
// (through the Unix form under Wine, the long form elsewhere). What cannot be removed stays.
inline void RemoveTree(const std::wstring &folder)
{
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring below = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(below);
            } else {
                SetFileAttributesW(below.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(below.c_str());
            }
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

// Removes the folders that earlier runs left in temp (named prefix*). Left there, they would pile
// up, and with them the short names that Wine makes alike for long ones: a short path would lead
// into another run's folder.
inline void ClearEarlierRuns(const std::string &temp, const std::string &prefix)
{
    std::wstring wideTemp(temp.begin(), temp.end());   // the temporary folder's path is ASCII here
    std::wstring base = UnixForm(wideTemp);
    if (base.empty())
        base = L"\\\\?\\" + wideTemp;
    if (!base.empty() && base.back() == L'\\')
        base.pop_back();
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((base + L"\\" + std::wstring(prefix.begin(), prefix.end()) + L"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            RemoveTree(base + L"\\" + found.cFileName);
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

// Makes a fresh folder, places a copy of the built driver and a Torvane.ini with iniBody (lines of
// the [Driver] section) in it and loads the copy. 1 on success. The copies stay loaded until the
// process ends; the first call of a run clears away the folders of earlier runs.
inline int LoadTestDriver(const char *tag, const std::string &iniBody, TestDriver *driver)
{
    static int serial;
    char temp[MAX_PATH];
    if (GetTempPathA(sizeof temp, temp) == 0)
        return 0;
    const std::string prefix = std::string(temp) + "torvane-vxd-";
    if (serial == 0)
        ClearEarlierRuns(temp, "torvane-vxd-");
    do
        driver->folder = prefix + tag + "-" + std::to_string(++serial);
    while (!CreateDirectoryA(driver->folder.c_str(), nullptr) && serial < 1000);
    std::string file = driver->folder + "\\Torvane.VXD";
    if (!CopyFileA((VxdBuildFolder() + "\\vxd\\Torvane.VXD").c_str(), file.c_str(), TRUE))
        return 0;
    if (!WriteBytes(driver->folder + "\\Torvane.ini", "[Driver]\r\n" + iniBody))
        return 0;
    HMODULE module = LoadLibraryA(file.c_str());
    if (module == nullptr)
        return 0;
    driver->entry = reinterpret_cast<TestDriverEntry>(reinterpret_cast<void (*)(void)>(GetProcAddress(module, "DeviceIoControl")));
    driver->block = nullptr;
    std::memset(&driver->reply, 0, sizeof driver->reply);
    return driver->entry != nullptr;
}

inline int SendCode(const TestDriver &driver, uint32_t code, void *in = nullptr, DWORD inSize = 0, void *out = nullptr,
                    DWORD outSize = 0, DWORD *returned = nullptr)
{
    return driver.entry(code, in, inSize, out, outSize, returned, nullptr) ? 1 : 0;
}

// CTL_CONNECT as the front end sends it: programDir is the driver's folder, stated output 16 bytes;
// detections are posted to window as message.
inline int ConnectTestDriver(TestDriver *driver, HWND window = nullptr, UINT message = WM_VIRUS_FOUND)
{
    std::string dir = driver->folder + "\\";
    std::strncpy(testProgramDir, dir.c_str(), sizeof testProgramDir - 1);
    ConnectRequest request = {Address32(testProgramDir), message,
                              static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window)), 437, 0, 0};
    DWORD returned = 0;
    int result = SendCode(*driver, CTL_CONNECT, &request, sizeof request, &driver->reply, CONNECT_STATED_OUTPUT_SIZE, &returned);
    driver->block = FromAddress32<StatusBlock>(driver->reply.statusBlock);
    return result;
}

inline const char *TableText(uint32_t table, int number)
{
    return FromAddress32<const char>(FromAddress32<const uint32_t>(table)[number]);
}

// ---- Detections: a window that collects the names the driver posts ----------------------------

inline std::vector<std::string> detections;   // OEM names posted to the collector window

inline LRESULT CALLBACK CollectorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_VIRUS_FOUND) {
        detections.push_back(FromAddress32<const char>(static_cast<uint32_t>(lParam)));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// A message-only window standing in for the front end's MainWindow.
inline HWND MakeCollector(void)
{
    static ATOM atom;
    if (atom == 0) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = CollectorProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "TorvaneVxdTestCollector";
        atom = RegisterClassA(&windowClass);
    }
    return CreateWindowExA(0, "TorvaneVxdTestCollector", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

// Handles this thread's messages until condition holds or timeoutMs passed.
template <class Condition> inline bool PumpUntil(Condition condition, DWORD timeoutMs = 5000)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        if (condition())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

// Handles the messages posted to this thread so far. What the driver posted for a file is here once
// a file it scanned after that one is journalled: no wait is needed to see that nothing more came.
inline void PumpPending(void)
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

inline std::string TestFileBytes(void)
{
    char text[TEST_STRING_LENGTH + 1];
    BuildTestString(text);
    return text;
}

inline int WriteWide(const std::wstring &path, const std::string &bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

inline std::wstring Wide(const std::string &text, UINT codePage = CP_ACP)
{
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(codePage, 0, text.c_str(), -1, wide, MAX_PATH);
    return wide;
}

inline std::string InCodePage(UINT codePage, const std::wstring &text)
{
    std::string bytes(4 * text.size() + 1, '\0');
    WideCharToMultiByte(codePage, 0, text.c_str(), -1, &bytes[0], static_cast<int>(bytes.size()), nullptr, nullptr);
    return bytes.c_str();
}

inline bool Contains(const std::vector<std::string> &lines, const std::string &text)
{
    for (const std::string &line : lines) {
        if (line.find(text) != std::string::npos)
            return true;
    }
    return false;
}

inline bool FileExists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Whether another program may open path for reading, as a user would.
inline bool CanOpen(const std::string &path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

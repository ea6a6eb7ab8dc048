// The robot's one wait and the small text helpers every part of it uses.
#include "tests/e2e/robot.h"

#include <cstdio>

#include "vxd/texts/language_texts.h"

// Vista and later; the build targets an older Windows for the program itself.
extern "C" WINBASEAPI ULONGLONG WINAPI GetTickCount64(void);

constexpr DWORD POLL_MS = 20;

int WaitUntil(const std::function<int()> &condition, DWORD timeoutMs)
{
    ULONGLONG until = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition())
            return 1;
        if (GetTickCount64() >= until)
            return 0;
        Sleep(POLL_MS);
    }
}

std::string UnixToWindowsPath(const std::string &unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char &c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
}

std::string Visible(const std::string &text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c < 0x20 || c >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else
            out += static_cast<char>(c);
    }
    return out;
}

std::string EnvironmentValue(const char *name)
{
    char value[1024];
    DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    if (length == 0 || length >= sizeof value)
        return "";
    return std::string(value, length);
}

std::string ShownText(const char *const *texts, int number)
{
    const char *utf8 = texts[number - DRIVER_FIRST_TEXT];
    std::wstring wide(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], static_cast<int>(wide.size()));
    std::string ansi(static_cast<size_t>(WideCharToMultiByte(1252, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr)),
                     '\0');
    WideCharToMultiByte(1252, 0, wide.c_str(), -1, &ansi[0], static_cast<int>(ansi.size()), nullptr, nullptr);
    ansi.pop_back();   // the terminator
    return ansi;
}

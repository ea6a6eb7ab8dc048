// Text conversions between the wide paths of the file system and the driver's code pages, the key
// of a file name and the identity of a file.
#include "vxd/common/text.h"

#include <cstring>

int WideToCodePage(UINT codePage, const wchar_t *text, char *out, size_t size)
{
    if (out == nullptr || size == 0)
        return 0;
    size_t used = 0;
    // One character at a time, a surrogate pair as one, so a cut never splits a character.
    for (size_t i = 0; text != nullptr && text[i] != 0;) {
        int units = (IS_HIGH_SURROGATE(text[i]) && IS_LOW_SURROGATE(text[i + 1])) ? 2 : 1;
        char bytes[8];
        int count = WideCharToMultiByte(codePage, 0, text + i, units, bytes, sizeof bytes, nullptr, nullptr);
        if (count <= 0) {
            bytes[0] = '?';
            count = 1;
        }
        if (used + static_cast<size_t>(count) >= size) {
            out[used] = 0;
            return 0;
        }
        std::memcpy(out + used, bytes, static_cast<size_t>(count));
        used += static_cast<size_t>(count);
        i += static_cast<size_t>(units);
    }
    out[used] = 0;
    return 1;
}

int FullPathWide(const char *path, wchar_t *out, size_t size)
{
    wchar_t wide[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH) == 0)
        return 0;
    DWORD length = GetFullPathNameW(wide, static_cast<DWORD>(size), out, nullptr);
    return length > 0 && length < size;
}

int WideToUtf8(const wchar_t *text, char *out, size_t size)
{
    if (size == 0)
        return 0;
    int count = WideCharToMultiByte(CP_UTF8, 0, text, -1, out, static_cast<int>(size), nullptr, nullptr);
    if (count == 0)
        out[0] = 0;
    return count != 0;
}

int Utf8ToWide(const char *text, wchar_t *out, size_t size)
{
    if (size == 0)
        return 0;
    int count = MultiByteToWideChar(CP_UTF8, 0, text, -1, out, static_cast<int>(size));
    if (count == 0)
        out[0] = 0;
    return count != 0;
}

std::wstring NameKey(const wchar_t *path)
{
    std::wstring key(path);
    if (!key.empty())
        CharUpperW(&key[0]);
    return key;
}

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION &info)
{
    return {1, info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

FileIdentity IdentityOf(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info))
        return {0, 0, 0, 0};
    return IdentityOf(info);
}

int IsKnownFile(HANDLE file, DWORD indexHigh, DWORD indexLow, const FileIdentity &known)
{
    return known.known && known.indexHigh == indexHigh && known.indexLow == indexLow && SameFile(IdentityOf(file), known);
}

int SameFile(const FileIdentity &a, const FileIdentity &b)
{
    return a.known && b.known && a.volume == b.volume && a.indexHigh == b.indexHigh && a.indexLow == b.indexLow;
}

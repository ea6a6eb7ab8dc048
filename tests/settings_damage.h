// Every value of the settings key and every way one value can be damaged, written straight into the
// registry, independently of the program's own table. Shared by the in-process and the end-to-end
// tests: the first walk the whole matrix, the second a rotation through it.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

struct SettingsRow {
    const char *name;
    int text;          // 1: REG_SZ, 0: REG_DWORD
    DWORD capacity;    // bytes the load reads at most, a text's terminator included
};

// In the order the load reads them: the seal, the language, 17 numbers, 6 texts.
constexpr SettingsRow SETTINGS_ROWS[] = {
    {"Torvane", 0, 4},        {"Language", 0, 4},      {"Action", 0, 4},        {"OnlyLog", 0, 4},
    {"MacroSpecial", 0, 4},   {"StopMacros", 0, 4},    {"Type", 0, 4},          {"CompressedExe", 0, 4},
    {"Archives", 0, 4},       {"FloppyBoot", 0, 4},    {"Heuristics", 0, 4},    {"ScanOn", 0, 4},
    {"OnShutdown", 0, 4},     {"Disable", 0, 4},       {"Icon", 0, 4},          {"LogToFile", 0, 4},
    {"Append", 0, 4},         {"Log", 0, 4},           {"Ext", 0, 4},           {"LogFileName", 1, 260},
    {"MoveDir", 1, 260},      {"Exclusions", 1, 2048}, {"Extensions", 1, 512},  {"UserExtensions", 1, 512},
    {"InUse", 1, 1024},
};

enum SettingsDamage {
    DAMAGE_MISSING,
    DAMAGE_WRONG_TYPE,      // the right bytes under another type: REG_BINARY
    DAMAGE_TOO_SHORT,       // a number of 2 bytes; a text of no bytes at all
    DAMAGE_TOO_LONG,        // a number of 8 bytes; a text of its capacity in characters, terminated
    DAMAGE_NO_TERMINATOR,   // texts only: REG_SZ characters with no zero counted
};

// The damages that apply to row, DAMAGE_MISSING first.
inline std::vector<SettingsDamage> DamagesOf(const SettingsRow &row)
{
    std::vector<SettingsDamage> damages = {DAMAGE_MISSING, DAMAGE_WRONG_TYPE, DAMAGE_TOO_SHORT, DAMAGE_TOO_LONG};
    if (row.text)
        damages.push_back(DAMAGE_NO_TERMINATOR);
    return damages;
}

inline std::string DamageName(const SettingsRow &row, SettingsDamage damage)
{
    static const char *const words[] = {"missing", "of the wrong type", "too short", "too long",
                                        "without terminator"};
    return std::string(row.name) + " " + words[damage];
}

// Writes the damage into the settings key, which must exist. 1 when the registry took it.
inline int DamageSetting(const SettingsRow &row, SettingsDamage damage)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brannholt\\Torvane", 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 0;
    DWORD type = row.text ? REG_SZ : REG_DWORD;
    // One byte more than is counted, never zero: the A call adds a terminator the caller "forgot"
    // when the byte after the counted ones is a zero.
    std::string bytes = row.text ? std::string("C:\\X") + '\0' : std::string("\1\0\0\0", 4);
    DWORD count = static_cast<DWORD>(bytes.size());
    switch (damage) {
    case DAMAGE_MISSING: {
        LONG status = RegDeleteValueA(key, row.name);
        RegCloseKey(key);
        return status == ERROR_SUCCESS;
    }
    case DAMAGE_WRONG_TYPE: type = REG_BINARY; break;
    case DAMAGE_TOO_SHORT: count = row.text ? 0 : 2; break;
    case DAMAGE_TOO_LONG:
        bytes = row.text ? std::string(row.capacity, 'L') + '\0' : std::string("\1\0\0\0\0\0\0\0", 8);
        count = static_cast<DWORD>(bytes.size());
        break;
    case DAMAGE_NO_TERMINATOR:
        bytes = "C:\\X!";
        count = 4;
        break;
    }
    LONG status = RegSetValueExA(key, row.name, 0, type, reinterpret_cast<const BYTE *>(bytes.data()), count);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

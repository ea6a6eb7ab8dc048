// The robot's hand on the settings in the registry: the defaults an installation writes, and single
// values set, damaged, deleted or read back.
#include "tests/e2e/robot.h"

#include <sddl.h>

static const char SETTINGS_PARENT[] = "SOFTWARE\\Brannholt";
static const char SETTINGS_KEY[] = "SOFTWARE\\Brannholt\\Torvane";
static const char DEFAULT_EXTENSIONS[] = "COM,EXE,DLL,SYS,DRV,OVL,BIN,VXD,386,SCR,CPL,OCX,DOC,DOT,XLS,XLT";

static HKEY OpenSettings(int create)
{
    HKEY key = nullptr;
    LONG status = create ? RegCreateKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_KEY, 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &key, nullptr)
                         : RegOpenKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_KEY, 0, KEY_ALL_ACCESS, &key);
    return status == ERROR_SUCCESS ? key : nullptr;
}

int SetSettingBytes(const char *name, DWORD type, const std::string &bytes)
{
    HKEY key = OpenSettings(1);
    if (key == nullptr)
        return 0;
    LONG status = RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE *>(bytes.data()),
                                 static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

int SetSettingNumber(const char *name, DWORD value)
{
    return SetSettingBytes(name, REG_DWORD, std::string(reinterpret_cast<const char *>(&value), sizeof value));
}

int SetSettingText(const char *name, const std::string &value)
{
    return SetSettingBytes(name, REG_SZ, std::string(value.c_str(), value.size() + 1));
}

int DeleteSetting(const char *name)
{
    HKEY key = OpenSettings(0);
    if (key == nullptr)
        return 0;
    LONG status = RegDeleteValueA(key, name);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

int DeleteSettingsKey(void)
{
    HKEY parent = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_PARENT, 0, KEY_ALL_ACCESS, &parent) != ERROR_SUCCESS)
        return 1;
    LONG status = RegDeleteKeyA(parent, "Torvane");
    RegCloseKey(parent);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

int SetSettingsWritable(int writable)
{
    // Read-only: the program opens the key for all access and is refused. Changing this again and
    // deleting the key stay allowed, so a test that stops half-way spoils nothing after it.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    HKEY key = nullptr;
    int ok = ConvertStringSecurityDescriptorToSecurityDescriptorA(writable ? "D:(A;;KA;;;WD)" : "D:(A;;KRWDSD;;;WD)",
                                                                  SDDL_REVISION_1, &descriptor, nullptr)
             && RegOpenKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_KEY, 0, WRITE_DAC, &key) == ERROR_SUCCESS
             && RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
    if (key != nullptr)
        RegCloseKey(key);
    LocalFree(descriptor);
    return ok;
}

int ReadSettingNumber(const char *name, DWORD *value)
{
    HKEY key = OpenSettings(0);
    if (key == nullptr)
        return 0;
    DWORD size = sizeof *value;
    DWORD type = 0;
    LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(value), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && size == sizeof *value;
}

int ReadSettingText(const char *name, std::string *value)
{
    HKEY key = OpenSettings(0);
    if (key == nullptr)
        return 0;
    char buffer[16384];
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return 0;
    buffer[size] = 0;
    *value = buffer;     // up to the first terminator
    return 1;
}

int WriteDefaultSettings(const std::string &folder)
{
    struct Number {
        const char *name;
        DWORD value;
    };
    static const Number numbers[] = {
        {"Torvane", 0}, {"Language", 0}, {"Action", 1}, {"OnlyLog", 0}, {"MacroSpecial", 0},
        {"StopMacros", 0}, {"Type", 1}, {"CompressedExe", 1}, {"Archives", 1}, {"FloppyBoot", 1},
        {"Heuristics", 1}, {"ScanOn", 3}, {"OnShutdown", 1}, {"Disable", 1}, {"Icon", 1},
        {"LogToFile", 0}, {"Append", 1}, {"Log", 0xFF}, {"Ext", 0},
    };
    if (!DeleteSettingsKey())
        return 0;
    int ok = 1;
    for (const Number &n : numbers)
        ok &= SetSettingNumber(n.name, n.value);
    ok &= SetSettingText("LogFileName", folder + "\\Torvane.REP");
    ok &= SetSettingText("MoveDir", folder + "\\Infected");
    ok &= SetSettingText("Exclusions", "");
    ok &= SetSettingText("Extensions", DEFAULT_EXTENSIONS);
    ok &= SetSettingText("UserExtensions", "");
    ok &= SetSettingText("InUse", DEFAULT_EXTENSIONS);
    return ok;
}

// Every value of the settings key as the registry holds it, for tests that must see that nothing
// was written, or what was. Shared by the in-process and the end-to-end tests.
#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

struct StoredValue {
    DWORD type;
    std::string bytes;
    bool operator==(const StoredValue &other) const { return type == other.type && bytes == other.bytes; }
};

// The key's values by name; present is 0 when the key does not exist.
struct Snapshot {
    int present = 0;
    std::map<std::string, StoredValue> values;
    bool operator==(const Snapshot &other) const { return present == other.present && values == other.values; }
};

inline Snapshot TakeSnapshot(void)
{
    Snapshot snapshot;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brannholt\\Torvane", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return snapshot;
    snapshot.present = 1;
    std::vector<char> name(1024);
    std::vector<BYTE> data(65536);
    for (DWORD index = 0;; index++) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueA(key, index, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize) != ERROR_SUCCESS)
            break;
        snapshot.values[std::string(name.data(), nameSize)] =
            StoredValue{type, std::string(reinterpret_cast<char *>(data.data()), dataSize)};
    }
    RegCloseKey(key);
    return snapshot;
}

// Puts the key back as snapshot holds it: removed when it was absent, else with exactly its values.
inline void RestoreSnapshot(const Snapshot &snapshot)
{
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brannholt\\Torvane");
    if (!snapshot.present) {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brannholt");
        return;
    }
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brannholt\\Torvane", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr)
        != ERROR_SUCCESS)
        return;
    for (const auto &value : snapshot.values) {
        RegSetValueExA(key, value.first.c_str(), 0, value.second.type,
                       reinterpret_cast<const BYTE *>(value.second.bytes.data()),
                       static_cast<DWORD>(value.second.bytes.size()));
    }
    RegCloseKey(key);
}

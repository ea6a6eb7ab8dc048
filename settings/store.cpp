// The settings in the registry: load into the StatusBlock, save from it, both under the seal.
#include "settings/store.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <new>

#include "base/bounded.h"
#include "driver/link.h"
#include "settings/seal.h"
#include "settings/value_reader.h"

static_assert(VALUE_NUMBER == REG_DWORD && VALUE_TEXT == REG_SZ, "the table's types are the registry's");

// Opens "SOFTWARE", "Brannholt", "Torvane" under HKEY_LOCAL_MACHINE one inside the other and keeps
// only the innermost; nullptr when any of them cannot be opened. The store never creates a key.
static HKEY OpenSettingsKey(void)
{
    HKEY parent = HKEY_LOCAL_MACHINE;
    for (const char *name : SETTINGS_KEY_PATH) {
        HKEY child = nullptr;
        LONG opened = RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &child);
        if (parent != HKEY_LOCAL_MACHINE)
            RegCloseKey(parent);
        if (opened != ERROR_SUCCESS)
            return nullptr;
        parent = child;
    }
    return parent;
}

// Queries a value of at most capacity bytes into area with its type and size; 0 when it is missing
// or longer (ERROR_MORE_DATA). What the bytes may be is TakeNumberValue's and TakeTextValue's rule.
static int QueryValue(HKEY key, const char *name, unsigned char *area, DWORD capacity, DWORD *type, DWORD *size)
{
    *type = REG_NONE;
    *size = capacity;
    return RegQueryValueExA(key, name, nullptr, type, area, size) == ERROR_SUCCESS && *size <= capacity;
}

static int ReadNumber(HKEY key, const char *name, uint32_t *number)
{
    unsigned char bytes[4];
    DWORD type, size;
    return QueryValue(key, name, bytes, sizeof bytes, &type, &size) && TakeNumberValue(type, bytes, size, number);
}

// Reads a text row into area, and only when it is whole copies it into its target. A string the
// registry keeps without its terminator is refused: Wine and NT add one in the buffer when there
// is room but do not count it, so the size tells.
static int ReadText(HKEY key, const SettingsValue &value, unsigned char *area, char *target)
{
    DWORD type, size;
    return QueryValue(key, value.name, area, value.capacity, &type, &size)
           && TakeTextValue(type, area, size, value.capacity, target, value.bufferSize);
}

// Reads the seal, the language and the covered values in the table's order into the StatusBlock.
static int ReadValues(HKEY key, uint32_t *storedSeal, unsigned char *textArea)
{
    if (!ReadNumber(key, SEAL_VALUE_NAME, storedSeal) || !ReadNumber(key, LANGUAGE_VALUE_NAME, &languageId))
        return 0;
    for (const SettingsValue &value : COVERED_VALUES) {
        if (value.target == TARGET_NUMBER) {
            if (!ReadNumber(key, value.name, NumberOf(statusBlock, value)))
                return 0;
        } else {
            char *text = TextOf(statusBlock, value);
            if (text == nullptr || !ReadText(key, value, textArea, text))
                return 0;
        }
    }
    return 1;
}

int LoadSettings(void)
{
    if (statusBlock == nullptr)
        return 0;
    // One working buffer: SealInput at its start, the area each text is read into at its end.
    std::unique_ptr<unsigned char[]> work(new (std::nothrow) unsigned char[LOAD_BUFFER_SIZE]);
    if (!work)
        return 0;
    unsigned char *textArea = work.get() + LOAD_BUFFER_SIZE - MAX_TEXT_CAPACITY;
    HKEY key = OpenSettingsKey();
    if (key == nullptr)
        return 0;
    uint32_t storedSeal = 0;
    int read = ReadValues(key, &storedSeal, textArea);
    RegCloseKey(key);
    if (!read)
        return 0;

    SealParts parts;
    size_t length = 0;
    if (!GatherSealParts(statusBlock, &parts)
        || !BuildSealInput(parts, work.get(), LOAD_BUFFER_SIZE - MAX_TEXT_CAPACITY, &length))
        return 0;
    // A stored seal of 0 lets any values load once; the save at start-up then stores the true one.
    return storedSeal == 0 || SealCrc(work.get(), static_cast<uint32_t>(length)) == storedSeal;
}

static int WriteNumber(HKEY key, const char *name, uint32_t number)
{
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&number), sizeof number)
           == ERROR_SUCCESS;
}

static int WriteValues(HKEY key)
{
    for (const SettingsValue &value : COVERED_VALUES) {
        if (value.target == TARGET_NUMBER) {
            if (!WriteNumber(key, value.name, *NumberOf(statusBlock, value)))
                return 0;
        } else {
            // BuildSealInput has found the terminator within the capacity.
            const char *text = TextOf(statusBlock, value);
            DWORD size = static_cast<DWORD>(BoundedLength(text, value.capacity) + 1);
            if (RegSetValueExA(key, value.name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text), size)
                != ERROR_SUCCESS)
                return 0;
        }
    }
    return 1;
}

int SaveSettings(void)
{
    if (statusBlock == nullptr)
        return 0;
    uint32_t seal;
    {
        std::unique_ptr<unsigned char[]> work(new (std::nothrow) unsigned char[SAVE_BUFFER_SIZE]);
        SealParts parts;
        size_t length = 0;
        // SealInput is built before anything is written: a text that the next load would refuse
        // (an exclusion list of 2048 characters or more) stores nothing, so the settings in the
        // registry stay loadable instead of stopping every later start.
        if (!work || !GatherSealParts(statusBlock, &parts)
            || !BuildSealInput(parts, work.get(), SAVE_BUFFER_SIZE, &length))
            return 0;
        seal = SealCrc(work.get(), static_cast<uint32_t>(length));
    }
    HKEY key = OpenSettingsKey();
    if (key == nullptr)
        return 0;
    // The seal and the language go last: a write that fails on the way leaves the old seal.
    int saved = WriteValues(key) && WriteNumber(key, SEAL_VALUE_NAME, seal)
                && WriteNumber(key, LANGUAGE_VALUE_NAME, languageId);
    RegCloseKey(key);
    return saved;
}

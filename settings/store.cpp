// The settings in the registry: load into the StatusBlock, save from it, both under the seal.
#include "settings/store.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <new>

#include "base/bounded.h"
#include "driver/link.h"
#include "settings/seal.h"

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

// A number must hold exactly four bytes. More do not fit (ERROR_MORE_DATA); fewer are refused like
// a missing value, since they would leave part of the field and of its seal bytes undefined.
static int ReadNumber(HKEY key, const char *name, uint32_t *number)
{
    uint32_t bytes = 0;
    DWORD size = sizeof bytes;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(&bytes), &size) != ERROR_SUCCESS
        || size != sizeof bytes)
        return 0;
    *number = bytes;
    return 1;
}

// Reads a text of at most capacity bytes, terminator included, into area, and only when it is whole
// copies it into target. Registry strings may be stored without their terminator: the text ends at
// the first zero byte within the size the registry reports, or at that size, and it still needs
// room for its terminator. A refused text leaves target as it was, terminated.
static int ReadText(HKEY key, const char *name, uint32_t capacity, char *area, char *target)
{
    DWORD size = capacity;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(area), &size) != ERROR_SUCCESS
        || size > capacity)
        return 0;
    size_t length = BoundedLength(area, size);
    if (length >= capacity)
        return 0;
    std::memcpy(target, area, length);
    target[length] = 0;
    return 1;
}

// Reads the seal, the language and the covered values in the table's order into the StatusBlock.
static int ReadValues(HKEY key, uint32_t *storedSeal, char *textArea)
{
    if (!ReadNumber(key, SEAL_VALUE_NAME, storedSeal) || !ReadNumber(key, LANGUAGE_VALUE_NAME, &languageId))
        return 0;
    for (const SettingsValue &value : COVERED_VALUES) {
        if (value.target == TARGET_NUMBER) {
            if (!ReadNumber(key, value.name, NumberOf(statusBlock, value)))
                return 0;
        } else {
            char *text = TextOf(statusBlock, value);
            if (text == nullptr || !ReadText(key, value.name, value.capacity, textArea, text))
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
    char *textArea = reinterpret_cast<char *>(work.get() + LOAD_BUFFER_SIZE - MAX_TEXT_CAPACITY);
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

// Reading texts from the LanguageTable in force and converting them for display.
#include "driver/texts.h"

#include <memory>
#include <new>

#include "base/bounded.h"
#include "driver/address.h"
#include "driver/link.h"
#include "driver/readable.h"

const char *StoredText(int number)
{
    if (languageTable == nullptr || number < 0 || number >= static_cast<int>(LANGUAGE_TABLE_ENTRIES))
        return "";
    const char *text = FromAddress32<const char>(languageTable[number]);
    return text != nullptr ? text : "";
}

int ConvertText(int number, char *buffer, size_t size)
{
    if (buffer == nullptr || size == 0)
        return 0;
    int whole = CopyBounded(buffer, size, StoredText(number));
    OemToCharA(buffer, buffer);    // in place: a converted text is never longer than its source
    return whole;
}

// The table entry of text number, or nullptr when the table in force could not hold one there.
static const uint32_t *TableEntry(uint32_t number)
{
    uintptr_t table = reinterpret_cast<uintptr_t>(languageTable);
    if (table == 0 || number > (UINTPTR_MAX - table) / sizeof *languageTable)
        return nullptr;
    return reinterpret_cast<const uint32_t *>(table + number * sizeof *languageTable);
}

int ConvertLanguageName(uint32_t language, char *name, size_t size)
{
    if (name == nullptr || size == 0)
        return 0;
    name[0] = 0;
    if (languageList == nullptr || language >= languageCount)
        return 0;
    const uint32_t *entry = TableEntry(languageList[language]);
    if (entry == nullptr || !IsReadableMemory(entry, sizeof *entry))
        return 0;
    const char *text = FromAddress32<const char>(*entry);
    if (!IsReadableText(text, size))   // what the bounded copy reads at most
        return 0;
    int whole = CopyBounded(name, size, text);
    OemToCharA(name, name);
    return whole;
}

int LabelDialog(HWND dialog, const TextLabel *labels, size_t count)
{
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[LABEL_BUFFER_SIZE]);
    if (!buffer)
        return 0;
    for (size_t i = 0; i < count; i++) {
        ConvertText(labels[i].text, buffer.get(), LABEL_BUFFER_SIZE);
        if (labels[i].control == LABEL_TITLE)
            SetWindowTextA(dialog, buffer.get());
        else
            SetDlgItemTextA(dialog, labels[i].control, buffer.get());
    }
    return 1;
}

// The driver's LanguageTables: one table of OEM texts (code page 437) per language, built once.
#include "vxd/control/languages.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "driver/address.h"
#include "driver/protocol.h"
#include "vxd/common/shared.h"
#include "vxd/journal/journal.h"
#include "vxd/texts/language_texts.h"

static_assert(DRIVER_LAST_TEXT < LANGUAGE_TABLE_ENTRIES, "every text has its place in a table");

static const char *const *const languageTexts[DRIVER_LANGUAGES] = {englishTexts, germanTexts, frenchTexts};
static uint32_t *languageTables[DRIVER_LANGUAGES];   // LANGUAGE_TABLE_ENTRIES addresses each
static uint32_t *languageNames;                      // DRIVER_LANGUAGES text numbers

// The texts are written as UTF-8; the front end reads them as OEM text. Converts text into out
// (room for strlen(text) + 1 bytes, enough since every character takes at least one UTF-8 byte)
// and returns 1 only when code page 437 holds every character.
static int ToCodePage437(const char *text, char *out, size_t size)
{
    int wideCount = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (wideCount <= 0)
        return 0;
    std::vector<wchar_t> wide(static_cast<size_t>(wideCount));
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, wide.data(), wideCount) != wideCount)
        return 0;
    BOOL usedDefault = FALSE;
    int count = WideCharToMultiByte(437, WC_NO_BEST_FIT_CHARS, wide.data(), wideCount, out, static_cast<int>(size),
                                    nullptr, &usedDefault);
    return count > 0 && !usedDefault;
}

void BuildLanguageTables(void)
{
    if (languageNames != nullptr)
        return;
    // All texts of all languages go into one block; unused numbers point at its first byte, "".
    size_t total = 1;
    for (int language = 0; language < DRIVER_LANGUAGES; language++) {
        for (int k = 0; k < DRIVER_TEXT_COUNT; k++) {
            if (languageTexts[language][k] != nullptr)
                total += std::strlen(languageTexts[language][k]) + 1;
        }
    }
    char *texts = static_cast<char *>(AllocateLow(total));
    const uint32_t empty = Address32(texts);
    size_t used = 1;

    for (int language = 0; language < DRIVER_LANGUAGES; language++) {
        uint32_t *table = static_cast<uint32_t *>(AllocateLow(LANGUAGE_TABLE_ENTRIES * sizeof(uint32_t)));
        for (uint32_t n = 0; n < LANGUAGE_TABLE_ENTRIES; n++)
            table[n] = empty;
        for (int k = 0; k < DRIVER_TEXT_COUNT; k++) {
            const char *text = languageTexts[language][k];
            int number = DRIVER_FIRST_TEXT + k;
            if (text == nullptr) {
                JournalLine("TEXT language=%d number=%d missing", language, number);
                continue;
            }
            size_t size = std::strlen(text) + 1;
            char *oem = texts + used;
            if (!ToCodePage437(text, oem, size)) {
                // A fault of the text sources: show the bytes as written rather than nothing.
                std::memcpy(oem, text, size);
                JournalLine("TEXT language=%d number=%d not in code page 437", language, number);
            }
            table[number] = Address32(oem);
            used += size;
        }
        languageTables[language] = table;
    }

    languageNames = static_cast<uint32_t *>(AllocateLow(DRIVER_LANGUAGES * sizeof(uint32_t)));
    for (int language = 0; language < DRIVER_LANGUAGES; language++)
        languageNames[language] = LANGUAGE_NAME_TEXT + language;
}

uint32_t LanguageTableAddress(uint32_t id)
{
    if (id >= DRIVER_LANGUAGES || languageTables[id] == nullptr)
        return 0;
    return Address32(languageTables[id]);
}

uint32_t LanguageListAddress(void)
{
    return languageNames ? Address32(languageNames) : 0;
}

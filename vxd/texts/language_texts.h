// The reference driver's own texts: one array per language, written as UTF-8 in the sources and
// converted to the OEM code page when the driver builds its tables.
#pragma once

constexpr int DRIVER_FIRST_TEXT = 588;
constexpr int DRIVER_LAST_TEXT = 701;
constexpr int DRIVER_TEXT_COUNT = DRIVER_LAST_TEXT - DRIVER_FIRST_TEXT + 1;   // 114
constexpr int LANGUAGE_NAME_TEXT = 592;     // names of languages 0, 1, 2 at 592, 593, 594
constexpr int DRIVER_LANGUAGES = 3;

// Entry k holds text number DRIVER_FIRST_TEXT + k; entries 592 to 594 hold the language names in
// this language (English, German, French in that order).
extern const char *const englishTexts[DRIVER_TEXT_COUNT];
extern const char *const germanTexts[DRIVER_TEXT_COUNT];
extern const char *const frenchTexts[DRIVER_TEXT_COUNT];

// The driver's LanguageTables, handed out at the connect and at CTL_SELECT_LANGUAGE: one table of
// OEM texts (code page 437) per language, and the list of languages.
#pragma once
#include <cstdint>

// Builds, once, the OEM LanguageTable of every language and the language list. Texts that code
// page 437 cannot hold are kept as written and named in the journal.
void BuildLanguageTables(void);

// Address of language id's table; 0 when there is none.
uint32_t LanguageTableAddress(uint32_t id);

// Address of the language list (592, 593, 594); 0 before the tables are built.
uint32_t LanguageListAddress(void);

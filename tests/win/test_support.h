// A stand-in for what the driver shares, for in-process tests of the front end: a StatusBlock with
// its four buffers and a LanguageTable, all in the test program's static storage (below 4 GB).
#pragma once
#include <string>

#include "driver/status_block.h"

// Points the front end's globals (statusBlock, languageTable, languageCount, languageList) at fresh
// test records: every field zero, the address fields set, and text n reading "T<n>" (OEM) unless
// SetTestText changed it.
void InstallTestDriver(void);

// Replaces text number of the test LanguageTable (stored as given, i.e. as OEM bytes).
void SetTestText(int number, const std::string &text);

// The buffers behind the address fields of the test StatusBlock.
char *TestBuffer(uint32_t StatusBlock::*field);

// The in-process stand-in for the driver's shared records.
#include "tests/win/test_support.h"

#include <array>
#include <cstring>
#include <map>

#include "app/bounded.h"
#include "driver/address.h"
#include "driver/link.h"

static StatusBlock testBlock;
static char extensionsBuffer[EXTENSIONS_SIZE];
static char userExtensionsBuffer[USER_EXTENSIONS_SIZE];
static char inUseBuffer[IN_USE_SIZE];
static char exclusionsBuffer[EXCLUSIONS_SIZE];
static uint32_t testTable[LANGUAGE_TABLE_ENTRIES];
static char testTexts[LANGUAGE_TABLE_ENTRIES][256];
static const uint32_t testLanguageList[3] = {592, 593, 594};

void InstallTestDriver(void)
{
    std::memset(&testBlock, 0, sizeof testBlock);
    std::memset(extensionsBuffer, 0, sizeof extensionsBuffer);
    std::memset(userExtensionsBuffer, 0, sizeof userExtensionsBuffer);
    std::memset(inUseBuffer, 0, sizeof inUseBuffer);
    std::memset(exclusionsBuffer, 0, sizeof exclusionsBuffer);
    testBlock.extensions = Address32(extensionsBuffer);
    testBlock.userExtensions = Address32(userExtensionsBuffer);
    testBlock.inUse = Address32(inUseBuffer);
    testBlock.exclusions = Address32(exclusionsBuffer);
    for (uint32_t n = 0; n < LANGUAGE_TABLE_ENTRIES; n++) {
        std::string text = "T" + std::to_string(n);
        CopyBounded(testTexts[n], text.c_str());
        testTable[n] = Address32(testTexts[n]);
    }
    statusBlock = &testBlock;
    languageTable = testTable;
    languageCount = 3;
    languageList = testLanguageList;
    languageId = 0;
}

void SetTestText(int number, const std::string &text)
{
    CopyBounded(testTexts[number], text.c_str());
}

char *TestBuffer(uint32_t StatusBlock::*field)
{
    return FromAddress32<char>(testBlock.*field);
}

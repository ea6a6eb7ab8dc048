// The SettingsSeal: a CRC-32 over SealInput, the bytes of every covered setting. No windows.h here.
#pragma once
#include <cstddef>
#include <cstdint>

#include "driver/status_block.h"
#include "settings/values.h"

// CRC-32 of length bytes: reflected polynomial 0xEDB88320, register preset to all ones, no final
// inversion. "123456789" gives 0x340BC6D9, no bytes 0xFFFFFFFF.
uint32_t SealCrc(const void *bytes, uint32_t length);

// What the seal covers, in the order of COVERED_VALUES: the numbers, then the texts.
struct SealParts {
    uint32_t numbers[SEAL_NUMBER_COUNT];
    const char *texts[SEAL_TEXT_COUNT];
};

// Takes the covered settings from block (texts by pointer, not copied). 0 when block is null or a
// buffer address is 0, else 1.
int GatherSealParts(const StatusBlock *block, SealParts *parts);

// Builds SealInput into buffer (size bytes): each number as its four little-endian bytes at
// 4 * its position, then each text's characters without terminator or separator. Returns 1 with
// *length set, or 0 (length 0) when a text is null or has no terminator within the capacity the
// load reads it with -- the load would refuse it -- or when the input would not fit buffer.
// Load and save both build through here, so the same settings always give the same bytes.
int BuildSealInput(const SealParts &parts, unsigned char *buffer, size_t size, size_t *length);

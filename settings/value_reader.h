// What the settings load makes of one registry value as the registry hands it over: its type and
// its bytes. Pure logic, no windows.h, so that it is fuzzed and run under the sanitizers.
#pragma once
#include <cstddef>
#include <cstdint>

#include "settings/values.h"

// A number value: of type VALUE_NUMBER and exactly four bytes, little-endian. 1 with *number set;
// 0 with *number unchanged for another type or size (fewer bytes would leave part of the field and
// of its seal bytes undefined; more do not fit).
int TakeNumberValue(uint32_t type, const unsigned char *bytes, size_t size, uint32_t *number);

// A text value of the row's capacity: of type VALUE_TEXT, at most capacity bytes, holding its
// terminator; the text is what comes before the first zero byte. 1 with the text and its terminator
// copied into target (targetSize bytes); 0 with target unchanged when the type is another, the
// value is longer than capacity, no zero byte lies within it (also an empty value of no bytes at
// all), or the text would not fit targetSize. Reads no byte past bytes + size.
int TakeTextValue(uint32_t type, const unsigned char *bytes, size_t size, size_t capacity, char *target,
                  size_t targetSize);

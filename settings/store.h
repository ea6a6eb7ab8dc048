// The settings in the registry, sealed with a CRC-32 (the value table is in settings/values.h).
#pragma once

// Reads the seal, "Language" and every covered value, in the table's order, into the StatusBlock
// fields, the driver's buffers and languageId, then checks the seal. Only reads the registry.
// 1 when every value was read and the seal holds (or the stored seal is 0). 0 when the key path
// cannot be opened, a value is missing or of another type than it is saved with, a number does not
// hold exactly four bytes, a text does not fit its capacity or holds no terminator, or the seal
// differs. Nothing is rolled back: the values read before a failure stay in the StatusBlock; a
// refused value leaves its target unchanged.
int LoadSettings(void);

// Writes every covered value, then the new seal, then "Language". 1 when all writes succeeded,
// else 0. Changes nothing in memory. Writes nothing at all (0) when the key path cannot be opened
// or a text would not load again (no terminator within its read capacity); a write failing on
// the way leaves the values before it written and the old seal in place.
int SaveSettings(void);

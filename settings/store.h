// The settings in the registry, sealed with a CRC-32.
#pragma once

// Reads every value into the StatusBlock, its buffers and languageId, then checks the seal.
// 1 when every value was read and the seal holds (or the stored seal is 0), else 0.
int LoadSettings(void);

// Writes every setting, a new seal and the language. 1 when all writes succeeded, else 0.
// Changes nothing in memory.
int SaveSettings(void);

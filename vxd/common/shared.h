// The record the driver shares with the front end, and the memory below 4 GB that it and every
// other buffer the front end reaches through an address live in.
#pragma once
#include <cstddef>

#include "driver/status_block.h"

// The record the front end shares: null until the first connect makes it, then the same record
// for the whole run. The front end writes its settings into it without a lock.
extern StatusBlock *sharedBlock;

// Zeroed, committed memory below 4 GB (so that 32-bit addresses reach it) that is never released.
// Ends the process with a message on stderr when no such memory can be had.
void *AllocateLow(size_t size);

// The driver file's trailer check on any bytes. Holds: only ten bytes or more whose first six are
// "FW3050" pass, and nothing past count is read.
#include "driver/protocol.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::unique_ptr<unsigned char[]> bytes = ExactCopy(data, size);
    int expected = size >= TRAILER_SIZE && std::memcmp(data, TRAILER_MARK, 6) == 0;
    FUZZ_CHECK(CheckTrailer(bytes.get(), size) == expected, "the mark in the first six of ten bytes");
    return 0;
}

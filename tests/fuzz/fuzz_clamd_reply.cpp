// The ClamAV daemon's reply to INSTREAM, any bytes, with a name buffer of any size. Holds: the
// verdict is one of four; a signature name comes only with FOUND, is terminated within its buffer,
// free of control characters and taken from the reply; the reply is read within its length.
#include <string>

#include "tests/fuzz/fuzz_support.h"
#include "vxd/engine/clamd_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    size_t nameSize = TakeByte(&data, &size) % 96;
    std::unique_ptr<unsigned char[]> bytes = ExactCopy(data, size);
    std::unique_ptr<char[]> name(new char[nameSize ? nameSize : 1]);
    std::memset(name.get(), 'Z', nameSize ? nameSize : 1);
    int verdict = ParseClamdReply(reinterpret_cast<const char *>(bytes.get()), size, nameSize ? name.get() : nullptr,
                                  nameSize);
    FUZZ_CHECK(verdict >= CLAMD_CLEAN && verdict <= CLAMD_NONSENSE, "one of the four verdicts");
    if (nameSize == 0)
        return 0;
    size_t length = 0;
    while (length < nameSize && name[length] != 0)
        length++;
    FUZZ_CHECK(length < nameSize, "the name is terminated within its buffer");
    if (verdict != CLAMD_FOUND) {
        FUZZ_CHECK(length == 0, "a name only with FOUND");
        return 0;
    }
    FUZZ_CHECK(length > 0 || nameSize == 1, "FOUND names its signature");
    std::string reply(reinterpret_cast<const char *>(data), size);
    FUZZ_CHECK(reply.compare(0, 8, "stream: ") == 0, "FOUND only after \"stream: \"");
    FUZZ_CHECK(reply.find(std::string(name.get(), length), 8) == 8, "the name is the reply's, from its start");
    for (size_t i = 0; i < length; i++)
        FUZZ_CHECK(static_cast<unsigned char>(name[i]) >= 0x20 && name[i] != 0x7F, "no control character");
    return 0;
}

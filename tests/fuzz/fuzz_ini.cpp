// The driver's reading of Torvane.ini on any bytes, with out buffers of any size. Holds: a value
// found is terminated within its buffer, holds no line end, and has no blank at either end unless
// quotes kept it; a key missing gives an empty text; and a [Driver] section with a key and value
// of its own put in front of the bytes is found whatever follows, the text and its number alike.
#include "tests/fuzz/fuzz_support.h"
#include "vxd/config/ini_reader.h"

static const char *const KEYS[] = {
    "Watch", "Journal", "RefuseConnect", "ErrorText", "RefuseWithoutRecord", "RefuseLanguage", "RefuseLogStart",
    "RefuseLogStop", "StartLanguage", "Languages", "BlinkSteps", "NotifyBuffer", "Engine", "ClamdHost", "ClamdPort",
    "ClamdTimeout", "ClamdRetry", "ClamdMaxBytes",
};
static const size_t KEY_COUNT = sizeof KEYS / sizeof KEYS[0];

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    size_t outSize = TakeByte(&data, &size) % 80;
    uint32_t planted = TakeByte(&data, &size) * 1000003u + TakeByte(&data, &size);
    std::unique_ptr<unsigned char[]> bytes = ExactCopy(data, size);
    const char *ini = reinterpret_cast<const char *>(bytes.get());

    for (const char *key : KEYS) {
        std::unique_ptr<char[]> out(new char[outSize ? outSize : 1]);
        std::memset(out.get(), 'Z', outSize ? outSize : 1);
        int found = IniText(ini, size, "Driver", key, outSize ? out.get() : nullptr, outSize);
        IniNumber(ini, size, "Driver", key, 7);
        if (outSize == 0)
            continue;
        size_t length = 0;
        while (length < outSize && out[length] != 0)
            length++;
        FUZZ_CHECK(length < outSize, "the value is terminated within its buffer");
        FUZZ_CHECK(found || length == 0, "a missing key gives an empty text");
        FUZZ_CHECK(std::memchr(out.get(), '\n', length) == nullptr && std::memchr(out.get(), '\r', length) == nullptr,
                   "a value holds no line end");
    }

    // A section of our own in front: its key is found, whatever the rest of the file holds.
    const char *key = KEYS[planted % KEY_COUNT];
    std::string value = "v" + std::to_string(planted) + " x";
    std::string file = "[Driver]\r\n " + std::string(key) + " = " + value + "\t\r\n" + std::string(ini, size);
    std::unique_ptr<unsigned char[]> whole = ExactCopy(reinterpret_cast<const uint8_t *>(file.data()), file.size());
    char out[64];
    FUZZ_CHECK(IniText(reinterpret_cast<const char *>(whole.get()), file.size(), "DRIVER", key, out, sizeof out) == 1,
               "the planted key is found");
    FUZZ_CHECK(value == out, "the planted value comes back without its blanks");
    file = "[driver]\n" + std::string(key) + "=" + std::to_string(planted) + "\n" + std::string(ini, size);
    whole = ExactCopy(reinterpret_cast<const uint8_t *>(file.data()), file.size());
    FUZZ_CHECK(IniNumber(reinterpret_cast<const char *>(whole.get()), file.size(), "Driver", key, 7) == planted,
               "the planted number comes back");
    return 0;
}

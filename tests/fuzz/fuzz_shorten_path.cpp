// ShortenPath on any bytes in a buffer of exactly their size, terminated or not, as the Information
// page passes its copy of the last file scanned. Holds: nothing is read or written past the buffer;
// the result is terminated within it and never longer than the path; a path of at most 35
// characters stays as it is; the name after the last backslash survives whole at the end, after
// "..\" unless it is shown alone; the result starts with the path's root; the answer says whether
// the text changed.
#include "sheet/shorten_path.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::unique_ptr<unsigned char[]> bytes = ExactCopy(data, size);
    char *buffer = reinterpret_cast<char *>(bytes.get());
    std::string before(buffer, size);
    before = before.c_str();
    if (size > 0 && before.size() == size)
        before.pop_back();    // no terminator: the last byte gives way to one
    int changed = ShortenPath(size ? buffer : nullptr, size);
    if (size == 0) {
        FUZZ_CHECK(changed == 0, "an empty buffer is left");
        return 0;
    }
    size_t length = 0;
    while (length < size && buffer[length] != 0)
        length++;
    FUZZ_CHECK(length < size, "the result is terminated within the buffer");
    std::string after(buffer, length);
    FUZZ_CHECK(after.size() <= before.size(), "the path never grows");
    int cut = std::memchr(data, 0, size) == nullptr;
    FUZZ_CHECK(changed == (cut || after != before), "the answer says whether the text changed");
    if (before.size() <= SHORT_PATH_LIMIT) {
        FUZZ_CHECK(after == before, "a path of at most 35 characters stays");
        return 0;
    }
    size_t slash = before.rfind('\\');
    std::string name = slash == std::string::npos ? before : before.substr(slash + 1);
    FUZZ_CHECK(after.size() >= name.size() && after.compare(after.size() - name.size(), name.size(), name) == 0,
               "the name survives whole at the end");
    if (name.size() >= 31 || slash == std::string::npos) {
        FUZZ_CHECK(after == name, "a long name is shown alone");
        return 0;
    }
    std::string shortened = after.substr(0, after.size() - name.size());
    FUZZ_CHECK(shortened.size() >= 3 && shortened.compare(shortened.size() - 3, 3, "..\\") == 0,
               "dropped directories leave \"..\\\"");
    std::string head = shortened.substr(0, shortened.size() - 3);
    FUZZ_CHECK(before.compare(0, head.size(), head) == 0, "what is kept is the path's start");
    size_t root = before[1] == '\\' ? 2 : before[1] == ':' ? (before[2] == '\\' ? 3 : 2) : 0;
    FUZZ_CHECK(head.size() >= root, "the root is kept");
    FUZZ_CHECK(head.size() == root || head.back() == '\\', "directories are kept whole");
    if (name.size() + root < 31)
        FUZZ_CHECK(after.size() <= 34, "with room for a directory the result has at most 34 characters");
    return 0;
}

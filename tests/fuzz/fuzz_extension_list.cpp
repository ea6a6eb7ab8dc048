// The ExtensionList text as the extensions dialog reads it (the list in force, at most 1023
// characters of it) and writes it back. Holds: every row is shorter than a row's buffer and holds
// no comma; there is one row more than there are commas; the rows join back into the 1024 bytes of
// the list in force without overrunning it, and the join reads back to the same rows; an extension
// that Add accepts is new, has no comma or '*', and still fits when joined.
#include <vector>

#include "sheet/extension_list.h"
#include "tests/fuzz/fuzz_support.h"

static std::vector<std::string> Rows(const char *text, size_t length)
{
    std::vector<std::string> rows;
    size_t position = 0;
    char row[EXTENSION_ROW_SIZE];
    while (NextExtensionRow(text, length, &position, row, sizeof row)) {
        FUZZ_CHECK(std::strlen(row) < EXTENSION_ROW_SIZE, "a row fits its buffer");
        FUZZ_CHECK(std::strchr(row, ',') == nullptr, "a row holds no comma");
        rows.push_back(row);
        FUZZ_CHECK(rows.size() <= length + 1, "the reading ends");
    }
    return rows;
}

// Joins rows into an exact block of EXTENSION_TEXT_SIZE bytes; *all is 1 when every row went in.
static std::string Join(const std::vector<std::string> &rows, int *all)
{
    std::unique_ptr<char[]> text(new char[EXTENSION_TEXT_SIZE]);
    text[0] = 0;
    size_t joined = 0;
    for (const std::string &row : rows) {
        size_t before = std::strlen(text.get());
        if (JoinExtensionRow(text.get(), EXTENSION_TEXT_SIZE, joined, row.c_str()))
            joined++;
        else
            FUZZ_CHECK(std::strlen(text.get()) == before, "a row that does not fit leaves the text");
        FUZZ_CHECK(std::strlen(text.get()) < EXTENSION_TEXT_SIZE, "the join stays within its capacity");
    }
    *all = joined == rows.size();
    return text.get();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string typed(reinterpret_cast<const char *>(data), size < 9 ? size : 9);
    typed = typed.c_str();
    size_t skip = size < 9 ? size : 9;
    data += skip;
    size -= skip;
    std::unique_ptr<unsigned char[]> bytes = ExactCopy(data, size);
    const char *text = reinterpret_cast<const char *>(bytes.get());
    size_t length = TextLength(data, size);
    if (length > EXTENSION_TEXT_SIZE - 1)
        length = EXTENSION_TEXT_SIZE - 1;   // what the dialog reads of the list in force

    std::vector<std::string> rows = Rows(text, length);
    size_t commas = 0;
    for (size_t i = 0; i < length; i++)
        commas += text[i] == ',';
    FUZZ_CHECK(rows.size() == commas + 1, "one row more than commas");

    int all = 0;
    std::string joined = Join(rows, &all);
    FUZZ_CHECK(all, "rows read from the list in force all fit when joined");
    FUZZ_CHECK(joined.size() <= length, "cutting long entries never makes the text longer");
    FUZZ_CHECK(Rows(joined.c_str(), joined.size()) == rows, "the joined text reads back to the same rows");

    char ext[4];
    ExtensionVerdict verdict = CheckNewExtension(typed.c_str(), joined.c_str(), rows.size(), ext);
    if (verdict != EXTENSION_ADD) {
        FUZZ_CHECK(ext[0] == 0, "a refused extension leaves nothing to add");
        return 0;
    }
    FUZZ_CHECK(std::strlen(ext) == 3 && std::strpbrk(ext, ",*") == nullptr, "three characters, no ',' or '*'");
    FUZZ_CHECK(std::memcmp(ext, typed.data(), 3) == 0, "the first three typed characters");
    for (const std::string &row : rows)
        FUZZ_CHECK(row != ext, "an extension already listed is not added again");
    rows.push_back(ext);
    Join(rows, &all);
    FUZZ_CHECK(all, "an accepted extension fits the list in force");
    return 0;
}

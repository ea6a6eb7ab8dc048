// The ExclusionList text as the Exclusions page reads it into rows and rebuilds it on Apply, with
// the marks (texts 606 and 607) of each of the driver's languages and of drivers whose marks are
// long, hold blanks or begin alike, and as the driver counts it.
// Holds: each entry's row, in both shapes (made from the stored text, added by the user), reads
// back to the same entry, less the blanks its path begins with (the row leaves them out); the rows
// rebuild into at most 2047 characters of whole entries, which read back to the same rows, so a
// second fill and rebuild changes nothing; the driver counts the same entries; an entry the add
// dialog accepts fits the rebuilt text. (A path that starts with "+" without subfolders cannot be
// written back as it was; such texts end the run before the rebuild, and the add dialog refuses
// to make one.)
#include <vector>

#include "sheet/exclusion_list.h"
#include "tests/fuzz/fuzz_support.h"
#include "vxd/common/paths.h"
#include "vxd/texts/language_texts.h"

struct Entry {
    int subfolders;
    std::string path;
    bool operator==(const Entry &other) const { return subfolders == other.subfolders && path == other.path; }
};

static std::vector<Entry> Fill(const char *text, size_t length)
{
    std::vector<Entry> entries;
    size_t position = 0;
    ExclusionEntry entry;
    while (NextExclusion(text, length, &position, &entry)) {
        FUZZ_CHECK(std::strlen(entry.path) < EXCLUSION_PATH_SIZE, "a path fits its buffer");
        FUZZ_CHECK(std::strchr(entry.path, ']') == nullptr, "a path holds no ']'");
        entries.push_back({entry.subfolders, entry.path});
        FUZZ_CHECK(position <= length, "the reading stays within the text");
    }
    return entries;
}

static Entry ReadBack(const std::string &row, const ExclusionMarks &marks)
{
    Entry entry;
    entry.path = ReadExclusionRow(row.c_str(), marks, &entry.subfolders);
    return entry;
}

static std::string Row(const ExclusionMarks &marks, ExclusionRowOrigin origin, const Entry &entry)
{
    std::unique_ptr<char[]> row(new char[EXCLUSION_ROW_SIZE]);
    MakeExclusionRow(row.get(), EXCLUSION_ROW_SIZE, marks, origin, entry.subfolders, entry.path.c_str());
    FUZZ_CHECK(std::strlen(row.get()) < EXCLUSION_ROW_SIZE, "a row fits its buffer");
    return row.get();
}

// The page's rebuild: every row read back and appended as far as whole entries fit.
static std::string Rebuild(const std::vector<std::string> &rows, const ExclusionMarks &marks)
{
    std::unique_ptr<char[]> text(new char[EXCLUSION_TEXT_SIZE]);
    text[0] = 0;
    for (const std::string &row : rows) {
        Entry entry = ReadBack(row, marks);
        size_t before = std::strlen(text.get());
        if (AppendExclusion(text.get(), EXCLUSION_TEXT_SIZE, entry.subfolders, entry.path.c_str()))
            FUZZ_CHECK(std::strlen(text.get()) == before + ExclusionEntryLength(entry.subfolders, entry.path.c_str()),
                       "an appended entry takes its length");
        else
            FUZZ_CHECK(std::strlen(text.get()) == before, "an entry that does not fit leaves the text");
    }
    return text.get();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const char *const *const languages[] = {englishTexts, germanTexts, frenchTexts};
    static const ExclusionMarks others[] = {{"Incl.", "Excl."}, {"Sub yes", "Sub no"}, {"Y", "Yo"}, {"Inclus", "+"}};
    size_t choice = TakeByte(&data, &size) % (3 + sizeof others / sizeof others[0]);
    ExclusionMarks marks = choice < 3 ? ExclusionMarks{languages[choice][606 - DRIVER_FIRST_TEXT],
                                                       languages[choice][607 - DRIVER_FIRST_TEXT]}
                                      : others[choice - 3];
    std::unique_ptr<unsigned char[]> bytes = ExactCopy(data, size);
    const char *text = reinterpret_cast<const char *>(bytes.get());
    size_t length = TextLength(data, size);

    std::vector<Entry> entries = Fill(text, length);
    std::vector<std::string> rows;
    for (const Entry &entry : entries) {
        rows.push_back(Row(marks, ROW_STORED, entry));
        Entry expected = entry;
        expected.path.erase(0, expected.path.find_first_not_of(' '));
        FUZZ_CHECK(ReadBack(rows.back(), marks) == expected, "a stored row reads back to its entry");
        FUZZ_CHECK(ReadBack(Row(marks, ROW_ADDED, entry), marks) == expected, "an added row reads back to its entry");
    }

    // The driver reads as many entries as the page (when the text fits the settings' 2047).
    if (length < EXCLUSION_TEXT_SIZE) {
        int stray = 0;
        FUZZ_CHECK(CountExclusions(text, length, &stray) == static_cast<int>(entries.size()),
                   "the driver and the page read the same entries");
    }

    // The format's one ambiguity: a path that starts with "+" in an entry without subfolders is
    // written back as an entry with subfolders. Only a text made elsewhere holds one ("[ +X]"): the
    // add dialog refuses such a path.
    for (const std::string &row : rows) {
        Entry entry = ReadBack(row, marks);
        if (!entry.subfolders && !entry.path.empty() && entry.path[0] == '+')
            return 0;
    }
    std::string rebuilt = Rebuild(rows, marks);
    FUZZ_CHECK(rebuilt.size() < EXCLUSION_TEXT_SIZE, "the rebuilt text loads again");
    std::vector<Entry> again = Fill(rebuilt.c_str(), rebuilt.size());
    FUZZ_CHECK(again.size() <= entries.size(), "no entry is made up");
    // The entries rebuilt are the rows read back, in order; all of them when the text was one the
    // settings load (a longer one leaves out the entries that no longer fit).
    std::vector<std::string> rowsAgain;
    size_t next = 0;
    for (const Entry &entry : again) {
        while (next < rows.size() && !(ReadBack(rows[next], marks) == entry))
            next++;
        FUZZ_CHECK(next < rows.size(), "the rebuilt text reads back to the rows, in order");
        next++;
        rowsAgain.push_back(Row(marks, ROW_STORED, entry));
    }
    if (length < EXCLUSION_TEXT_SIZE)
        FUZZ_CHECK(again.size() == entries.size(), "a text the settings load keeps every entry");
    FUZZ_CHECK(Rebuild(rowsAgain, marks) == rebuilt, "a second fill and rebuild changes nothing");

    // The add dialog's verdict on each path: what it accepts fits the text the page rebuilds.
    for (const Entry &entry : entries) {
        int result = AddExclusionResult(entry.path.c_str(), entry.path.size(), entry.subfolders, rebuilt.size());
        if (result != 1 && result != 3)
            continue;
        std::unique_ptr<char[]> grown(new char[EXCLUSION_TEXT_SIZE]);
        std::memcpy(grown.get(), rebuilt.c_str(), rebuilt.size() + 1);
        FUZZ_CHECK(AppendExclusion(grown.get(), EXCLUSION_TEXT_SIZE, (result & 2) != 0, entry.path.c_str()),
                   "an accepted entry fits the text");
    }
    return 0;
}

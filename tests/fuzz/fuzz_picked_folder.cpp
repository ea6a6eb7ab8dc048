// The folder chooser's cut of whatever text its file dialog returns. Holds: the result is the
// start of the text, cut just before a backslash that is not its first character (the last such
// one), or empty when there is none or the text is the placeholder name in any case; nothing is
// written past the text.
#include <cctype>

#include "sheet/picked_folder.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::unique_ptr<char[]> path = TerminatedCopy(data, size);
    std::string before = path.get();
    CutPickedFolder(path.get());
    std::string after = path.get();

    std::string upper = before;
    for (char &c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    size_t slash = before.rfind('\\');
    std::string expected;
    if (upper != PICK_DUMMY_NAME && slash != std::string::npos && slash > 0)
        expected = before.substr(0, slash);
    FUZZ_CHECK(after == expected, "cut before the last backslash after the first character");
    return 0;
}

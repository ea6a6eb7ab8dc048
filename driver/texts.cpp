// Reading texts from the LanguageTable in force and converting them for display.
#include "driver/texts.h"

#include <memory>
#include <new>

#include "base/bounded.h"
#include "driver/address.h"
#include "driver/link.h"

const char *StoredText(int number)
{
    if (languageTable == nullptr || number < 0 || number >= static_cast<int>(LANGUAGE_TABLE_ENTRIES))
        return "";
    const char *text = FromAddress32<const char>(languageTable[number]);
    return text != nullptr ? text : "";
}

int ConvertText(int number, char *buffer, size_t size)
{
    if (buffer == nullptr || size == 0)
        return 0;
    int whole = CopyBounded(buffer, size, StoredText(number));
    OemToCharA(buffer, buffer);    // in place: a converted text is never longer than its source
    return whole;
}

int LabelDialog(HWND dialog, const TextLabel *labels, size_t count)
{
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[LABEL_BUFFER_SIZE]);
    if (!buffer)
        return 0;
    for (size_t i = 0; i < count; i++) {
        ConvertText(labels[i].text, buffer.get(), LABEL_BUFFER_SIZE);
        if (labels[i].control == LABEL_TITLE)
            SetWindowTextA(dialog, buffer.get());
        else
            SetDlgItemTextA(dialog, labels[i].control, buffer.get());
    }
    return 1;
}

// The driver's three text tables: every number present, formats that match their arguments, texts
// that fit the buffers and controls they go to, and characters the OEM code page can hold.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sheet/driver_format.h"
#include "vxd/texts/language_texts.h"

namespace {

struct Language {
    const char *name;
    const char *const *texts;
};

const Language languages[] = {
    {"English", englishTexts},
    {"German", germanTexts},
    {"French", frenchTexts},
};

const char *Text(const Language &language, int number)
{
    return language.texts[number - DRIVER_FIRST_TEXT];
}

std::string Where(const Language &language, int number)
{
    const char *text = Text(language, number);
    return std::string(language.name) + " text " + std::to_string(number) + " \"" + (text ? text : "(null)") + "\"";
}

// Decodes UTF-8 into code points; 0 for a malformed, overlong or surrogate sequence.
int DecodeUtf8(const char *text, std::u32string &out)
{
    out.clear();
    if (text == nullptr)
        return 0;
    const unsigned char *p = reinterpret_cast<const unsigned char *>(text);
    while (*p) {
        unsigned c = *p++;
        int more;
        char32_t cp;
        char32_t least;
        if (c < 0x80) {
            out.push_back(c);
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            more = 1, cp = c & 0x1F, least = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            more = 2, cp = c & 0x0F, least = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            more = 3, cp = c & 0x07, least = 0x10000;
        } else {
            return 0;
        }
        for (int i = 0; i < more; i++, p++) {
            if ((*p & 0xC0) != 0x80)
                return 0;
            cp = (cp << 6) | (*p & 0x3F);
        }
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return 0;
        out.push_back(cp);
    }
    return 1;
}

// Code page 437, bytes 0x80 to 0xFF, as Unicode.
constexpr char32_t cp437Upper[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

int InCodePage437(char32_t cp)
{
    if (cp >= 0x20 && cp < 0x7F)
        return 1;
    for (char32_t upper : cp437Upper) {
        if (upper == cp)
            return 1;
    }
    return 0;
}

// Characters of the text as the OEM table holds them (one byte each); -1 when not valid UTF-8.
long CharCount(const char *text)
{
    std::u32string decoded;
    return DecodeUtf8(text, decoded) ? static_cast<long>(decoded.size()) : -1;
}

// Characters a control shows: "&x" shows x, "&&" shows one "&".
long VisibleCount(const char *text)
{
    std::u32string decoded;
    if (!DecodeUtf8(text, decoded))
        return -1;
    long count = 0;
    for (size_t i = 0; i < decoded.size(); i++) {
        if (decoded[i] == U'&' && i + 1 < decoded.size())
            i++;
        count++;
    }
    return count;
}

// Texts whose '&' marks a mnemonic, grouped by the dialog or menu in which they show together.
struct MnemonicGroup {
    const char *what;
    std::vector<int> numbers;
};

const MnemonicGroup mnemonicGroups[] = {
    {"scan options page", {618, 619, 620, 621, 622, 623, 624, 626, 627, 628, 630, 631, 632}},
    {"action page", {590, 671, 672, 673, 674, 675, 676, 677}},
    {"report page", {658, 659, 660, 662, 663, 664, 665, 666, 667, 668, 669}},
    {"exclusions page", {654, 655}},
    {"add exclusion dialog", {690, 691, 692, 693}},
    {"extensions dialog", {683, 684, 685, 686, 687, 688}},
    {"information page", {648}},
    {"tray menu while enabled", {699, 603, 604}},
    {"tray menu while disabled", {698, 603, 604}},
};

int IsMnemonicLabel(int number)
{
    for (const MnemonicGroup &group : mnemonicGroups) {
        for (int n : group.numbers) {
            if (n == number)
                return 1;
        }
    }
    return 0;
}

// The mnemonic characters of a text ("&&" is a plain "&"), folded to lower case for ASCII.
std::u32string Mnemonics(const char *text, int *trailingAmpersand)
{
    std::u32string decoded, marks;
    *trailingAmpersand = 0;
    if (!DecodeUtf8(text, decoded))
        return marks;
    for (size_t i = 0; i < decoded.size(); i++) {
        if (decoded[i] != U'&')
            continue;
        if (i + 1 == decoded.size()) {
            *trailingAmpersand = 1;
            break;
        }
        i++;
        if (decoded[i] == U'&')
            continue;
        char32_t c = decoded[i];
        marks.push_back(c >= U'A' && c <= U'Z' ? c - U'A' + U'a' : c);
    }
    return marks;
}

std::string Utf8(char32_t cp)
{
    std::string s;
    if (cp < 0x80) {
        s += static_cast<char>(cp);
    } else if (cp < 0x800) {
        s += static_cast<char>(0xC0 | (cp >> 6));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        s += static_cast<char>(0xE0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
}

}   // namespace

TEST(LanguageTexts, EveryNumberHasARealText)
{
    for (const Language &language : languages) {
        for (int number = DRIVER_FIRST_TEXT; number <= DRIVER_LAST_TEXT; number++) {
            const char *text = Text(language, number);
            if (text == nullptr) {
                ADD_FAILURE() << language.name << " text " << number << " is missing";
                continue;
            }
            std::u32string decoded;
            EXPECT_TRUE(DecodeUtf8(text, decoded)) << Where(language, number) << ": not valid UTF-8";
            int visible = 0;
            for (char32_t c : decoded)
                visible |= c != U' ';
            EXPECT_TRUE(visible) << Where(language, number) << ": empty or blank";
            for (char32_t c : decoded) {
                // Only the version text runs over several lines of its static control.
                if (c < 0x20) {
                    EXPECT_TRUE(c == U'\n' && number == 700)
                        << Where(language, number) << ": control character " << static_cast<unsigned>(c);
                }
            }
        }
        // The three language names in this language: three different names.
        const char *english = Text(language, LANGUAGE_NAME_TEXT);
        const char *german = Text(language, LANGUAGE_NAME_TEXT + 1);
        const char *french = Text(language, LANGUAGE_NAME_TEXT + 2);
        EXPECT_STRNE(english, german) << language.name;
        EXPECT_STRNE(english, french) << language.name;
        EXPECT_STRNE(german, french) << language.name;
    }
}

TEST(LanguageTexts, EveryCharacterFitsTheOemCodePage)
{
    // Shown as stored in OEM bytes where the platform expects ANSI: only ASCII looks the same in both.
    const int shownAsStored[] = {588, 600, 601, 602, 609, 610};
    for (const Language &language : languages) {
        for (int number = DRIVER_FIRST_TEXT; number <= DRIVER_LAST_TEXT; number++) {
            std::u32string decoded;
            if (Text(language, number) == nullptr || !DecodeUtf8(Text(language, number), decoded))
                continue;   // reported by EveryNumberHasARealText
            int asStored = 0;
            for (int n : shownAsStored)
                asStored |= n == number;
            for (char32_t c : decoded) {
                if (c == U'\n')
                    continue;
                EXPECT_TRUE(InCodePage437(c)) << Where(language, number) << ": \"" << Utf8(c) << "\" is not in code page 437";
                // Code page 437 also holds box drawing and Greek, which the ANSI code page cannot show.
                EXPECT_LE(c, 0xFFu) << Where(language, number) << ": \"" << Utf8(c) << "\" has no ANSI counterpart";
                if (asStored) {
                    EXPECT_LT(c, 0x80u) << Where(language, number) << ": shown unconverted, must be plain ASCII";
                }
            }
        }
    }
}

TEST(LanguageTexts, FormatsMatchTheirArguments)
{
    // Checked as the About page checks them before it formats: a format it would refuse shows as
    // plain text.
    struct Format {
        int number;
        FormatArgument kind;
        int conversions;        // exactly this many
        long longestArgument;   // characters one argument may add
    };
    const Format formats[] = {
        {650, FORMAT_TEXTS, 1, 39},     // signature date, 40-byte field
        {651, FORMAT_TEXTS, 1, 39},
        {700, FORMAT_NUMBERS, 8, 11},   // 32-bit numbers
    };
    for (const Language &language : languages) {
        for (int number = DRIVER_FIRST_TEXT; number <= DRIVER_LAST_TEXT; number++) {
            const char *text = Text(language, number);
            if (text == nullptr)
                continue;
            const Format *format = nullptr;
            for (const Format &f : formats) {
                if (f.number == number)
                    format = &f;
            }
            if (format == nullptr) {
                EXPECT_EQ(nullptr, std::strchr(text, '%')) << Where(language, number) << ": '%' outside a format";
                continue;
            }
            EXPECT_TRUE(FormatFits(text, format->kind, format->conversions)) << Where(language, number);
            EXPECT_FALSE(FormatFits(text, format->kind, format->conversions - 1))
                << Where(language, number) << ": fewer conversions than arguments";
            // The formatted text goes into a 1024-byte buffer.
            long longest = CharCount(text) + format->conversions * format->longestArgument;
            EXPECT_LE(longest, 1023) << Where(language, number) << ": formatted text may not fit";
        }
    }
}

TEST(LanguageTexts, TextsFitTheirBuffers)
{
    struct Limit {
        int first, last;
        long most;
        const char *why;
    };
    const Limit limits[] = {
        {588, 588, 19, "user name field of 20 bytes"},
        {601, 602, 63, "tray tip of 64 bytes"},
        {605, 605, 99, "message buffer of 100 bytes"},
        {606, 607, 5, "exclusion mark within the column its header gives it"},
        {611, 616, 51, "tab title buffer of 52 bytes"},
        {592, 594, 49, "language name"},
    };
    for (const Language &language : languages) {
        for (const Limit &limit : limits) {
            for (int number = limit.first; number <= limit.last; number++) {
                const char *text = Text(language, number);
                ASSERT_NE(nullptr, text) << language.name << " text " << number;
                long got = CharCount(text);
                EXPECT_GE(got, 1) << Where(language, number);
                EXPECT_LE(got, limit.most) << Where(language, number) << ": " << limit.why;
            }
        }
        // The sheet caption "%s %s.%s" of product, version and "05" fills a 52-byte buffer.
        const char *product = Text(language, 600);
        const char *version = Text(language, 589);
        ASSERT_TRUE(product && version) << language.name;
        EXPECT_STREQ("Torvane", product) << language.name;
        EXPECT_TRUE(version[0] != 0 && std::strspn(version, "0123456789") == std::strlen(version))
            << Where(language, 589) << ": digits only";
        EXPECT_LE(CharCount(product) + 1 + CharCount(version) + 3, 51) << language.name << " sheet caption";

        // Rows are read back by their mark: two equal marks could not be told apart.
        EXPECT_STRNE(Text(language, 606), Text(language, 607)) << language.name;
    }
}

TEST(LanguageTexts, LabelsFitTheirControlsAndMnemonicsAreUnique)
{
    // Push buttons, check boxes, option buttons and menu items; translations are given some room.
    struct Width {
        const char *language;
        long most;
    };
    const Width widths[] = {{"English", 30}, {"German", 36}, {"French", 36}};
    for (const Language &language : languages) {
        long most = 0;
        for (const Width &w : widths) {
            if (std::strcmp(w.language, language.name) == 0)
                most = w.most;
        }
        for (int number = DRIVER_FIRST_TEXT; number <= DRIVER_LAST_TEXT; number++) {
            const char *text = Text(language, number);
            if (text == nullptr)
                continue;
            int trailing;
            std::u32string marks = Mnemonics(text, &trailing);
            EXPECT_FALSE(trailing) << Where(language, number) << ": '&' at the end";
            if (!IsMnemonicLabel(number)) {
                EXPECT_EQ(nullptr, std::strchr(text, '&')) << Where(language, number) << ": '&' outside a control label";
                continue;
            }
            EXPECT_LE(marks.size(), 1u) << Where(language, number) << ": more than one mnemonic";
            EXPECT_LE(VisibleCount(text), most) << Where(language, number) << ": too long for its control";
        }
        for (const MnemonicGroup &group : mnemonicGroups) {
            for (size_t i = 0; i < group.numbers.size(); i++) {
                int trailing;
                std::u32string a = Mnemonics(Text(language, group.numbers[i]), &trailing);
                for (size_t j = i + 1; j < group.numbers.size() && !a.empty(); j++) {
                    std::u32string b = Mnemonics(Text(language, group.numbers[j]), &trailing);
                    EXPECT_FALSE(!b.empty() && a[0] == b[0])
                        << group.what << ": " << Where(language, group.numbers[i]) << " and "
                        << Where(language, group.numbers[j]) << " share the mnemonic \"" << Utf8(a[0]) << "\"";
                }
            }
        }
    }
}

// Bounded formatting of integers and texts.
#include "base/format.h"

#include <climits>
#include <cstring>

#include "base/bounded.h"

namespace {

constexpr size_t TOO_LONG = static_cast<size_t>(INT_MAX) + 1;
constexpr size_t NO_PRECISION = static_cast<size_t>(-1);

// The text being written: what fits goes to dest; length counts all of it, up to TOO_LONG.
struct Output {
    char *dest;
    size_t size;
    size_t length;
};

// What one conversion asks for besides its argument.
struct Conversion {
    int left, plus, space, alternate, zero;
    size_t width;
    size_t precision;   // NO_PRECISION: none given
    int longs;          // l
    int shorts;         // h: 1, hh: 2
};

size_t Room(const Output *out, size_t count)
{
    size_t room = out->size > out->length + 1 ? out->size - 1 - out->length : 0;
    return count < room ? count : room;
}

void Count(Output *out, size_t count)
{
    out->length = count < TOO_LONG - out->length ? out->length + count : TOO_LONG;
}

void PutText(Output *out, const char *text, size_t count)
{
    size_t fits = Room(out, count);
    if (fits > 0)
        std::memcpy(out->dest + out->length, text, fits);
    Count(out, count);
}

// A width can ask for two thousand million blanks: only what fits is written, the rest counted.
void PutRepeated(Output *out, char c, size_t count)
{
    size_t fits = Room(out, count);
    if (fits > 0)
        std::memset(out->dest + out->length, c, fits);
    Count(out, count);
}

// Decimal digits at p. A width or precision over INT_MAX asks for more text than the result can
// count, so any such number comes back as TOO_LONG.
size_t ReadNumber(const char **p)
{
    size_t value = 0;
    for (; **p >= '0' && **p <= '9'; (*p)++) {
        size_t digit = static_cast<size_t>(**p - '0');
        value = value > (INT_MAX - digit) / 10 ? TOO_LONG : value * 10 + digit;
    }
    return value;
}

void PutPadded(Output *out, const Conversion &conv, const char *text, size_t count)
{
    size_t pad = conv.width > count ? conv.width - count : 0;
    if (!conv.left)
        PutRepeated(out, ' ', pad);
    PutText(out, text, count);
    if (conv.left)
        PutRepeated(out, ' ', pad);
}

void PutInteger(Output *out, const Conversion &conv, unsigned long magnitude, char sign, unsigned base, int upper)
{
    const char *symbols = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char digits[CHAR_BIT * sizeof magnitude / 3 + 1];
    size_t count = 0;
    for (unsigned long rest = magnitude; rest != 0; rest /= base)
        digits[sizeof digits - ++count] = symbols[rest % base];
    size_t precision = conv.precision != NO_PRECISION ? conv.precision : 1;
    size_t zeros = precision > count ? precision - count : 0;
    if (conv.alternate && base == 8 && zeros == 0)
        zeros = 1;   // the first digit of an alternate octal is 0
    const char *prefix = conv.alternate && base == 16 && magnitude != 0 ? (upper ? "0X" : "0x") : "";
    size_t body = (sign != 0) + std::strlen(prefix) + zeros + count;
    size_t pad = conv.width > body ? conv.width - body : 0;
    if (!conv.left && conv.zero && conv.precision == NO_PRECISION) {
        zeros += pad;
        pad = 0;
    }
    if (!conv.left)
        PutRepeated(out, ' ', pad);
    if (sign != 0)
        PutText(out, &sign, 1);
    PutText(out, prefix, std::strlen(prefix));
    PutRepeated(out, '0', zeros);
    PutText(out, digits + sizeof digits - count, count);
    if (conv.left)
        PutRepeated(out, ' ', pad);
}

// Reads a conversion's flags, width, precision and length from *p on (just past the '%'), taking
// the * arguments from args, and leaves *p at the conversion's letter.
void ReadConversion(const char **p, va_list *args, Conversion *conv)
{
    *conv = {0, 0, 0, 0, 0, 0, NO_PRECISION, 0, 0};
    for (;; (*p)++) {
        if (**p == '-')
            conv->left = 1;
        else if (**p == '+')
            conv->plus = 1;
        else if (**p == ' ')
            conv->space = 1;
        else if (**p == '#')
            conv->alternate = 1;
        else if (**p == '0')
            conv->zero = 1;
        else
            break;
    }
    if (**p == '*') {
        int width = va_arg(*args, int);
        conv->left |= width < 0;
        conv->width = width < 0 ? 0u - static_cast<unsigned>(width) : static_cast<unsigned>(width);
        (*p)++;
    } else {
        conv->width = ReadNumber(p);
    }
    if (**p == '.') {
        (*p)++;
        if (**p == '*') {
            int precision = va_arg(*args, int);
            conv->precision = precision < 0 ? NO_PRECISION : static_cast<size_t>(precision);
            (*p)++;
        } else {
            conv->precision = ReadNumber(p);
        }
    }
    if (**p == 'l') {
        conv->longs = 1;
        (*p)++;
    } else {
        for (; **p == 'h' && conv->shorts < 2; (*p)++)
            conv->shorts++;
    }
}

// Puts the argument of conversion letter c. 0 for a conversion not known (nothing is taken).
int PutConversion(Output *out, const Conversion &conv, char c, va_list *args)
{
    int sized = conv.longs || conv.shorts;
    if (c == 'd' || c == 'i') {
        long value = conv.longs ? va_arg(*args, long) : va_arg(*args, int);
        value = conv.shorts == 1 ? static_cast<short>(value) : conv.shorts == 2 ? static_cast<signed char>(value) : value;
        unsigned long magnitude = value < 0 ? 0ul - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
        char sign = value < 0 ? '-' : conv.plus ? '+' : conv.space ? ' ' : 0;
        PutInteger(out, conv, magnitude, sign, 10, 0);
    } else if (c == 'u' || c == 'o' || c == 'x' || c == 'X') {
        unsigned long value = conv.longs ? va_arg(*args, unsigned long) : va_arg(*args, unsigned);
        value = conv.shorts == 1 ? static_cast<unsigned short>(value) : conv.shorts == 2 ? static_cast<unsigned char>(value) : value;
        PutInteger(out, conv, value, 0, c == 'u' ? 10 : c == 'o' ? 8 : 16, c == 'X');
    } else if (c == 'c' && !sized) {
        char one = static_cast<char>(va_arg(*args, int));
        PutPadded(out, conv, &one, 1);
    } else if (c == 's' && !sized) {
        const char *text = va_arg(*args, const char *);
        if (text == nullptr)
            text = "(null)";
        size_t count = conv.precision != NO_PRECISION ? BoundedLength(text, conv.precision) : std::strlen(text);
        PutPadded(out, conv, text, count);
    } else {
        return 0;
    }
    return 1;
}

}   // namespace

int FormatBoundedV(char *dest, size_t size, const char *format, va_list args)
{
    Output out = {dest, dest != nullptr ? size : 0, 0};
    va_list taken;   // its address is handed on, which a va_list parameter's may not be
    va_copy(taken, args);
    const char *p = format != nullptr ? format : "";
    while (*p != 0) {
        if (*p != '%') {
            const char *next = std::strchr(p, '%');
            size_t count = next != nullptr ? static_cast<size_t>(next - p) : std::strlen(p);
            PutText(&out, p, count);
            p += count;
            continue;
        }
        const char *start = p++;
        if (*p == '%') {
            PutText(&out, "%", 1);
            p++;
            continue;
        }
        Conversion conv;
        ReadConversion(&p, &taken, &conv);
        if (!PutConversion(&out, conv, *p, &taken)) {
            PutText(&out, start, std::strlen(start));
            break;
        }
        p++;
    }
    va_end(taken);
    if (out.size > 0)
        out.dest[out.length < out.size ? out.length : out.size - 1] = 0;
    return out.length < TOO_LONG ? static_cast<int>(out.length) : -1;
}

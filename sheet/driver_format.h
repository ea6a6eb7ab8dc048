// Texts of the driver that serve as printf formats (650, 651, 700): what they may ask for before
// the About page hands them arguments. Pure logic, no windows.h.
#pragma once

// The kinds of argument a format is given.
enum FormatArgument {
    FORMAT_TEXTS,     // %s only (the signature dates)
    FORMAT_NUMBERS,   // 32-bit numbers only: %d %i %u %x %X %o, each also with l or h (the version numbers)
};

// 1 when every conversion of format takes the given kind, there are at most maxConversions of
// them, and none asks for more than printf is given: no '*' width or precision, no %n, and no
// length modifier but one l or h on a number (long is 32 bits on both Windows builds, and h only
// narrows what is shown). "%%" is no conversion. Flags, a width and a precision are allowed. A
// format that fails is shown as plain text instead of being formatted.
int FormatFits(const char *format, FormatArgument kind, int maxConversions);

// Bounded formatting: the formatter behind the program's snprintf and vsnprintf (runtime/).
#pragma once
#include <cstdarg>
#include <cstddef>

// Formats into dest of size bytes as snprintf does, for the conversions the program and the
// driver's format texts use: %d %i %u %x %X %o %c %s and %%, each with the flags - + space # 0,
// a width and a precision (digits or *), and on the integer conversions the length modifiers
// hh, h and l. Never writes past size bytes and always terminates when size > 0. Returns the
// length of the whole text, as snprintf does (a result >= size means the text was cut), or -1
// if that length exceeds INT_MAX. Any other conversion (%f, %p, %n, %ls, %lld, ...) ends the
// formatting: it and the rest of the format are copied as they stand and no further argument is
// taken, so a format that asks for more than its caller gives reads nothing it should not.
int FormatBoundedV(char *dest, size_t size, const char *format, va_list args);

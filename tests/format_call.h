// Calls our formatter or the host's vsnprintf with a list of arguments chosen at run time, each
// passed as the type its conversion reads, so that a table row or a fuzz input can hold them.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdio>

#include "base/format.h"

struct FormatArg {
    enum Kind { INT, LONG, UNSIGNED, ULONG, TEXT } kind;
    unsigned long bits;   // the number, as its own type converts it back
    const char *text;
};

inline FormatArg Int(int v) { return {FormatArg::INT, static_cast<unsigned long>(v), nullptr}; }
inline FormatArg Long(long v) { return {FormatArg::LONG, static_cast<unsigned long>(v), nullptr}; }
inline FormatArg Unsigned(unsigned v) { return {FormatArg::UNSIGNED, v, nullptr}; }
inline FormatArg ULong(unsigned long v) { return {FormatArg::ULONG, v, nullptr}; }
inline FormatArg Text(const char *s) { return {FormatArg::TEXT, 0, s}; }

constexpr size_t FORMAT_ARGS_MAX = 4;

inline int FormatWith(int ours, char *dest, size_t size, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int result = ours ? FormatBoundedV(dest, size, format, args) : std::vsnprintf(dest, size, format, args);
    va_end(args);
    return result;
}

// Formats with ours (1) or the host's (0); takes the first count of args, at most FORMAT_ARGS_MAX.
template <typename... Taken>
int FormatArgs(int ours, char *dest, size_t size, const char *format, const FormatArg *args, size_t count,
               Taken... taken)
{
    if constexpr (sizeof...(Taken) < FORMAT_ARGS_MAX) {
        if (count > 0) {
            auto next = [&](auto value) {
                return FormatArgs(ours, dest, size, format, args + 1, count - 1, taken..., value);
            };
            switch (args[0].kind) {
            case FormatArg::INT: return next(static_cast<int>(args[0].bits));
            case FormatArg::LONG: return next(static_cast<long>(args[0].bits));
            case FormatArg::UNSIGNED: return next(static_cast<unsigned>(args[0].bits));
            case FormatArg::ULONG: return next(args[0].bits);
            case FormatArg::TEXT: return next(args[0].text);
            }
        }
    }
    return FormatWith(ours, dest, size, format, taken...);
}

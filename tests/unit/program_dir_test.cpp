// The program directory ends with one backslash, or stays as it was when that cannot be done.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "app/program_dir.h"

namespace {

TEST(EndWithBackslash, AddsOneWhereItFits)
{
    struct Case {
        const char *text;   // put into the buffer with its terminator where it fits
        size_t size;
        int result;
        const char *after;  // the buffer's first size bytes, up to a terminator
    } cases[] = {
        {"C:\\AV", 260, 1, "C:\\AV\\"},
        {"C:\\", 260, 1, "C:\\"},
        {"C:\\AV\\", 7, 1, "C:\\AV\\"},
        {"C:\\AV", 7, 1, "C:\\AV\\"},     // backslash and terminator fit exactly
        {"C:\\AV", 6, 0, "C:\\AV"},       // one byte short
        {"C:\\AV", 5, 0, "C:\\AV"},       // no terminator within the buffer
        {"C:\\AV\\", 6, 0, "C:\\AV\\"},   // nor here, though it ends with one
        {"", 260, 0, ""},
        {"C:", 0, 0, ""},
    };
    for (const Case &c : cases) {
        char buffer[300];
        std::memset(buffer, '#', sizeof buffer);
        std::memcpy(buffer, c.text, std::min(std::strlen(c.text) + 1, c.size));
        std::string what = std::string(c.text) + " in " + std::to_string(c.size);
        EXPECT_EQ(c.result, EndWithBackslash(buffer, c.size)) << what;
        std::string got(buffer, c.size);
        EXPECT_EQ(c.after, got.substr(0, got.find('\0'))) << what;
        EXPECT_EQ(std::string(8, '#'), std::string(buffer + c.size, 8)) << "written past the buffer: " << what;
    }
}

}   // namespace

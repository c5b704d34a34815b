// Formatted protocol output: lines of any length up to the 64 KiB message buffer come out
// whole, longer ones cut at its size.
#include <gtest/gtest.h>

#include <string>

#include "cli/command.h"
#include "cli/solver_state.h"

namespace {

std::string Printed(const char* format, const std::string& text, int number) {
    State().output.Take();
    Print(format, text.c_str(), number);
    return State().output.Take();
}

TEST(Print, LinesLongerThanTheStackBufferComeOutWhole) {
    for (size_t length : {0, 1, 1010, 1011, 1012, 1023, 1024, 5000}) {
        SCOPED_TRACE(length);
        const std::string text(length, 'x');
        EXPECT_EQ(Printed("%s|%d\n", text, 77), text + "|77\n");
    }
}

TEST(Print, TextsBeyondTheMessageBufferAreCutAtItsSize) {
    const std::string text(70000, 'y');
    const std::string printed = Printed("%s%d", text, 5);
    EXPECT_EQ(printed, std::string(65535, 'y'));
}

}  // namespace

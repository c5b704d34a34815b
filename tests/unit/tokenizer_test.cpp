#include <gtest/gtest.h>

#include "cli/dispatcher.h"
#include "cli/solver_state.h"
#include "cli/tokenizer.h"

TEST(SplitCommandLine, SplitsAtSpacesOnlyAndGroupsQuotedText) {
    EXPECT_EQ(SplitCommandLine("echo \"a b\"  c"), (Tokens{"echo", "a b", "c"}));
    EXPECT_EQ(SplitCommandLine("x\"y z\"w"), (Tokens{"xy zw"}));  // quoted part inside a word
    EXPECT_EQ(SplitCommandLine("a\tb c"), (Tokens{"a\tb", "c"}));
    EXPECT_EQ(SplitCommandLine("   "), Tokens{});
    EXPECT_EQ(SplitCommandLine(""), Tokens{});
}

TEST(SplitCommandLine, QuoteEdgeCases) {
    EXPECT_EQ(SplitCommandLine("a \"\" b"), (Tokens{"a", "b"}));   // empty quotes: no token
    EXPECT_EQ(SplitCommandLine("a \"b c"), (Tokens{"a", "b c"}));  // unterminated quote
    EXPECT_EQ(SplitCommandLine("\"a\"b \"c\" d"), (Tokens{"ab", "c", "d"}));
    EXPECT_EQ(SplitCommandLine("  lead trail  "), (Tokens{"lead", "trail"}));
}

TEST(SubstituteVariables, ReplacesWholeTokensThatNameVariables) {
    State().variables.Set("sv_a", "1");
    State().variables.Set("sv_cmd", "echo");
    Tokens tokens{"$sv_cmd", "$sv_a", "x$sv_a", "$", "$sv_missing"};
    SubstituteVariables(tokens);
    EXPECT_EQ(tokens, (Tokens{"echo", "1", "x$sv_a", "$", "$sv_missing"}));
}

TEST(SubstituteVariables, OnePassIsNotRecursiveAndCommentsStayUntouched) {
    State().variables.Set("sv_outer", "$sv_inner");
    State().variables.Set("sv_inner", "deep");
    Tokens tokens{"echo", "$sv_outer"};
    SubstituteVariables(tokens);
    EXPECT_EQ(tokens[1], "$sv_inner");
    SubstituteVariables(tokens);
    EXPECT_EQ(tokens[1], "deep");

    Tokens comment{"#note", "$sv_inner"};
    SubstituteVariables(comment);
    EXPECT_EQ(comment[1], "$sv_inner");
}

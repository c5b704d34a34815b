#include "cli/tokenizer.h"

Tokens SplitCommandLine(std::string_view line) {
    Tokens      tokens;
    std::string current;
    bool        quoted = false;
    auto        flush  = [&] {
        if (!current.empty())
            tokens.push_back(std::move(current));
        current.clear();
    };
    for (char c : line) {
        if (quoted) {
            if (c == '"')
                quoted = false;
            else
                current += c;
        } else if (c == ' ')
            flush();
        else if (c == '"')
            quoted = true;
        else
            current += c;
    }
    flush();
    return tokens;
}

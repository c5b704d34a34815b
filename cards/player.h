// Player words of the command protocol.
#pragma once

#include <string>

// "OOP" and "hero" are player 0, "IP" and "villain" player 1 (exact, case-sensitive).
// Any other word throws CommandError "incorrect player name".
int ParsePlayer(const std::string& word);

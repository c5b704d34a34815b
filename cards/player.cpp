#include "cards/player.h"

#include "cli/command.h"

int ParsePlayer(const std::string& word) {
    if (word == "OOP" || word == "hero")
        return 0;
    if (word == "IP" || word == "villain")
        return 1;
    CommandError("incorrect player name");
}

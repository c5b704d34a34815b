#include <memory>
#include <string>

#include "cards/card_commands.h"
#include "cards/card_parser.h"
#include "cards/hand_categories.h"
#include "cli/dispatcher.h"
#include "cli/solver_state.h"

namespace {

std::string CategoryLine(const std::array<int8_t, kComboCount>& categories) {
    std::string line;
    line.reserve(3 * kComboCount + 1);
    for (int8_t category : categories)
        line += std::to_string(category) + " ";
    return line + "\n";
}

template <size_t n>
std::string NameLine(const std::array<std::string_view, n>& names) {
    std::string line;
    for (std::string_view name : names)
        line += std::string(name) + " ";
    return line + "\n";
}

}  // namespace

void CmdShowCategories(const Tokens& t) {
    std::string cards;
    for (size_t i = 1; i < t.size(); ++i)
        cards += (i > 1 ? " " : "") + t[i];
    CardMask board = ParseCards(cards);
    if (CardCountOf(board) < 3 || CardCountOf(board) > 5)
        CommandError("invalid board");
    auto categories = std::make_unique<HandCategories>();
    if (!ClassifyHands(board, *categories)) {
        PrintText("ERROR: bug in hand classifier, please report!\n");
        FlushOutput();
        ExitProgram(1);
    }
    PrintText(CategoryLine(categories->made));
    PrintText(CategoryLine(categories->draw));
    PrintEnd();
}

void CmdShowCategoryNames(const Tokens&) {
    PrintText(NameLine(kMadeHandNames));
    PrintText(NameLine(kDrawNames));
    PrintEnd();
}

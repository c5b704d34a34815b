#include "tools/spot/spot_file.h"

#include <cmath>
#include <optional>

#include "cards/card_parser.h"
#include "platform/files.h"
#include "tools/spot/range_notation.h"

namespace {

using nlohmann::json;

constexpr const char* kStreetNames[] = {"", "flop", "turn", "river"};
constexpr int64_t     kMostBets       = 100;

[[noreturn]] void Fail(const std::string& key, const std::string& why) {
    throw SpotError(key + ": " + why);
}

const json& Require(const json& object, const std::string& key) {
    auto it = object.find(key);
    if (it == object.end())
        Fail(key, "missing");
    return *it;
}

double NumberAt(const json& value, const std::string& key) {
    if (!value.is_number())
        Fail(key, "must be a number");
    double number = value.get<double>();
    if (!std::isfinite(number))
        Fail(key, "must be finite");
    return number;
}

int64_t WholeAt(const json& value, const std::string& key, int64_t minimum) {
    double number = NumberAt(value, key);
    if (number != std::floor(number))
        Fail(key, "must be a whole number of chips");
    if (number < static_cast<double>(minimum))
        Fail(key, "must be at least " + std::to_string(minimum));
    if (number > 1e12)
        Fail(key, "is too large");
    return static_cast<int64_t>(number);
}

bool BoolAt(const json& value, const std::string& key) {
    if (!value.is_boolean())
        Fail(key, "must be true or false");
    return value.get<bool>();
}

std::string TextAt(const json& value, const std::string& key) {
    if (!value.is_string())
        Fail(key, "must be a string");
    return value.get<std::string>();
}

// Cards in the order written, blanks between them optional.
std::vector<int> ParseBoard(const std::string& text) {
    std::string packed;
    for (char c : text)
        if (c != ' ')
            packed += c;
    if (packed.size() % 2 != 0)
        Fail("board", "'" + text + "' is not a list of cards");
    std::vector<int> cards;
    CardMask         seen = 0;
    for (size_t i = 0; i < packed.size(); i += 2) {
        std::optional<CardMask> card = TryParseCards(packed.substr(i, 2));
        if (!card || CardCountOf(*card) != 1)
            Fail("board", "unknown card '" + packed.substr(i, 2) + "'");
        if (seen & *card)
            Fail("board", "card '" + packed.substr(i, 2) + "' given twice");
        seen |= *card;
        cards.push_back(LowestCard(*card));
    }
    if (cards.size() < 3 || cards.size() > 5)
        Fail("board", "needs three to five cards, has " + std::to_string(cards.size()));
    return cards;
}

int ParseStreet(const std::string& text, size_t board_cards) {
    for (int street = 1; street <= 3; ++street)
        if (text == kStreetNames[street]) {
            if (board_cards != static_cast<size_t>(street) + 2)
                Fail("streets", "'" + text + "' does not match a board of " +
                                    std::to_string(board_cards) + " cards");
            return street;
        }
    Fail("streets", "must be flop, turn or river");
}

std::vector<double> Fractions(const json& object, const std::string& key) {
    std::vector<double> fractions;
    auto                it = object.find(key.substr(key.rfind('.') + 1));
    if (it == object.end())
        return fractions;
    if (!it->is_array())
        Fail(key, "must be a list of fractions");
    for (const json& value : *it) {
        double fraction = NumberAt(value, key);
        if (fraction < 0)
            Fail(key, "negative size " + value.dump());
        fractions.push_back(fraction);
    }
    return fractions;
}

void ReadBets(const json& bets, Spot& spot) {
    if (!bets.is_object())
        Fail("bets", "must be an object with one entry per street");
    for (const auto& [name, sizes] : bets.items()) {
        int street = 1;
        while (street <= 3 && name != kStreetNames[street])
            ++street;
        std::string key = "bets." + name;
        if (street > 3)
            Fail(key, "unknown street");
        if (!sizes.is_object())
            Fail(key, "must be an object with bet and raise lists");
        spot.sizes[street].bet   = Fractions(sizes, key + ".bet");
        spot.sizes[street].raise = Fractions(sizes, key + ".raise");
    }
}

std::vector<double> RangeAt(const json& document, const std::string& key) {
    try {
        return ExpandRange(TextAt(Require(document, key), key));
    } catch (const RangeNotationError& error) {
        Fail(key, error.what());
    }
}

}  // namespace

Spot SpotFromJson(const json& document) {
    if (!document.is_object())
        throw SpotError("the spot file must hold one JSON object");
    Spot spot;
    if (auto it = document.find("name"); it != document.end())
        spot.name = TextAt(*it, "name");
    spot.board        = ParseBoard(TextAt(Require(document, "board"), "board"));
    spot.first_street = ParseStreet(TextAt(Require(document, "streets"), "streets"), spot.board.size());
    spot.pot          = WholeAt(Require(document, "pot"), "pot", 1);
    spot.eff_stack    = WholeAt(Require(document, "eff_stack"), "eff_stack", 0);
    spot.ranges[0]    = RangeAt(document, "oop_range");
    spot.ranges[1]    = RangeAt(document, "ip_range");
    ReadBets(Require(document, "bets"), spot);
    spot.allin           = BoolAt(Require(document, "allin"), "allin");
    spot.allin_threshold = NumberAt(Require(document, "allin_threshold"), "allin_threshold");
    if (spot.allin_threshold < 0)
        Fail("allin_threshold", "must not be negative");
    int64_t max_bets = WholeAt(Require(document, "max_bets"), "max_bets", 0);
    if (max_bets > kMostBets)
        Fail("max_bets", "must be at most " + std::to_string(kMostBets));
    spot.max_bets = static_cast<int>(max_bets);
    spot.donk     = BoolAt(Require(document, "donk"), "donk");
    if (auto it = document.find("targets_pct_pot"); it != document.end()) {
        if (!it->is_array())
            Fail("targets_pct_pot", "must be a list of percentages");
        for (const json& value : *it) {
            double target = NumberAt(value, "targets_pct_pot");
            if (target < 0)
                Fail("targets_pct_pot", "negative target " + value.dump());
            spot.targets_pct_pot.push_back(target);
        }
    }
    return spot;
}

Spot LoadSpotFile(const std::string& path) {
    const std::optional<std::string> text = ReadWholeFile(path);
    if (!text)
        throw SpotError("cannot read the file");
    json document;
    try {
        document = json::parse(*text);
    } catch (const json::parse_error& error) {
        throw SpotError(std::string("not valid JSON: ") + error.what());
    }
    return SpotFromJson(document);
}

#include "tools/spot/range_notation.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

#include "cards/card_parser.h"
#include "cards/combo_tables.h"

namespace {

enum class Shape { kPair, kSuited, kOffsuit, kAny };

// One hand class or group of classes: ranks high >= low.
struct ClassSpec {
    int   high;
    int   low;
    Shape shape;
};

// What one item names: classes, or one combo.
struct ItemSet {
    std::vector<ClassSpec> classes;
    CardMask               combo = 0;
};

[[noreturn]] void Bad(std::string_view item, const std::string& why) {
    throw RangeNotationError("bad range item '" + std::string(item) + "': " + why);
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

std::optional<int> RankOfChar(char c) {
    std::string_view ranks = kRankChars;
    size_t at = ranks.find(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    return at == std::string_view::npos ? std::nullopt : std::optional<int>(static_cast<int>(at));
}

// "QQ", "AKs", "T9o", "AK" (ranks in either order).
ClassSpec ParseClass(std::string_view text, std::string_view item) {
    if (text.size() < 2 || text.size() > 3)
        Bad(item, "expected two ranks and an optional s or o");
    std::optional<int> a = RankOfChar(text[0]), b = RankOfChar(text[1]);
    if (!a || !b)
        Bad(item, "unknown rank");
    ClassSpec spec{std::max(*a, *b), std::min(*a, *b), Shape::kAny};
    char      suffix = text.size() == 3 ? static_cast<char>(std::tolower(text[2])) : 0;
    if (spec.high == spec.low) {
        if (suffix)
            Bad(item, "a pair is neither suited nor offsuit");
        spec.shape = Shape::kPair;
    } else if (suffix == 's') {
        spec.shape = Shape::kSuited;
    } else if (suffix == 'o') {
        spec.shape = Shape::kOffsuit;
    } else if (suffix) {
        Bad(item, "the suffix must be s or o");
    }
    return spec;
}

void AddRun(ItemSet& set, ClassSpec from, int last_low) {
    for (int low = from.low; low <= last_low; ++low)
        set.classes.push_back({from.shape == Shape::kPair ? low : from.high, low, from.shape});
}

ItemSet ParsePlus(std::string_view body, std::string_view item) {
    ClassSpec from = ParseClass(body, item);
    ItemSet   set;
    AddRun(set, from, from.shape == Shape::kPair ? kRankCount - 1 : from.high - 1);
    return set;
}

ItemSet ParseDash(std::string_view body, size_t dash, std::string_view item) {
    ClassSpec a = ParseClass(body.substr(0, dash), item);
    ClassSpec b = ParseClass(body.substr(dash + 1), item);
    if (a.shape != b.shape || (a.shape != Shape::kPair && a.high != b.high))
        Bad(item, "both ends of a dash need the same shape and first card");
    if (b.low < a.low)
        std::swap(a, b);
    ItemSet set;
    AddRun(set, a, b.low);
    return set;
}

ItemSet ParseBody(std::string_view body, std::string_view item) {
    if (body.empty())
        Bad(item, "empty item");
    if (body.size() == 4) {
        std::optional<CardMask> cards = TryParseCards(body);
        if (cards && CardCountOf(*cards) == 2)
            return {{}, *cards};
    }
    if (size_t dash = body.find('-'); dash != std::string_view::npos)
        return ParseDash(body, dash, item);
    if (body.back() == '+')
        return ParsePlus(body.substr(0, body.size() - 1), item);
    return {{ParseClass(body, item)}, 0};
}

double ParseWeight(std::string_view text, std::string_view item) {
    std::string copy(Trim(text));
    char*       end    = nullptr;
    double      weight = std::strtod(copy.c_str(), &end);
    if (copy.empty() || end != copy.c_str() + copy.size() || !std::isfinite(weight))
        Bad(item, "the weight is not a number");
    if (weight < 0)
        Bad(item, "the weight is negative");
    return weight;
}

bool Matches(const ClassSpec& spec, int high, int low, bool suited) {
    if (spec.high != high || spec.low != low)
        return false;
    switch (spec.shape) {
        case Shape::kPair: return high == low;
        case Shape::kSuited: return suited;
        case Shape::kOffsuit: return !suited;
        case Shape::kAny: return true;
    }
    return false;
}

bool Contains(const ItemSet& set, CardMask combo) {
    if (set.combo)
        return set.combo == combo;
    int  a = LowestCard(combo), b = 63 - std::countl_zero(combo);
    int  high = std::max(RankOf(a), RankOf(b)), low = std::min(RankOf(a), RankOf(b));
    bool suited = SuitOf(a) == SuitOf(b);
    for (const ClassSpec& spec : set.classes)
        if (Matches(spec, high, low, suited))
            return true;
    return false;
}

}  // namespace

std::vector<double> ExpandRange(std::string_view notation) {
    const ComboTables&  combos = Combos();
    std::vector<double> weights(kComboCount, 0.0);
    size_t              start = 0;
    while (start <= notation.size()) {
        size_t end = notation.find(',', start);
        if (end == std::string_view::npos)
            end = notation.size();
        std::string_view item = Trim(notation.substr(start, end - start));
        start                 = end + 1;
        if (item.empty())
            continue;
        size_t  colon  = item.find(':');
        double  weight = colon == std::string_view::npos ? 1.0 : ParseWeight(item.substr(colon + 1), item);
        ItemSet set    = ParseBody(Trim(item.substr(0, colon)), item);
        for (int hand = 0; hand < kComboCount; ++hand)
            if (Contains(set, combos.mask[hand]))
                weights[hand] = weight;
    }
    return weights;
}

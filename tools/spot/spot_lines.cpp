#include "tools/spot/spot_lines.h"

#include <cmath>
#include <set>

namespace {

constexpr int kLastStreet = 3;

// The betting state at one decision.
struct Decision {
    int                    street;
    std::array<int64_t, 2> totals;
    int                    actor;
    int64_t                high;
    int                    bets;
    bool                   checked;          // the first check of the street was made
    bool                   oop_closed_call;  // OOP called to close the previous street
};

class LineWalker {
public:
    explicit LineWalker(const Spot& spot) : spot_(spot) {}

    std::vector<SpotLine> Walk() {
        Decide({spot_.first_street, {0, 0}, 0, 0, 0, false, false});
        return std::move(lines_);
    }

private:
    void Decide(const Decision& d) {
        Passive(d);
        if (!spot_.donk && d.street > spot_.first_street && d.actor == 0 && d.bets == 0 &&
            !d.checked && d.oop_closed_call)
            return;
        for (int64_t total : AggressiveTotals(d)) {
            Decision next = d;
            next.totals[d.actor] = total;
            next.actor ^= 1;
            next.high    = total;
            next.bets    = d.bets + 1;
            next.checked = false;
            Push(total);
            Decide(next);
            Pop();
        }
    }

    void Passive(const Decision& d) {
        Push(d.high);
        if (d.bets == 0 && !d.checked) {
            Decision next = d;
            next.actor ^= 1;
            next.checked = true;
            Decide(next);
        } else if (d.bets == 0) {
            CloseStreet(d, /*oop_called=*/false);
        } else if (d.high >= spot_.eff_stack) {
            lines_.push_back(line_);  // all-in called
        } else {
            CloseStreet(d, /*oop_called=*/d.actor == 0);
        }
        Pop();
    }

    void CloseStreet(const Decision& d, bool oop_called) {
        if (d.street == kLastStreet) {
            lines_.push_back(line_);
            return;
        }
        Decide({d.street + 1, {d.high, d.high}, 0, d.high, 0, false, oop_called});
    }

    std::set<int64_t> AggressiveTotals(const Decision& d) const {
        std::set<int64_t> totals;
        if (d.high >= spot_.eff_stack || d.bets >= spot_.max_bets)
            return totals;
        int64_t            mine  = d.totals[d.actor];
        double             pot   = static_cast<double>(spot_.pot + d.totals[0] + d.totals[1]);
        const StreetSizes& sizes = spot_.sizes[d.street];
        if (d.bets == 0)
            for (double f : sizes.bet)
                totals.insert(Capped(mine + std::llround(f * pot), mine));
        else
            for (double f : sizes.raise)
                totals.insert(Capped(d.high + std::llround(f * (pot + d.high - mine)), mine));
        if (spot_.allin)
            totals.insert(spot_.eff_stack);
        std::erase_if(totals, [&](int64_t total) { return total <= d.high; });
        return totals;
    }

    int64_t Capped(int64_t total, int64_t mine) const {
        double room = static_cast<double>(spot_.eff_stack - mine);
        if (static_cast<double>(total - mine) > spot_.allin_threshold * room ||
            total >= spot_.eff_stack)
            return spot_.eff_stack;
        return total;
    }

    void Push(int64_t amount) { line_.push_back(amount); }
    void Pop() { line_.pop_back(); }

    const Spot&           spot_;
    SpotLine              line_;
    std::vector<SpotLine> lines_;
};

}  // namespace

std::vector<SpotLine> SpotLines(const Spot& spot) { return LineWalker(spot).Walk(); }

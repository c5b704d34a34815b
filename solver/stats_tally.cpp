#include "solver/stats_tally.h"

StreetCounts& StatsCounts::Street(int street) {
    StreetCounts& counts = streets_[street - 1];
    if (counts.pure.empty()) {
        counts.pure.Allocate();
        counts.dominated.Allocate();
    }
    return counts;
}

void StatsCounts::Add(const StatsCounts& o) {
    for (size_t s = 0; s < streets_.size(); ++s) {
        const StreetCounts& from = o.streets_[s];
        if (from.pure.empty())
            continue;
        StreetCounts& to = Street(static_cast<int>(s) + 1);
        to.instances += from.instances, to.infosets += from.infosets;
        to.infoset_actions += from.infoset_actions, to.reachable += from.reachable;
        to.weight += from.weight;
        to.pure.AddCounted(from.pure);
        to.dominated.AddCounted(from.dominated);
    }
}

StatsTallies StatsCounts::At(double epsilon, double weight_unit) const {
    const int    last = ThresholdBin(epsilon);  // pure up to it, dominated beyond it
    StatsTallies columns{};
    for (int s = 0; s < 3; ++s) {
        const StreetCounts& street = streets_[s];
        BinCount            pure, dominated;
        const int           bins = static_cast<int>(street.pure.size());  // 0: nothing counted
        for (int b = 0; b < bins && b <= last; ++b)
            pure.Add(street.pure[b]);
        for (int b = last + 1; b < bins; ++b)
            dominated.Add(street.dominated[b]);
        StatsTally& t         = columns[s];
        t.instances           = street.instances;
        t.infosets            = street.infosets;
        t.infoset_actions     = street.infoset_actions;
        t.reachable           = street.reachable;
        t.weight              = double(street.weight) * weight_unit;
        t.pure                = pure.infosets;
        t.reachable_pure      = pure.reachable;
        t.pure_weight         = double(pure.weight) * weight_unit;
        t.dominated           = dominated.infosets;
        t.reachable_dominated = dominated.reachable;
        t.dominated_weight    = double(dominated.weight) * weight_unit;
        columns[3].Add(t);
    }
    return columns;
}

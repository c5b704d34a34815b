#include "solver/ev_boost.h"

namespace {

void ScaleBySign(float* values, int n, float positive, float negative) {
    for (int i = 0; i < n; ++i)
        values[i] *= values[i] > 0.0f ? positive : (values[i] < 0.0f ? negative : 1.0f);
}

}  // namespace

void ApplyEvBoost(BoostedReturn kind, float boost, float* values, int n) {
    const float up   = 1.0f + boost;
    const float down = static_cast<float>(1.0 / (1.0 + static_cast<double>(boost)));
    switch (kind) {
    case BoostedReturn::kShowdownEnd:
    case BoostedReturn::kLaterStreetDecision: ScaleBySign(values, n, up, down); return;
    case BoostedReturn::kSameStreetDecision: ScaleBySign(values, n, up, 1.0f); return;
    case BoostedReturn::kFoldEnd: {
        const float factor = 1.0f - boost;
        for (int i = 0; i < n; ++i)
            values[i] *= factor;
        return;
    }
    }
}

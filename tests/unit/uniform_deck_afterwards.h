// Puts the deck back to uniform weights and the isomorphism switches to their start-up
// values when a test that set deck weights ends, so that later tests in the same process
// build their trees as on a fresh start.
#pragma once

#include "cli/dispatcher.h"
#include "cli/solver_state.h"
#include "cli/tokenizer.h"

struct UniformDeckAfterwards {
    ~UniformDeckAfterwards() {
        State().cards.deck_weights_in_use = false;
        ExecuteCommand(SplitCommandLine("set_isomorphism 1 0"));
        State().output.Take();
    }
};

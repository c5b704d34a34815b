#include "cli/progress_bar.h"

#include "cli/solver_state.h"

void DrawProgressBar(int count, int player, int width) {
    if (!State().settings.progress_bar)
        return;
    std::string bar;
    if (count < 0)
        bar = "\r " + std::string(static_cast<size_t>(std::max(width, 0)), ' ') + " \r";
    else
        bar = "\r[" + std::string(static_cast<size_t>(count), player ? '=' : '-') +
              std::string(static_cast<size_t>(std::max(width - count, 0)), ' ') + "]";
    SetColor(14);
    WriteDirect(bar);
    SetColor(7);
}

#include "tools/spot/spot_script.h"

#include <cstdio>

#include "tools/spot/spot_lines.h"

namespace {

std::string Number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string RangeLine(const char* player, const std::vector<double>& weights) {
    std::string line = std::string("set_range ") + player;
    for (double weight : weights)
        line += " " + Number(weight);
    return line + "\n";
}

std::string BoardLine(const Spot& spot) {
    std::string line = "set_board";
    for (int card : spot.board)
        line += " " + CardText(card);
    return line + "\n";
}

}  // namespace

std::string SpotScript(const Spot& spot) {
    std::string script = BoardLine(spot);
    script += RangeLine("OOP", spot.ranges[0]);
    script += RangeLine("IP", spot.ranges[1]);
    script += "set_pot 0 0 " + std::to_string(spot.pot) + "\n";
    script += "clear_lines\n";
    for (const SpotLine& line : SpotLines(spot)) {
        script += "add_line";
        for (int64_t amount : line)
            script += " " + std::to_string(amount);
        script += "\n";
    }
    return script + "build_tree\n";
}

std::string SolveScript(const Spot& spot, const SolveOptions& options) {
    std::string script;
    if (options.threads)
        script += "set_threads " + std::to_string(*options.threads) + "\n";
    if (options.accuracy_chips)
        script += "set_accuracy " + Number(*options.accuracy_chips) + "\n";
    else if (options.accuracy_pct)
        script += "set_accuracy " + Number(*options.accuracy_pct / 100) + " fraction\n";
    else if (!spot.targets_pct_pot.empty())
        script += "set_accuracy " + Number(spot.targets_pct_pot.front() / 100) + " fraction\n";
    if (options.seconds)
        script += "go " + std::to_string(*options.seconds) + " seconds\n";
    else if (options.steps)
        script += "go " + std::to_string(*options.steps) + " steps\n";
    else
        script += "go\n";
    return script + "wait_for_solver\n";
}

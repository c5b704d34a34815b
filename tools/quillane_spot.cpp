// quillane-spot: turns a spot file into the command script that sets the spot up (board,
// ranges, pot, every betting line and build_tree), optionally followed by the commands
// that solve it. Exit codes: 0 success, 1 bad command line, 2 bad spot file, 3 the
// output cannot be written.
#include <tclap/CmdLine.h>

#include <fstream>
#include <iostream>

#include "tools/spot/spot_file.h"
#include "tools/spot/spot_script.h"

namespace {

struct ToolOptions {
    std::string  spot_path;
    std::string  output_path;
    bool         solve = false;
    SolveOptions solve_options;
};

template <typename T>
std::optional<T> OptionalValue(const TCLAP::ValueArg<T>& arg) {
    return arg.isSet() ? std::optional<T>(arg.getValue()) : std::nullopt;
}

ToolOptions ParseToolOptions(int argc, char** argv) {
    TCLAP::CmdLine cmd("Writes the Quillane command script of a spot file", ' ', "1.0");
    TCLAP::UnlabeledValueArg<std::string> spot("spot", "spot file (JSON)", true, "", "spot.json", cmd);
    TCLAP::ValueArg<std::string> output("o", "output", "write the script here instead of standard output",
                                        false, "", "file", cmd);
    TCLAP::SwitchArg solve("s", "solve", "append the solve commands", cmd, false);
    TCLAP::ValueArg<double> accuracy("a", "accuracy", "target exploitability in chips (implies --solve)",
                                     false, 0, "chips", cmd);
    TCLAP::ValueArg<double> accuracy_pct("p", "accuracy-pct",
        "target exploitability in percent of the pot (implies --solve; default: the spot's first "
        "target)", false, 0, "percent", cmd);
    TCLAP::ValueArg<int> threads("t", "threads", "solver threads (implies --solve)", false, 0, "n", cmd);
    TCLAP::ValueArg<int> seconds("", "seconds", "time limit of the solve (implies --solve)", false, 0,
                                 "n", cmd);
    TCLAP::ValueArg<int> steps("", "steps", "iteration limit of the solve (implies --solve)", false, 0,
                               "n", cmd);
    cmd.parse(argc, argv);

    ToolOptions options;
    options.spot_path   = spot.getValue();
    options.output_path = output.getValue();
    SolveOptions& s     = options.solve_options;
    s.accuracy_chips    = OptionalValue(accuracy);
    s.accuracy_pct      = OptionalValue(accuracy_pct);
    s.threads           = OptionalValue(threads);
    s.seconds           = OptionalValue(seconds);
    s.steps             = OptionalValue(steps);
    options.solve = solve.getValue() || s.accuracy_chips || s.accuracy_pct || s.threads ||
                    s.seconds || s.steps;
    if ((s.accuracy_chips && *s.accuracy_chips < 0) || (s.accuracy_pct && *s.accuracy_pct < 0))
        throw TCLAP::ArgException("must not be negative", "accuracy");
    if ((s.threads && *s.threads < 1) || (s.seconds && *s.seconds < 1) || (s.steps && *s.steps < 1))
        throw TCLAP::ArgException("must be at least 1", "threads, seconds or steps");
    return options;
}

bool WriteScript(const std::string& path, const std::string& script) {
    if (path.empty()) {
        std::cout << script;
        return static_cast<bool>(std::cout.flush());
    }
    std::ofstream file(path);
    file << script;
    return static_cast<bool>(file.flush());
}

}  // namespace

int main(int argc, char** argv) {
    ToolOptions options;
    try {
        options = ParseToolOptions(argc, argv);
    } catch (const TCLAP::ArgException& error) {
        std::cerr << "quillane-spot: " << error.argId() << ": " << error.error() << "\n";
        return 1;
    }
    std::string script;
    try {
        Spot spot = LoadSpotFile(options.spot_path);
        script    = SpotScript(spot);
        if (options.solve)
            script += SolveScript(spot, options.solve_options);
    } catch (const SpotError& error) {
        std::cerr << "quillane-spot: " << options.spot_path << ": " << error.what() << "\n";
        return 2;
    }
    if (!WriteScript(options.output_path, script)) {
        std::cerr << "quillane-spot: cannot write " << options.output_path << "\n";
        return 3;
    }
    return 0;
}

#include "app/startup.h"

#include <xmmintrin.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "app/cpu_check.h"
#include "app/options.h"
#include "cards/combo_tables.h"
#include "cards/eval_tables.h"
#include "cli/banned_process_monitor.h"
#include "cli/dispatcher.h"
#include "cli/solver_state.h"
#include "cli/tokenizer.h"
#include "net/server_loop.h"
#include "platform/console.h"
#include "platform/cpu_features.h"
#include "platform/files.h"
#include "platform/process.h"
#include "solver/solver_run_state.h"
#include "solver/subgame_library.h"

namespace {

constexpr const char* kProductName  = "Quillane";
constexpr const char* kFamily       = "Corvanta";
constexpr const char* kVersion      = "2.0.6";
constexpr const char* kBuildNumber  = "1084";
constexpr const char* kConfigScript = "quillane_config.txt";
constexpr const char* kTransferFile = "quillane_temp";

// __DATE__ pads single-digit days with a blank ("Dec  6 2026"); one blank is enough.
std::string BuildDate() {
    std::string date = __DATE__;
    if (date.size() > 4 && date[4] == ' ')
        date.erase(4, 1);
    return date;
}

void SetBuiltInVariables() {
    VariableStore& v = State().variables;
    v.Set("build", kBuildNumber);
    v.Set("build_date", BuildDate());
    v.Set("build_time", __TIME__);
    v.Set("cpu_vendor", TrimmedCpuVendor());
    v.Set("cpu_brand", TrimmedCpuBrand());
    v.Set("operating_system", "linux");
}

void ApplyOptions(const StartupOptions& options) {
    Interpreter& interp          = State().interp;
    interp.verbosity             = options.verbose ? 1 : 0;
    interp.echo                  = options.echo;
    interp.color                 = options.color;
    interp.terminateonerror      = options.terminateonerror;
    interp.suppressok            = options.suppressok;
    interp.compactmsg            = options.compactmsg;
    interp.exit_after_disconnect = options.exit_after_disconnect;
}

// The scan interval can be shortened for tests through QUILLANE_SCAN_INTERVAL_MS.
std::chrono::milliseconds MonitorInterval() {
    const char* text = std::getenv("QUILLANE_SCAN_INTERVAL_MS");
    long        ms   = text ? std::strtol(text, nullptr, 10) : 0;
    return ms > 0 ? std::chrono::milliseconds(ms) : BannedProcessMonitor::kScanInterval;
}

void PrintBanner() {
    SetColor(10);
    WriteDirect(std::string(kProductName) + " " + kFamily + " (" + kVersion + ") build " +
                kBuildNumber + " " + State().variables.Get("cpu_instruction_set") + " (" +
                BuildDate() + ", " + __TIME__ + ")\n");
    SetColor(7);
    if (State().interp.verbosity > 0)
        WriteDirect("[verbosity " + std::to_string(State().interp.verbosity) + "]\n");
}

void RunLine(const std::string& line) {
    try {
        ExecuteCommand(SplitCommandLine(line));
    } catch (const char*) {
        // Reported by the dispatcher as an info line.
    }
    FlushOutput();
}

std::string Trim(const std::string& text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Sets the --var values; a malformed one ends start-up with "invalid variable".
void SetCommandLineVariables(const std::vector<std::string>& vars) {
    for (const auto& assignment : vars) {
        size_t      eq    = assignment.find('=');
        bool        valid = eq != std::string::npos && assignment.find('=', eq + 1) == std::string::npos;
        std::string name  = valid ? Trim(assignment.substr(0, eq)) : "";
        std::string value = valid ? Trim(assignment.substr(eq + 1)) : "";
        if (name.empty() || value.empty()) {
            SetColor(4);
            PrintText("ERROR:  invalid variable\n");
            FlushOutput();
            ExitProgram(1);
        }
        State().variables.Set(name, value);
    }
}

void RunConfigScript() {
    std::string path = ExecutableDirectory() + kConfigScript;
    if (!FileExists(path))
        return;
    Interpreter& interp = State().interp;
    bool         saved  = interp.suppressok;
    if (interp.verbosity == 0)
        interp.suppressok = true;
    RunLine("load_script \"" + path + "\"");
    interp.suppressok = saved;
}

}  // namespace

int RunProgram(int argc, char** argv) {
    if (!CheckProcessor())
        return 1;
    _mm_setcsr(_mm_getcsr() | 0x8040);  // flush-to-zero and denormals-are-zero
    UseOneMallocArena();
    RememberStartupStdout();
    SetBuiltInVariables();
    StartupOptions options = ParseOptions(argc, argv);
    ApplyOptions(options);
    State().settings.thread_count = LogicalProcessorCount();
    BannedProcessMonitor::Instance().Start(MonitorInterval());
    InitEvaluatorTables();
    SetCurrentThreadAboveNormalPriority();
    libsubgame_init(0);
    InstallSolverHooks();
    PrintBanner();
    BuildComboTables();
    bool server = options.server_port > 0;
    if (server && !CreateServer(options.server_port, kTransferFile))
        ExitProgram(1);
    SetCommandLineVariables(options.vars);
    for (const auto& command : options.cmds)
        RunLine(command);
    RunConfigScript();
    if (!options.script.empty()) {
        if (!FileExists(options.script)) {
            WriteDirect("ERROR: can't find file '" + options.script + "'\n");
            ExitProgram(1);
        }
        RunLine("load_script \"" + options.script + "\"");
    }
    for (const auto& command : options.pscmds)
        RunLine(command);
    if (server)
        RunServerLoop();
    else
        RunConsoleLoop(stdin);
    ExitProgram(0);
}

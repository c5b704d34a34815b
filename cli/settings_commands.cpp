#include <array>
#include <string_view>

#include "cli/handlers.h"
#include "cli/solver_state.h"
#include "platform/cpu_features.h"
#include "platform/process.h"
#include "solver/solver_run_state.h"

namespace {

EngineSettings& Settings() { return State().settings; }

// Parses token 1 as an integer in [low, high]; out of range is an argument-count error.
int RangedInt(const Tokens& t, int low, int high) {
    int value = ParseInt(t[1]);
    if (value < low || value > high)
        ArgumentCountError(t);
    return value;
}

void SetSwitch(const Tokens& t, bool EngineSettings::*field) {
    Settings().*field = ParseSwitch(t[1]);
    PrintOk(t);
}

}  // namespace

void CmdShowSettings(const Tokens&) { PrintEnd(); }

void CmdSetThreads(const Tokens& t) {
    int n                   = ParseInt(t[1]);
    Settings().thread_count = n > 0 ? n : LogicalProcessorCount();
    PrintOk(t);
}

void CmdSetPriorityClass(const Tokens& t) {
    if (!SetProcessPriorityClass(t[1]))
        ArgumentCountError(t);
    PrintOk(t);
}

void CmdSetInfoFreq(const Tokens& t) {
    Settings().info_freq = RangedInt(t, 1, INT32_MAX);
    PrintOk(t);
}

void CmdGetInstructionSet(const Tokens&) { Print("AVX-512\n"); }

void CmdSetScheduler(const Tokens& t) {
    Settings().scheduler = RangedInt(t, 0, 2);
    PrintOk(t);
}

void CmdEnableAvx512(const Tokens& t) { SetSwitch(t, &EngineSettings::avx512); }

void CmdEnableNuma(const Tokens& t) {
    if (t[1] == "0" || t[1] == "1")
        Settings().numa_mode = t[1][0] - '0';
    else if (t[1] == "fake")
        Settings().numa_mode = 2;
    else
        ArgumentCountError(t);
    PrintOk(t);
}

void CmdEnableRiverStrategy(const Tokens& t) { SetSwitch(t, &EngineSettings::river_strategy); }

void CmdEnableUiNotifications(const Tokens& t) { SetSwitch(t, &EngineSettings::ui_notifications); }

void CmdEnableProgressBar(const Tokens& t) { SetSwitch(t, &EngineSettings::progress_bar); }

void CmdEnablePerfCounters(const Tokens& t) { SetSwitch(t, &EngineSettings::perf_counters); }

void CmdEnableAdaptivePrecision(const Tokens& t) {
    SetSwitch(t, &EngineSettings::adaptive_precision);
}

void CmdIgnoreMemCheck(const Tokens& t) {
    if (t[1] != "on" && t[1] != "off")
        ArgumentCountError(t);
    PrintOk(t);
}

void CmdShowCpuInfo(const Tokens&) {
    Print("%s\n", TrimmedCpuVendor().c_str());
    Print("%s\n", TrimmedCpuBrand().c_str());
    std::string line;
    int         in_line = 0;
    for (const auto& feature : CpuFeatureTable()) {
        char cell[32];
        std::snprintf(cell, sizeof cell, "%s %-13s", feature.present ? "[x] " : "[ ] ",
                      feature.name);
        line += cell;
        if (++in_line == 8) {
            PrintText(line + "\n");
            line.clear();
            in_line = 0;
        }
    }
    if (!line.empty())
        PrintText(line + "\n");
    PrintEnd();
}

void CmdSetSimdLevel(const Tokens& t) {
    Settings().simd_level = RangedInt(t, 1, 16);
    PrintOk(t);
}

void CmdSetEvalMode(const Tokens& t) {
    Settings().eval_mode = RangedInt(t, 0, 3);
    PrintOk(t);
}

void CmdSetEvalCap(const Tokens& t) {
    Settings().eval_cap = RangedInt(t, 1, 4096);
    PrintOk(t);
}

void CmdSetEvalFlag(const Tokens& t) {
    if (t[1] != "alt1" || (t[2] != "0" && t[2] != "1"))
        ArgumentCountError(t);
    Settings().eval_alt1 = t[2] == "1";
    PrintOk(t);
}

void CmdSetPrefetchMode(const Tokens& t) {
    Settings().prefetch_mode = RangedInt(t, 0, 2);
    PrintOk(t);
}

void CmdSetPrecision(const Tokens& t) {
    double value = ParseDouble(t[1]);
    if (!(value >= -2.0 && value <= 2.0))
        ArgumentCountError(t);
    Settings().precision = value;
    PrintOk(t);
}

void CmdListAlgorithms(const Tokens&) {
    Print("auto,Automatic selection (Vesk CFR if enough RAM),Automatic selection\n");
    Print("vesk_cfr,VESK_CFR,More volatile but faster and much better at low exploitabilities\n");
    Print("original_vesk,Original Vesk algorithm (about 2x faster than in 1.10),Uses less RAM; "
          "converges smoothly; less precise around 0\n");
}

void CmdGetCurrAlg(const Tokens&) { Print("vesk_cfr\n"); }

void CmdSpawn(const Tokens& t) {
    std::string arguments;
    for (size_t i = 1; i < t.size(); ++i)
        arguments += (i > 1 ? " " : "") + t[i];
    SpawnSelf(arguments);
    PrintOk(t);
}

void CmdShowPerfCounters(const Tokens&) {
    PrintText(State().solver.batch_counters.Report());
    PrintEnd();
}

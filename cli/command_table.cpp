#include "cli/command_table.h"

#include <algorithm>
#include <array>

#include "cards/card_commands.h"
#include "cli/handlers.h"
#include "net/worker_commands.h"
#include "solver/query_commands.h"
#include "solver/solver_commands.h"
#include "tree/tree_commands.h"
#include "tree/tree_file_commands.h"

namespace {

// clang-format off
constexpr CommandEntry kCommands[] = {
    // Protocol.
    {"is_ready",                  CmdConfirmOnly,             1},
    {"disconnect",                CmdDisconnect,              1},
    {"set_end_string",            CmdSetEndString,            2},
    {"help",                      CmdHelp,                    1},
    {"set_always_recalc",         CmdConfirmOnly,            -1},
    // Scripts, variables and flow.
    {"skip_if_done",              CmdSkipIfDone,              3},
    {"load_script",               CmdLoadScript,             -1},
    {"stdoutredi",                CmdStdoutRedirect,          2},
    {"stdoutredi_append",         CmdStdoutRedirectAppend,    2},
    {"stdoutback",                CmdStdoutBack,              1},
    {"sleep",                     CmdSleep,                   2},
    {"take_a_break",              CmdTakeABreak,              2},
    {"repeat",                    CmdRepeat,                 -1},
    {"echo",                      CmdEcho,                   -1},
    {"get_value",                 CmdGetValue,                2},
    {"get_all_values",            CmdGetAllValues,            1},
    {"set_value",                 CmdSetValue,                3},
    {"default_value",             CmdDefaultValue,            3},
    {"verify_value",              CmdVerifyValue,            -1},
    {"if_match",                  CmdIfMatch,                 3},
    // Settings.
    {"show_settings",             CmdShowSettings,            1},
    {"set_threads",               CmdSetThreads,              2},
    {"kx4_set_threads",           CmdSetThreads,              2},
    {"set_priority_class",        CmdSetPriorityClass,        2},
    {"set_info_freq",             CmdSetInfoFreq,             2},
    {"get_instruction_set",       CmdGetInstructionSet,       1},
    {"kx4_get_instruction_set",   CmdGetInstructionSet,       1},
    {"set_scheduler",             CmdSetScheduler,            2},
    {"enable_avx512",             CmdEnableAvx512,            2},
    {"enable_numa",               CmdEnableNuma,              2},
    {"enable_river_strategy",     CmdEnableRiverStrategy,     2},
    {"enable_ui_notifications",   CmdEnableUiNotifications,   2},
    {"enable_progress_bar",       CmdEnableProgressBar,       2},
    {"ignore_mem_check",          CmdIgnoreMemCheck,          2},
    {"show_cpu_info",             CmdShowCpuInfo,             1},
    {"set_simd_level",            CmdSetSimdLevel,            2},
    {"set_eval_mode",             CmdSetEvalMode,             2},
    {"set_eval_cap",              CmdSetEvalCap,              2},
    {"set_eval_flag",             CmdSetEvalFlag,             3},
    {"set_prefetch_mode",         CmdSetPrefetchMode,         2},
    {"set_precision",             CmdSetPrecision,            2},
    {"enable_adaptive_precision", CmdEnableAdaptivePrecision, 2},
    {"list_algorithms",           CmdListAlgorithms,          1},
    {"set_algorithm",             CmdConfirmOnly,             2},
    {"get_curr_alg",              CmdGetCurrAlg,              1},
    {"spawn",                     CmdSpawn,                  -1},
    {"enable_perf_counters",      CmdEnablePerfCounters,      2},
    {"show_perf_counters",        CmdShowPerfCounters,       -1},
    // Cards, boards and ranges.
    {"show_hand_order",           CmdShowHandOrder,           1},
    {"set_board",                 CmdSetBoard,               -1},
    {"set_range",                 CmdSetRange,             1328},
    {"show_range_grid",           CmdShowRangeGrid,           2},
    {"set_deck_distribution",     CmdSetDeckDistribution,    53},
    // Hand evaluator and rule settings.
    {"eval_hand",                 CmdEvalHand,                2},
    {"set_hand_type_order",       CmdSetHandTypeOrder,       10},
    {"set_low_card",              CmdSetLowCard,              2},
    {"set_must_use_hole_cards",   CmdSetMustUseHoleCards,     2},
    // Suit isomorphism.
    {"set_isomorphism",           CmdSetIsomorphism,          3},
    // Hand categories.
    {"show_categories",           CmdShowCategories,         -1},
    {"show_category_names",       CmdShowCategoryNames,       1},
    // Game tree: parameters and lines.
    {"set_pot",                   CmdSetPot,                  4},
    {"set_eff_stack",             CmdConfirmOnly,             2},
    {"clear_lines",               CmdClearLines,              1},
    {"free_schematic_tree",       CmdClearLines,              1},
    {"add_line",                  CmdAddLine,                -1},
    {"force_line",                CmdForceLine,              -1},
    {"remove_line",               CmdRemoveLine,             -1},
    {"cut_line",                  CmdCutLine,                 2},
    {"show_tree_params",          CmdShowTreeParams,          1},
    {"show_effective_stack",      CmdShowEffectiveStack,      1},
    {"set_rake",                  CmdSetRake,                 3},
    {"set_ev_boost",              CmdSetEvBoost,              3},
    {"reset_tree_info",           CmdResetTreeInfo,           1},
    {"add_info_line",             CmdAddInfoLine,             2},
    {"show_tree_info",            CmdShowTreeInfo,            1},
    // Game tree: building and storage.
    {"build_tree",                CmdBuildTree,              -1},
    {"free_tree",                 CmdFreeTree,                1},
    {"estimate_schematic_tree",   CmdEstimateSchematicTree,   1},
    {"node_count",                CmdNodeCount,               1},
    {"show_memory",               CmdShowMemory,              1},
    {"forget",                    CmdForget,                  2},
    {"rebuild_forgotten_streets", CmdRebuildForgottenStreets, 1},
    {"rebuild_all",               CmdRebuildForgottenStreets, 1},
    {"solve_all_splits",          CmdSolveAllSplits,          2},
    // Game tree: navigation.
    {"show_node",                 CmdShowNode,                2},
    {"show_children",             CmdShowChildren,            2},
    {"show_all_lines",            CmdShowAllLines,            1},
    {"is_tree_present",           CmdIsTreePresent,           1},
    // Game tree: files and storage levels.
    {"set_compression",            CmdSetCompression,         2},
    {"kx4_set_compression",        CmdSetCompression,         2},
    {"get_actual_compression",     CmdGetActualCompression,   1},
    {"kx4_get_actual_compression", CmdGetActualCompression,   1},
    {"load_tree",                  CmdLoadTree,               2},
    {"show_metadata",              CmdShowMetadata,           2},
    {"dump_tree",                  CmdDumpTree,              -1},
    // Solving.
    {"go",                        CmdGo,                     -1},
    {"stop",                      CmdStop,                    1},
    {"wait_for_solver",           CmdWaitForSolver,           1},
    {"solver_time",               CmdSolverTime,              1},
    {"set_accuracy",              CmdSetAccuracy,            -1},
    {"set_recalc_accuracy",       CmdSetRecalcAccuracy,       4},
    {"calc_results",              CmdCalcResults,             1},
    {"solve_partial",             CmdSolvePartial,            2},
    {"explo_partial",             CmdExploPartial,            2},
    // Strategy and value queries.
    {"show_strategy",             CmdShowStrategy,            2},
    {"show_strategy_pp",          CmdShowStrategyPp,          2},
    {"show_probs",                CmdShowProbs,               2},
    {"show_range",                CmdShowRange,              -1},
    {"show_stats",                CmdShowStats,              -1},
    {"calc_ev",                   CmdCalcEv,                  3},
    {"calc_ev_pp",                CmdCalcEvPp,                3},
    {"calc_ev_line",              CmdCalcEvLine,              3},
    {"calc_line_freq",            CmdCalcLineFreq,            2},
    {"calc_global_freq",          CmdCalcGlobalFreq,          2},
    {"calc_eq",                   CmdCalcEq,                  2},
    {"calc_eq_pp",                CmdCalcEqPp,                2},
    {"calc_eq_node",              CmdCalcEqNode,              3},
    // Node locking.
    {"lock_node",                 CmdLockNode,                2},
    {"unlock_node",               CmdUnlockNode,              2},
    {"combo_lock_node",           CmdComboLockNode,        1328},
    {"set_strategy",              CmdSetStrategy,            -1},
    {"show_locked_combos",        CmdShowLockedCombos,        2},
    // Distributed workers.
    {"connect_to_workers",        CmdConnectToWorkers,       -1},
    {"ping",                      CmdPing,                    1},
    {"init_worker",               CmdInitWorker,             -1},
    {"get_worker_data",           CmdGetWorkerData,          -1},
    {"get_worker_strategy",       CmdGetWorkerStrategy,       5},
    {"traverse_subgames",         CmdTraverseSubgames,        3},
};

constexpr std::array<std::string_view, 11> kLocalOnly = {
    "connect_to_workers", "disconnect", "calc_results", "load_script", "ping",
    "wait_for_solver", "exit", "dump_tree", "show_strategy", "show_strategy_pp", "show_range",
};
// clang-format on

}  // namespace

std::span<const CommandEntry> CommandTable() { return kCommands; }

const CommandEntry* FindCommand(std::string_view name) {
    for (const auto& entry : kCommands)
        if (entry.name == name)
            return &entry;
    return nullptr;
}

bool IsLocalOnlyCommand(std::string_view name) {
    return std::find(kLocalOnly.begin(), kLocalOnly.end(), name) != kLocalOnly.end();
}

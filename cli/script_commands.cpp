#include <chrono>
#include <cstdio>
#include <fstream>
#include <regex>
#include <thread>

#include "cli/command_table.h"
#include "cli/dispatcher.h"
#include "cli/handlers.h"
#include "cli/solver_state.h"
#include "cli/tokenizer.h"
#include "net/workers.h"
#include "solver/worker_sync.h"
#include "platform/console.h"
#include "platform/files.h"
#include "solver/run_control.h"

namespace {

std::string JoinFrom(const Tokens& t, size_t first) {
    std::string joined;
    for (size_t i = first; i < t.size(); ++i)
        joined += (i > first ? " " : "") + t[i];
    return joined;
}

void RunScriptLine(const std::string& line) {
    Tokens tokens = SplitCommandLine(line);
    if (tokens.empty())
        return;
    SyncWorkerStores();
    ExecuteCommand(tokens);
    if (WorkersConnected() && !IsLocalOnlyCommand(tokens[0]))
        ForwardToWorkers(line, /*report_results=*/true);
    FlushOutput();
}

void ReopenStdout(const Tokens& t, const std::string& path, const char* mode) {
    // A failed reopen would leave standard output closed: try the file first.
    std::FILE* probe = std::fopen(path.c_str(), mode);
    if (!probe)
        CommandError("freopen failed");
    std::fclose(probe);
    std::fflush(stdout);
    if (!std::freopen(path.c_str(), mode, stdout))
        CommandError("freopen failed");
    PrintOk(t);
}

}  // namespace

void CmdSkipIfDone(const Tokens& t) {
    if (FileExists(t[1]))
        State().interp.pending_label = t[2];
    PrintOk(t);
}

void CmdLoadScript(const Tokens& t) {
    if (t.size() < 2)
        ArgumentCountError(t);
    const std::string& path = t[1];
    if (t.size() > 2 && t[2] == "if_exists" && !FileExists(path))
        return;
    if (State().interp.verbosity > 0)
        Print("[load_script %s]\n", path.c_str());
    std::ifstream file(path, std::ios::binary);
    if (!file || !FileExists(path))
        CommandError("can't open file");
    // The script's own output so far is written before its lines run.
    FlushOutput();
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            RunScriptLine(line);
    }
}

void CmdStdoutRedirect(const Tokens& t) { ReopenStdout(t, t[1], "w"); }

void CmdStdoutRedirectAppend(const Tokens& t) { ReopenStdout(t, t[1], "a"); }

void CmdStdoutBack(const Tokens& t) {
    if (!ReopenStdoutOnConsole())
        CommandError("freopen failed");
    PrintOk(t);
}

void CmdSleep(const Tokens& t) {
    int ms = ParseInt(t[1]);
    std::this_thread::sleep_for(std::chrono::milliseconds(std::max(ms, 0)));
}

void CmdTakeABreak(const Tokens& t) {
    int ms = ParseInt(t[1]);
    RequestSolverStop();
    std::this_thread::sleep_for(std::chrono::milliseconds(std::max(ms, 0)));
    PrintOk(t);
}

void CmdRepeat(const Tokens& t) {
    if (t.size() < 3)
        ArgumentCountError(t);
    int count = ParseInt(t[1]);
    if (count < 1 || count > 99999)
        ArgumentCountError(t);
    std::string text = JoinFrom(t, 2) + "\n";
    for (int i = 0; i < count; ++i)
        PrintText(text);
    PrintEnd();
}

void CmdEcho(const Tokens& t) {
    if (t.size() > 1)
        PrintText(JoinFrom(t, 1) + "\n");
}

void CmdGetValue(const Tokens& t) {
    if (!State().variables.Exists(t[1]))
        CommandError("invalid key");
    PrintText(t[1] + " " + State().variables.Get(t[1]) + "\n");
}

void CmdGetAllValues(const Tokens&) {
    State().variables.ForEach([](const std::string& name, const std::string& value) {
        PrintText(name + " " + value + "\n");
    });
    PrintEnd();
}

void CmdSetValue(const Tokens& t) {
    State().variables.Set(t[1], t[2]);
    PrintOk(t);
}

void CmdDefaultValue(const Tokens& t) {
    State().variables.SetDefault(t[1], t[2]);
    PrintOk(t);
}

void CmdVerifyValue(const Tokens& t) {
    if (t.size() != 3 && t.size() != 4)
        ArgumentCountError(t);
    if (!State().variables.Exists(t[1]))
        CommandError("invalid key");
    double expected  = ParseDouble(t[2]);
    double tolerance = t.size() == 4 ? ParseDouble(t[3]) : 0.0;
    double value     = ParseDouble(State().variables.Get(t[1]));
    if (value < expected - tolerance || value > expected + tolerance)
        CommandError("unexpected value");
    PrintOk(t);
}

void CmdIfMatch(const Tokens& t) {
    std::regex pattern;
    try {
        pattern = std::regex(t[2], std::regex::ECMAScript);
    } catch (const std::regex_error&) {
        CommandError("invalid regular expression");
    }
    if (t[1].empty() || !std::regex_search(t[1], pattern))
        State().interp.skipping_if = true;
}

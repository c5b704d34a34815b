#include "cli/dispatcher.h"

#include <cstdlib>
#include <stdexcept>

#include "cli/banned_process_monitor.h"
#include "cli/command_table.h"
#include "cli/solver_state.h"
#include "cli/tokenizer.h"
#include "net/server_loop.h"
#include "net/workers.h"
#include "solver/worker_sync.h"

namespace {

std::string JoinTokens(const Tokens& tokens) {
    std::string joined;
    for (size_t i = 0; i < tokens.size(); ++i)
        joined += (i ? " " : "") + tokens[i];
    return joined;
}

void EchoCommand(const Tokens& tokens) {
    std::string text = JoinTokens(tokens);
    SetColor(!text.empty() && text[0] == '#' ? 5 : 3);
    WriteDirect(text + "\n");
    SetColor(7);
}

void WriteEndString() {
    const std::string& end = State().interp.end_string;
    if (!end.empty())
        PrintText(end + "\n");
}

void ApplyTerminateOnError() {
    if (!State().interp.terminateonerror)
        return;
    FlushOutput();
    ExitProgram(1);
}

void ReportError(std::string message) {
    if (message.empty() || message.back() != '\n')
        message += '\n';
    SetColor(4);
    PrintText(message);
    WriteEndString();
    ApplyTerminateOnError();
}

// Label and if-skipping rules; returns true when the line is consumed by them.
bool SkippedByFlowState(const Tokens& tokens) {
    Interpreter& interp = State().interp;
    if (tokens.size() >= 2 && tokens[0] == "LABEL:") {
        if (tokens[1] == interp.pending_label)
            interp.pending_label.clear();
        return true;
    }
    if (!interp.pending_label.empty())
        return true;
    if (tokens[0] == "end_if") {
        interp.skipping_if = false;
        return true;
    }
    return interp.skipping_if;
}

int ExitCode(const Tokens& tokens) {
    return tokens.size() > 1 ? static_cast<int>(std::strtol(tokens[1].c_str(), nullptr, 10)) : 0;
}

void RunHandler(const CommandEntry& entry, const Tokens& tokens) {
    try {
        if (entry.argc >= 1 && static_cast<int>(tokens.size()) != entry.argc)
            ArgumentCountError(tokens);
        State().interp.current_command = tokens[0];
        entry.handler(tokens);
        WriteEndString();
    } catch (const std::runtime_error& error) {
        ReportError(error.what());
    } catch (const std::logic_error&) {
        ReportError("ERROR: Invalid value\n");
    } catch (const std::bad_alloc&) {
        ReportError("ERROR: " + tokens[0] + " out of memory\n");
    } catch (const char* text) {
        Print("#exception: %s\n", text);
        std::fflush(stdout);
        throw;
    }
}

}  // namespace

void SubstituteVariables(Tokens& tokens) {
    if (tokens.empty() || tokens[0][0] == '#')
        return;
    const VariableStore& variables = State().variables;
    for (auto& token : tokens) {
        if (token.size() < 2 || token[0] != '$')
            continue;
        std::string name = token.substr(1);
        if (variables.Exists(name))
            token = variables.Get(name);
    }
}

void ExecuteCommand(const Tokens& original) {
    if (original.empty())
        return;
    if (BannedProcessMonitor::Instance().Flagged()) {
        PrintText("ERROR: banned process running: " + BannedProcessMonitor::Instance().Name() +
                  "\n");
        return;
    }
    Tokens tokens = original;
    SubstituteVariables(tokens);
    if (State().interp.echo)
        EchoCommand(tokens);
    if (tokens.empty() || SkippedByFlowState(tokens))
        return;
    if (tokens[0][0] == '#')
        return;
    if (tokens[0] == "exit") {
        FlushOutput();
        ExitProgram(ExitCode(tokens));
    }
    SubstituteVariables(tokens);
    const CommandEntry* entry = FindCommand(tokens[0]);
    if (!entry) {
        ReportError("ERROR: Command " + tokens[0] + " not recognized\n");
        return;
    }
    RunHandler(*entry, tokens);
}

void ExecuteConsoleLine(const std::string& line) {
    Tokens tokens = SplitCommandLine(line);
    if (tokens.empty())
        return;
    SyncWorkerStores();
    if (WorkersConnected() && !IsLocalOnlyCommand(tokens[0]))
        ForwardToWorkers(line, /*report_results=*/false);
    ExecuteCommand(tokens);
}

void RunConsoleLoop(std::FILE* input) {
    std::string line;
    auto        run_line = [&] {
        if (line.empty())
            return;
        try {
            ExecuteConsoleLine(line);
        } catch (const char*) {
            // Already reported as an info line by the dispatcher; the loop goes on.
        }
        FlushOutput();
        line.clear();
    };
    for (int c; (c = std::fgetc(input)) != EOF;) {
        if (c == '\n')
            run_line();
        else if (c == '\r') {
            run_line();
            int next = std::fgetc(input);
            if (next != '\n' && next != EOF)
                std::ungetc(next, input);
        } else
            line += static_cast<char>(c);
    }
    run_line();
}

void ExitProgram(int code) {
    DeliverPendingReply();
    BannedProcessMonitor::Instance().Stop();
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(code);
}

// Runs command lines: substitution, flow words, table lookup, the handler call and the
// error conventions. Everything here runs on the interpreter thread.
#pragma once

#include <cstdio>
#include <string>

#include "cli/command.h"

// Replaces every token of two or more bytes that begins with '$' by the value of the
// variable it names, when that variable exists. Lines whose first token begins with '#'
// are left alone. One pass; not recursive.
void SubstituteVariables(Tokens& tokens);

// Runs one tokenised command line. Reports every failure as output; only a text
// exception (const char*) thrown by a handler is passed on to the caller.
void ExecuteCommand(const Tokens& tokens);

// Tokenises and runs one line typed at the console or sent by a client: forwards it to
// connected workers first (unless the command is local-only), then runs it.
void ExecuteConsoleLine(const std::string& line);

// Reads lines ended by LF, CR or CR LF from 'input' until its end, running each one and
// flushing the output after it. Blocks until end of input.
void RunConsoleLoop(std::FILE* input);

// Stops the background services and ends the process with 'code' after flushing
// standard output. Used by exit, terminate-on-error and the end of start-up.
[[noreturn]] void ExitProgram(int code);

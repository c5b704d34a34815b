// What every command handler needs: the token list, the reply routines and the two error
// constructors. Handlers reply only through Print/PrintOk and fail only by throwing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Tokens = std::vector<std::string>;

// printf-style formatting (at most 65,536 bytes) appended to the output buffer. A format
// beginning with '#' is dropped unless info lines are enabled.
void Print(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Appends text verbatim (no formatting, no '#' filter): for echo-like replies.
void PrintText(const std::string& text);

// "<command> ok!" unless --suppressok is in force.
void PrintOk(const Tokens& tokens);

// "END" closing a multi-line reply, unless a custom end string replaces it.
void PrintEnd();

// Throws a std::runtime_error "ERROR: <current command> <text>\n".
[[noreturn]] void CommandError(const std::string& text);

// Throws a std::runtime_error "ERROR: <tokens[0]> incorrect or missing argument\n".
[[noreturn]] void ArgumentCountError(const Tokens& tokens);

// Number parsing with the leniency of the C++ library's sto* family: leading blanks are
// skipped, the longest numeric prefix is read, trailing text is ignored. A text without
// a number throws std::invalid_argument and a value out of range std::out_of_range; the
// dispatcher reports both as "ERROR: Invalid value".
int ParseInt(const std::string& text);
int64_t ParseInt64(const std::string& text);
double ParseDouble(const std::string& text);

// True when the argument is a 0/1-style switch value other than 0.
inline bool ParseSwitch(const std::string& text) { return ParseInt(text) != 0; }

// Processes, threads and the executable's own location.
#pragma once

#include <string>
#include <vector>

// File names (no directory) of the executables of all running processes.
std::vector<std::string> RunningExecutableNames();

// Full path of this program's executable; empty when it cannot be found.
std::string ExecutablePath();

// Directory of this program's executable with a trailing '/', or "./" when unknown.
std::string ExecutableDirectory();

void SetCurrentThreadLowestPriority();
void SetCurrentThreadAboveNormalPriority();

// Maps a priority class name ("idle" ... "realtime") to a nice level and applies it to
// the process; returns false for an unknown name. Refusals by the system are ignored.
bool SetProcessPriorityClass(const std::string& name);

// Starts this executable with the given argument text (split at blanks) as a child that
// is killed when this process ends. Returns false when the child could not be started.
bool SpawnSelf(const std::string& arguments);

int LogicalProcessorCount();

// Makes every thread allocate from the one malloc arena of the main thread. Threads
// otherwise get an arena each, a heap whose touched pages stay resident; the solver's
// threads allocate almost nothing once the first passes have sized their working memory,
// so they have nothing to gain from arenas of their own. Call before starting threads.
void UseOneMallocArena();

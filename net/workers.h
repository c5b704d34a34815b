// The master's view of connected worker processes, as the command loop sees it.
#pragma once

#include <string>

// True while at least one worker process is connected.
bool WorkersConnected();

// Sends one command line to every connected worker. With 'report_results' the workers'
// replies are printed (script lines report what the workers answered).
void ForwardToWorkers(const std::string& line, bool report_results);

// The commands of distributed solving, master and worker side.
#pragma once

#include "cli/command.h"

void CmdConnectToWorkers(const Tokens& t);  // master
void CmdPing(const Tokens& t);              // both
void CmdInitWorker(const Tokens& t);        // worker
void CmdGetWorkerData(const Tokens& t);     // worker
void CmdGetWorkerStrategy(const Tokens& t); // worker
void CmdTraverseSubgames(const Tokens& t);  // worker

// Handlers of the tree-file and storage-level commands. Rows in cli/command_table.cpp.
#pragma once

#include "cli/command.h"

void CmdLoadTree(const Tokens& t);
void CmdShowMetadata(const Tokens& t);
void CmdDumpTree(const Tokens& t);  // dump_tree <file> [version <0..11>]

void CmdSetCompression(const Tokens& t);       // also kx4_set_compression
void CmdGetActualCompression(const Tokens& t);  // also kx4_get_actual_compression

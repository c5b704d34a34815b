// dump_tree's work: the present tree, its lines, board, ranges, rules and solution, in
// the tree file format (tree_file_format.h).
#pragma once

#include <cstdint>
#include <string>

// Writes the present tree to 'name' in format 'version' (0 .. 11; older versions leave
// out the fields they do not have). Throws the command's errors: "missing/incorrect
// tree", "Can't do that when solver is running", "lines changed since build_tree" when
// the lines no longer describe the built tree, and the file errors. A failed write
// leaves no file behind and an existing file of that name unchanged.
void WriteTreeFile(const std::string& name, int32_t version);

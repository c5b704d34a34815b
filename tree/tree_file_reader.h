// load_tree's and show_metadata's work on a tree file (tree_file_format.h).
#pragma once

#include <string>

// Replaces the tree, lines, board, ranges, rules, pot, rake and information lines by the
// file's, in the order of the format: discards the tree and lines first, reads the
// settings into the live state, rebuilds the tree from the file's lines as build_tree
// does (without choosing a storage level), restores the tree header and the engine's
// state, creates the storage in the file's level and reads the node storage into it.
// Prints "#progress" lines while reading the storage when notifications are on.
// Throws the command's errors (file, format and content messages); after a failure no
// tree is present and the lines are empty.
void LoadTreeFile(const std::string& name);

// show_metadata: the file summary from the header and the metadata trailer, as the
// command prints it (everything up to, not including, the confirmation). Discards the
// tree and lines like load_tree. Throws the command's errors.
std::string MetadataSummary(const std::string& name);

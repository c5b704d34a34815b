// The metadata trailer of a tree file: a count and length-prefixed strings, the first
// beginning "#Type#", found by searching the file's last bytes (tree_file_format.h).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The trailer's bytes for 'strings' (the first must begin with "#Type#").
std::vector<uint8_t> MetadataBlock(const std::vector<std::string>& strings);

// The strings of the block that begins kMetadataLead bytes before the first "#Type#" in
// 'tail', or nullopt when there is none (or it starts before 'tail'). Lengths that run
// past the end are cut to what is there.
std::optional<std::vector<std::string>> FindMetadata(std::span<const uint8_t> tail);

// The effective stacks of a "#EffectiveStacks#<digits>" string among 'strings', or 0.
// Throws the integer conversion errors of ParseInt on bad digits.
int EffectiveStacksOf(const std::vector<std::string>& strings);

// The tree file format: sections in order, with each field's type and bounds.
//
// All integers little-endian. "Version" is the format version (kTreeFileVersion written;
// 0 .. 11 read, conditional fields as marked).
//
//  1 magic               4 bytes        "KX4:"
//  2 version             i32            0 .. 11; 12 and above refused
//  3 values unavailable  u8             version >= 4; non-zero: no expected values in the file
//  4 lowest rank         u8             version >= 8; 0 .. kMaxLowCard (0 when absent)
//  5 must use hole cards u8             version >= 8; 0 .. 2 (0 when absent)
//  6 hand-type order     9 x u8         version >= 8; a permutation of 0..8 (identity when absent)
//  7 flop, turn, river   3 x u64        card masks (bit = card id); turn and river 0 when none
//  8 pot                 3 x f64        the set_pot triple
//  9 OOP range, IP range 2 x 1326 x f64 internal combo order
// 10 schematic tree      record         depth-first, pre-order (below)
// 11 tree header         60 bytes       (+ 8 from version 11, below)
// 12 storage level       i32            the actual level, 0 .. 5
// 13 node storage        variable       node_storage_section.h
// 14 information lines   variable       version >= 7: u32 count, then per line u32 length + bytes
// 15 metadata            variable       version 11: u32 count N, N x (u32 length + bytes), the
//                                       first string starting "#Type#"; found by searching
//                                       the last 8192 bytes of the file for "#Type#"
//
// Schematic node record: i32 player, i32 street offset, i32 bet count, i32 built index,
// f64 amount, f64 committed OOP, f64 committed IP, i32 child count N, then N times the
// child's key (f64) and the child's record.
//
// Tree header: u32 tree flags, i32 first forgotten street (-1 none), u32 completed
// iterations, 4 x f64 result figures (EV OOP, EV IP, MES OOP, MES IP, in stored units),
// i64 averaging delay, f64 exploitability of those figures (NaN when the figures do not
// belong to the stored iteration count); from version 11 f32 rake fraction, f32 rake cap.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

inline constexpr std::array<char, 4> kTreeFileMagic = {'K', 'X', '4', ':'};
// Stands beside the magic in the program's tables; no reader accepts it and no writer
// writes it.
inline constexpr std::array<char, 4> kTreeFileAlternateMagic = {'Q', 'L', 'N', ':'};

inline constexpr int32_t kTreeFileVersion      = 11;
inline constexpr int32_t kFirstRefusedVersion  = 12;
inline constexpr int32_t kValuesFlagVersion    = 4;
inline constexpr int32_t kInfoLinesVersion     = 7;
inline constexpr int32_t kHandRulesVersion     = 8;
inline constexpr int32_t kRakeVersion          = 11;
inline constexpr int32_t kMetadataVersion      = 11;

inline constexpr size_t kHandTypeOrderBytes = 9;
inline constexpr size_t kTreeHeaderBytes    = 60;
inline constexpr size_t kMetadataWindow     = 8192;
// The metadata block starts this many bytes before its "#Type#" (count and length).
inline constexpr size_t kMetadataLead = 8;

inline constexpr std::string_view kTypePrefix            = "#Type#";
inline constexpr std::string_view kEffectiveStacksPrefix = "#EffectiveStacks#";
inline constexpr std::string_view kTreeFileType          = "#Type#Quillane tree";

// Limits that protect the reader from damaged files (far above any real tree).
inline constexpr int      kMaxSchematicDepth    = 1000;
inline constexpr uint64_t kMaxSchematicNodes    = 10'000'000;
inline constexpr uint32_t kMaxInfoLineBytes     = 1 << 20;
inline constexpr uint32_t kMaxInfoLines         = 1 << 20;
inline constexpr uint32_t kMaxMetadataStrings   = 1 << 16;

// The message framing of server mode, the same in both directions.
//
// Every message begins with a 9-byte header and carries exactly one text; types 3 and 4
// carry a payload in front of the text. All integers are little-endian and unaligned.
//
//   offset 0    type byte
//   offset 1    first length, unsigned 64-bit
//   type 1 (text):           text bytes (first length)
//   type 3 (file and text):  file bytes (first length), text length (unsigned 32-bit),
//                            text bytes
//   type 4 (block and text): block bytes (first length), text length (unsigned 32-bit),
//                            text bytes
//
// A receiver reads every type byte other than 3 and 4 as type 1. A client's text is one
// command line without a line terminator; a server's text is the reply of one command.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

enum class MessageType : uint8_t { kText = 1, kFile = 3, kBlock = 4 };

constexpr size_t kHeaderSize     = 9;
constexpr size_t kTextLengthSize = 4;      // the text length after a file or a block
constexpr size_t kFileChunkSize  = 65536;  // file bytes are streamed in chunks of this size

// Receivers refuse announcements beyond these lengths and drop the connection instead of
// reading on. Texts are command lines and replies (the longest commands carry a few
// thousand numbers); blocks are held in memory; files go to disk in chunks.
constexpr uint64_t kMaxTextLength  = uint64_t{64} << 20;  // 64 MiB
constexpr uint64_t kMaxBlockLength = uint64_t{4} << 30;   // 4 GiB
constexpr uint64_t kMaxFileLength  = uint64_t{1} << 40;   // 1 TiB

// The type a receiver reads a type byte as: 3 and 4 stand for themselves, all else is 1.
MessageType TypeFromByte(uint8_t byte);

// Writes the low 'size' bytes of 'value' to 'out' least significant first; 'out' needs
// no alignment.
void StoreLittleEndian(uint64_t value, size_t size, uint8_t* out);

// Reads 'size' bytes (at most 8) from 'in', least significant first.
uint64_t LoadLittleEndian(const uint8_t* in, size_t size);

using MessageHeader = std::array<uint8_t, kHeaderSize>;

MessageHeader EncodeHeader(MessageType type, uint64_t first_length);

std::array<uint8_t, kTextLengthSize> EncodeTextLength(uint32_t length);

// The longest first length a receiver accepts for a message of this type.
uint64_t MaxFirstLength(MessageType type);

#include "net/message.h"

MessageType TypeFromByte(uint8_t byte) {
    if (byte == static_cast<uint8_t>(MessageType::kFile))
        return MessageType::kFile;
    if (byte == static_cast<uint8_t>(MessageType::kBlock))
        return MessageType::kBlock;
    return MessageType::kText;
}

void StoreLittleEndian(uint64_t value, size_t size, uint8_t* out) {
    for (size_t i = 0; i < size; ++i)
        out[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint64_t LoadLittleEndian(const uint8_t* in, size_t size) {
    uint64_t value = 0;
    for (size_t i = 0; i < size; ++i)
        value |= uint64_t{in[i]} << (8 * i);
    return value;
}

MessageHeader EncodeHeader(MessageType type, uint64_t first_length) {
    MessageHeader header{};
    header[0] = static_cast<uint8_t>(type);
    StoreLittleEndian(first_length, 8, &header[1]);
    return header;
}

std::array<uint8_t, kTextLengthSize> EncodeTextLength(uint32_t length) {
    std::array<uint8_t, kTextLengthSize> bytes{};
    StoreLittleEndian(length, kTextLengthSize, bytes.data());
    return bytes;
}

uint64_t MaxFirstLength(MessageType type) {
    switch (type) {
        case MessageType::kFile: return kMaxFileLength;
        case MessageType::kBlock: return kMaxBlockLength;
        case MessageType::kText: break;
    }
    return kMaxTextLength;
}

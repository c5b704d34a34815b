#include "tree/tree_file_metadata.h"

#include <algorithm>
#include <string_view>

#include "cli/command.h"
#include "tree/binary_reader.h"
#include "tree/tree_file_format.h"

std::vector<uint8_t> MetadataBlock(const std::vector<std::string>& strings) {
    std::vector<uint8_t> block;
    auto put_u32 = [&](uint32_t value) {
        for (int i = 0; i < 4; ++i)
            block.push_back(static_cast<uint8_t>(value >> (8 * i)));
    };
    put_u32(static_cast<uint32_t>(strings.size()));
    for (const std::string& text : strings) {
        put_u32(static_cast<uint32_t>(text.size()));
        block.insert(block.end(), text.begin(), text.end());
    }
    return block;
}

std::optional<std::vector<std::string>> FindMetadata(std::span<const uint8_t> tail) {
    const auto found = std::search(tail.begin(), tail.end(), kTypePrefix.begin(), kTypePrefix.end());
    if (found == tail.end() || found - tail.begin() < static_cast<ptrdiff_t>(kMetadataLead))
        return std::nullopt;
    MemoryReader   in(tail.subspan(found - tail.begin() - kMetadataLead));
    const uint32_t count = std::min(in.Get<uint32_t>(), kMaxMetadataStrings);
    std::vector<std::string> strings;
    for (uint32_t i = 0; i < count && in.Remaining() > 0; ++i) {
        const uint32_t stated = in.Get<uint32_t>();
        const size_t   length = std::min<size_t>(stated, in.Remaining());
        std::string  text(length, '\0');
        in.Read(text.data(), length);
        strings.push_back(std::move(text));
    }
    return strings;
}

int EffectiveStacksOf(const std::vector<std::string>& strings) {
    int stacks = 0;
    for (const std::string& text : strings)
        if (std::string_view(text).starts_with(kEffectiveStacksPrefix))
            stacks = ParseInt(text.substr(kEffectiveStacksPrefix.size()));
    return stacks;
}

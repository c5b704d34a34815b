#include "tree/system_memory.h"

#include <cstdlib>
#include <string_view>

#include "platform/files.h"

namespace {

// The value in kB of the line "<key>: <value> kB", or -1 when absent.
int64_t MeminfoValue(std::string_view text, std::string_view key) {
    while (!text.empty()) {
        const size_t           end  = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.size() <= key.size() || line.substr(0, key.size()) != key ||
            line[key.size()] != ':')
            continue;
        const std::string value(line.substr(key.size() + 1));
        char*             parsed_end = nullptr;
        const long long   kb         = std::strtoll(value.c_str(), &parsed_end, 10);
        return parsed_end == value.c_str() ? -1 : kb;
    }
    return -1;
}

}  // namespace

SystemMemory ParseMeminfo(const std::string& text) {
    int64_t total_kb     = MeminfoValue(text, "MemTotal");
    int64_t available_kb = MeminfoValue(text, "MemAvailable");
    if (total_kb <= 0)
        return {};
    if (available_kb < 0)
        available_kb = MeminfoValue(text, "MemFree");
    if (available_kb < 0 || available_kb > total_kb)
        available_kb = total_kb;
    int load = static_cast<int>((total_kb - available_kb) * 100 / total_kb);
    return {static_cast<uint64_t>(total_kb) * 1024, load};
}

SystemMemory ReadSystemMemory() {
    return ParseMeminfo(ReadWholeFile("/proc/meminfo").value_or(""));
}

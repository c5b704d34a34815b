#include "tree/system_memory.h"

#include <fstream>
#include <sstream>

namespace {

// The value in kB of the line "<key>: <value> kB", or -1 when absent.
int64_t MeminfoValue(const std::string& text, const std::string& key) {
    std::istringstream lines(text);
    std::string        line;
    while (std::getline(lines, line)) {
        if (line.compare(0, key.size(), key) != 0 || line.size() <= key.size() ||
            line[key.size()] != ':')
            continue;
        std::istringstream fields(line.substr(key.size() + 1));
        int64_t            value = -1;
        fields >> value;
        return value;
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
    std::ifstream     file("/proc/meminfo");
    std::stringstream text;
    text << file.rdbuf();
    return ParseMeminfo(text.str());
}

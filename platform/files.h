#pragma once

#include <optional>
#include <string>

// True when the path names something that exists and is not a directory.
bool FileExists(const std::string& path);

// True when the path names anything at all (file or directory).
bool PathExists(const std::string& path);

// The whole contents of a file, or nullopt when it cannot be opened or read. Plain stdio,
// not streams: the first stream a process opens sets up the C++ locale machinery, about
// 0.8 MB of pages that then stay resident.
std::optional<std::string> ReadWholeFile(const std::string& path);

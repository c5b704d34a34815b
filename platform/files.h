#pragma once

#include <string>

// True when the path names something that exists and is not a directory.
bool FileExists(const std::string& path);

// True when the path names anything at all (file or directory).
bool PathExists(const std::string& path);

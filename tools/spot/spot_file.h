// Reading spot files. The keys and their meaning are documented with the standard spots
// (examples/README.md); every problem is reported as a SpotError naming the key.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "tools/spot/spot.h"

// Checks and converts a parsed spot document.
Spot SpotFromJson(const nlohmann::json& document);

// Reads and converts the file at 'path'; unreadable files and JSON syntax errors are
// SpotErrors too.
Spot LoadSpotFile(const std::string& path);

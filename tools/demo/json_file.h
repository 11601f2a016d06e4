// Writes a JSON document to a file, two-space indented, as the demo's
// summary.json and soak.json are.
//
// Thread-safety: a pure function of its arguments and the file system.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

// False, with "cannot write PATH" in *error (when given), if the file could
// not be written in full.
bool WriteJsonFile(const std::string& path, const nlohmann::json& root, std::string* error);

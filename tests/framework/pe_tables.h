// The export and import tables of a 64-bit PE file (a Windows DLL), read
// straight from its bytes so that the check needs no Windows tools.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct CPeTables {
  std::vector<std::string> mExports;        // exported names, in the table's order
  size_t mExportedFunctions = 0;            // entries of the address table (names or ordinals)
  std::vector<std::string> mImportedDlls;   // as the import descriptors name them
  std::vector<std::string> mDelayLoadDlls;  // delay-load descriptors: expected empty
};

// Throws std::runtime_error naming the file when it is not a PE32+ image or
// a table points outside the file.
CPeTables ReadPeTables(const std::filesystem::path& path);

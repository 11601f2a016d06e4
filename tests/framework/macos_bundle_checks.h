// What a slice of a plug-in bundle must be for the host on macOS: a signed
// MH_BUNDLE for macOS 11 of the expected architecture that exports
// _GetActorInfo only and imports libSystem only (the C++ runtime inside).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/framework/macho_file.h"

// One sentence per fault, each starting with what it is about ("file type",
// "exports", "signature", ...); empty for a sound slice.
std::vector<std::string> BundleSliceProblems(const CMachSlice& slice, uint32_t cpuType);

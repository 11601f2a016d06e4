// The resident memory of this process, as the kernel counts it (VmRSS in
// /proc/self/status), for a run that must show its memory stays flat.
//
// Thread-safety: plain functions.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The VmRSS figure of a /proc/PID/status text in kilobytes; nothing when the
// text has no readable VmRSS line.
std::optional<uint64_t> ParseResidentKilobytes(std::string_view status);
// This process's resident memory now; nothing where /proc is not there.
std::optional<uint64_t> ResidentKilobytes();

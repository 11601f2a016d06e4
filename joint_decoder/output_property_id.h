// Four-character IDs of the coordinate outputs added at run time.
//
// The inIndex-th coordinate output (1-based, output 5 + inIndex - 1) is
// 'o' 't' plus two characters: ot01..ot99, then otAA..otZZ, then otaa..otzz.
// Saved patches refer to outputs by these IDs, so the scheme must not change.
// Pure, safe from any thread.
#pragma once

#include <cstdint>

#include "framework/vorlane_types.h"

// Combinations of two letters of one case.
inline constexpr int32_t kTwoCharMax = 26 * 26;

// The packed ID (first character in the most significant byte). An inIndex of
// kTwoCharMax * 2 or more is reported under "Bonesplit" through `params` (may
// be null); past otzz, or below 0, "false" is reported as well and the last two
// characters are zero bytes.
uint32_t OutputPropertyID(VorlaneParameters* params, int32_t inIndex);

// The body point map: which skeleton point each output channel reports.
//
// The user's selection (a comma-separated list of joint names) comes first,
// in the order typed; every point not named follows in the skeleton's order.
// These are the pure steps of a rebuild; reading the inputs from the host and
// renaming the outputs is the actor's part. Functions of their arguments
// only: safe from any thread.
#pragma once

#include <cstdint>

#include "framework/vorlane_types.h"
#include "joint_decoder/label_list.h"
#include "skeleton/skeleton_pkg.h"

// The pieces of a selection text: every maximal run of characters other than
// ',' is a piece, trimmed, with its 0-based position as index. Line breaks are
// not separators. A piece of blanks only stays as an empty name. A null text
// gives an empty list.
label_list SplitPointSelection(const char* text);

// One label per point of `s`, in point order, text = joint name.
label_list AvailablePoints(const SkeletonPkg& s);

// Fills `map` (s.point_count entries) with the selected points, then the rest
// in point order, and returns the number of entries written, which is always
// s.point_count. A name that matches nothing left takes no entry. Broken
// invariants are reported under "Bonesplit" through `params` (may be null).
uint32_t FillBodyPointMap(VorlaneParameters* params, const SkeletonPkg& s,
                          const label_list& selection, uint32_t* map);

// Reading a skeleton point's joint name.
//
// Producers write names with 32-byte bounded copies, so a name that fills its
// field has no terminating zero; reading stops at the field's end rather than
// run into the coordinates that follow. Pure, safe from any thread.
#pragma once

#include <cstring>
#include <string_view>

#include "skeleton/skeleton_pkg.h"

inline std::string_view JointName(const SkeletonPoint& point) {
  return std::string_view(point.name, strnlen(point.name, kSkeletonNameSize));
}

#include "joint_decoder/body_point_map.h"

#include <cstring>
#include <string_view>

#include "framework/actor_assert.h"
#include "joint_decoder/bonesplit_name.h"
#include "joint_decoder/joint_name.h"
#include "joint_decoder/trim_whitespace.h"

label_list SplitPointSelection(const char* text) {
  label_list pieces;
  if (text == nullptr) return pieces;
  int32_t position = 0;
  const char* cursor = text;
  while (*cursor != 0) {
    if (*cursor == ',') {
      ++cursor;
      continue;
    }
    const size_t length = std::strcspn(cursor, ",");
    pieces.append(TrimWhitespace(std::string(cursor, length)), position++);
    cursor += length;
  }
  return pieces;
}

label_list AvailablePoints(const SkeletonPkg& s) {
  label_list available;
  available.reserve(s.point_count);
  for (uint32_t i = 0; i < s.point_count; ++i) {
    available.append(JointName(s.points[i]), static_cast<int32_t>(i));
  }
  return available;
}

uint32_t FillBodyPointMap(VorlaneParameters* params, const SkeletonPkg& s,
                          const label_list& selection, uint32_t* map) {
  label_list available = AvailablePoints(s);
  int64_t mapIndex0 = 0;

  // The bound check is inclusive as the invariant reads; the store itself is
  // guarded strictly so that a broken invariant can never write past the map.
  auto store = [&](int index) {
    VORL_ASSERT_TEXT(params, kBonesplitName, mapIndex0 >= 0 && mapIndex0 <= s.point_count,
                     "mapIndex0 >= 0 && mapIndex0 <= s.point_count");
    if (mapIndex0 >= 0 && mapIndex0 < s.point_count) {
      map[mapIndex0] = static_cast<uint32_t>(index);
      ++mapIndex0;
    }
  };

  for (const label& piece : selection) {
    int index = -1;
    if (available.remove_match_and_get_index(piece.text, index)) store(index);
  }
  for (const label& rest : available) store(rest.index);

  VORL_ASSERT_TEXT(params, kBonesplitName, mapIndex0 == s.point_count, "mapIndex0 == s.point_count");
  return static_cast<uint32_t>(mapIndex0);
}

// Bonesplit's property declarations and help table, as handed to the host.
//
// Both are static, read-only and shared by every instance of the plug-in
// file; they may be read from any thread.
#pragma once

#include <cstddef>
#include <cstdint>

// Entry 0 describes the actor, then one entry per input and one per output in
// declaration order.
inline constexpr size_t kBonesplitHelpCount = 15;

// The property definition text: fourteen declarations, each ended by a
// carriage return. Static storage.
const char* GetBonesplitParameterString();

extern const char* const sHelpStrings[kBonesplitHelpCount];

// Property indexes, 1-based within inputs and within outputs, in the order of
// the declarations.
namespace BonesplitInput {
inline constexpr uint16_t kSkeleton = 1;
inline constexpr uint16_t kChannels = 2;
inline constexpr uint16_t kPointSel = 3;
inline constexpr uint16_t kOffsetX = 4;
inline constexpr uint16_t kOffsetY = 5;
inline constexpr uint16_t kOffsetZ = 6;
inline constexpr uint16_t kRelativeTo = 7;
}  // namespace BonesplitInput

namespace BonesplitOutput {
inline constexpr uint16_t kTracking = 1;
inline constexpr uint16_t kSkeletonID = 2;
inline constexpr uint16_t kEnter = 3;
inline constexpr uint16_t kExit = 4;
}  // namespace BonesplitOutput

// Layout and naming of the coordinate outputs.
//
// Outputs 1 to 4 are fixed (tracking, skeleton_id, enter, exit); from output
// kFirstVariablePropertyIndex1 on, each channel owns three outputs, x, y and
// z. Channels come and go at run time, so their count is always derived from
// the number of outputs the host reports. Pure, safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Index of the first coordinate output (channel 0, x).
inline constexpr uint16_t kFirstVariablePropertyIndex1 = 5;
inline constexpr int32_t kCoordinatesPerChannel = 3;
inline constexpr int32_t kMinChannels = 1;
inline constexpr int32_t kMaxChannels = 64;

// The coordinate letters "x", "y", "z".
extern const char* const sCoordName[kCoordinatesPerChannel];

// The output index of coordinate `coord` (0 x, 1 y, 2 z) of `channel` (0-based).
constexpr int32_t CoordinateOutputIndex(int32_t channel, int32_t coord) {
  return kFirstVariablePropertyIndex1 + kCoordinatesPerChannel * channel + coord;
}

// Channels held by `outputCount` outputs: (outputs - 4) / 3, rounded down,
// never below 0.
constexpr int32_t ChannelCountFromOutputs(uint32_t outputCount) {
  constexpr uint32_t kFixed = kFirstVariablePropertyIndex1 - 1;
  return outputCount <= kFixed
             ? 0
             : static_cast<int32_t>((outputCount - kFixed) / kCoordinatesPerChannel);
}

// A requested channel count brought into 1..64. A host may deliver any number
// whatever the declared limits say.
constexpr int32_t ClampChannelCount(int64_t requested) {
  return requested < kMinChannels   ? kMinChannels
         : requested > kMaxChannels ? kMaxChannels
                                    : static_cast<int32_t>(requested);
}

// The letters that name `channel` (0-based) before a skeleton arrives:
// a..z, then two letters aa..az, ba..bl for the last possible channel, 63.
std::string ChannelLetters(int32_t channel);

// "joint-" followed by the channel letters.
std::string DefaultChannelName(int32_t channel);

// Room for a joint name (at most 32 bytes), a blank, a letter and the zero.
inline constexpr size_t kCoordinateNameSize = 48;

// Writes "<base> <letter of coord>" into `name`, NUL-terminated; a base too
// long for the buffer is cut.
void FormatCoordinateName(std::string_view base, int32_t coord, char (&name)[kCoordinateNameSize]);

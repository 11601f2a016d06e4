#include "joint_decoder/coordinate_outputs.h"

#include <algorithm>
#include <cstring>

const char* const sCoordName[kCoordinatesPerChannel] = {"x", "y", "z"};

std::string ChannelLetters(int32_t channel) {
  if (channel < 26) return std::string(1, static_cast<char>('a' + channel));
  return {static_cast<char>('a' - 1 + channel / 26), static_cast<char>('a' + channel % 26)};
}

std::string DefaultChannelName(int32_t channel) { return "joint-" + ChannelLetters(channel); }

void FormatCoordinateName(std::string_view base, int32_t coord, char (&name)[kCoordinateNameSize]) {
  // Called for every renamed output on each layout change, hence no snprintf.
  const size_t length = std::min(base.size(), kCoordinateNameSize - 3);
  std::memcpy(name, base.data(), length);
  name[length] = ' ';
  name[length + 1] = sCoordName[coord % kCoordinatesPerChannel][0];
  name[length + 2] = 0;
}

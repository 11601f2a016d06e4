#include "joint_decoder/coordinate_help.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "joint_decoder/coordinate_outputs.h"

void ComposeCoordinateHelp(const char* displayName, uint16_t index, char* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0 || index < kFirstVariablePropertyIndex1) return;
  std::string name = displayName != nullptr ? displayName : "";
  // Drop the separator and the coordinate letter: 'neck y' -> 'neck',
  // 'joint-a_x' -> 'joint-a'.
  if (name.size() >= 3) name.resize(name.size() - 2);
  const char* letter = sCoordName[(index - kFirstVariablePropertyIndex1) % kCoordinatesPerChannel];
  if (name.compare(0, 5, "joint") == 0) {
    std::snprintf(buffer, size,
                  "Reports the %s-coordinate of %s. Once a valid skeleton has been received, this "
                  "joint name will automatically update to reflect the joints available for the "
                  "incoming skeleton.",
                  letter, name.c_str());
  } else {
    std::snprintf(buffer, size, "Reports the %s-coordinate of the %s.", letter, name.c_str());
  }
}

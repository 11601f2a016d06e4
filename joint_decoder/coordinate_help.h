// Help texts of the coordinate outputs, composed from each output's current
// display name, so that help follows the joint names of the latest skeleton.
// Pure, safe from any thread.
#pragma once

#include <cstdint>

// Composes the help of coordinate output `index` (5 or more) whose display
// name is `displayName`, e.g. 'left hand y' -> "Reports the y-coordinate of
// the left hand.". Writes at most `size` bytes, always NUL-terminated; with a
// size of 0 or a null buffer nothing is written.
void ComposeCoordinateHelp(const char* displayName, uint16_t index, char* buffer, uint32_t size);

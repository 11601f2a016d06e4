// Friendly joint names of the suit's sensor addresses.
//
// The high three bits of an address pick the limb chain (0x00 left leg,
// 0x20 left arm, 0x40 head, 0x60 right arm, 0x80 right leg, 0xA0 trunk), the
// low bits the segment along it.
//
// Thread-safety: pure function over static text.
#pragma once

#include <cstdint>

// The friendly name of `address` ("head", "left-hand", ...), or "unknown".
// The text is static and never longer than 15 characters.
const char* GetMotiWearSensorAddressToDefaultJointName(uint8_t address);

// Four-character codes: class and actor IDs, property IDs and record
// signatures, packed with the first character in the most significant byte.
#pragma once

#include <cstdint>

constexpr uint32_t FourCharCode(const char (&code)[5]) {
  return (static_cast<uint32_t>(static_cast<unsigned char>(code[0])) << 24) |
         (static_cast<uint32_t>(static_cast<unsigned char>(code[1])) << 16) |
         (static_cast<uint32_t>(static_cast<unsigned char>(code[2])) << 8) |
         static_cast<uint32_t>(static_cast<unsigned char>(code[3]));
}

static_assert(FourCharCode("skel") == 0x736B656C);
static_assert(FourCharCode("cntl") == 0x636E746C);

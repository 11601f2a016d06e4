// Four-character codes as the host reads them: packed into a u32 with the
// first character in the most significant byte ('skel' = 0x736B656C).
//
// Thread-safety: stateless.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vhost {

// Packs exactly four characters; REQUIRES: text.size() == 4.
constexpr uint32_t PackFourCharCode(std::string_view text) {
  return (static_cast<uint32_t>(static_cast<unsigned char>(text[0])) << 24) |
         (static_cast<uint32_t>(static_cast<unsigned char>(text[1])) << 16) |
         (static_cast<uint32_t>(static_cast<unsigned char>(text[2])) << 8) |
         static_cast<uint32_t>(static_cast<unsigned char>(text[3]));
}
static_assert(PackFourCharCode("skel") == 0x736B656C);

// The four characters of a code; bytes that are not printable ASCII become '.'.
std::string FourCharText(uint32_t code);

// "'skel' (0x736B656C)".
std::string FourCharDescription(uint32_t code);

}  // namespace vhost

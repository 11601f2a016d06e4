#include "host/four_char_code.h"

#include <fmt/format.h>

namespace vhost {

std::string FourCharText(uint32_t code) {
  std::string text(4, '.');
  for (int i = 0; i < 4; ++i) {
    const auto c = static_cast<unsigned char>(code >> (24 - 8 * i));
    if (c >= 0x20 && c < 0x7F) text[i] = static_cast<char>(c);
  }
  return text;
}

std::string FourCharDescription(uint32_t code) {
  return fmt::format("'{}' (0x{:08X})", FourCharText(code), code);
}

}  // namespace vhost

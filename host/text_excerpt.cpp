#include "host/text_excerpt.h"

#include <fmt/format.h>

#include <utility>

namespace vhost {
namespace {

// The excerpt's characters and how many bytes of `text` it leaves out.
std::pair<std::string, size_t> Cut(std::string_view text) {
  size_t kept = text.size();
  if (kept > kExcerptBytes) {
    kept = kExcerptBytes;
    // Back over UTF-8 continuation bytes so that no character is cut in two.
    while (kept > 0 && (static_cast<unsigned char>(text[kept]) & 0xC0) == 0x80) --kept;
  }
  std::string shown;
  for (char c : text.substr(0, kept)) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      shown += fmt::format("\\x{:02X}", u);
    } else {
      shown += c;
    }
  }
  return {std::move(shown), text.size() - kept};
}

}  // namespace

std::string Excerpt(std::string_view text) {
  auto [shown, left] = Cut(text);
  if (left == 0) return shown;
  return fmt::format("{}... ({} more bytes)", shown, left);
}

std::string QuoteExcerpt(std::string_view text) {
  auto [shown, left] = Cut(text);
  if (left == 0) return "'" + shown + "'";
  return fmt::format("'{}...' ({} more bytes)", shown, left);
}

}  // namespace vhost

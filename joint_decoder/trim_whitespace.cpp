#include "joint_decoder/trim_whitespace.h"

bool IsTrimmedWhitespace(char c) {
  // Not std::isspace: its answer for bytes >= 128 depends on the locale, and
  // a joint name in a legacy 8-bit encoding must survive intact.
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string TrimWhitespace(std::string text) {
  size_t first = 0;
  while (first < text.size() && IsTrimmedWhitespace(text[first])) ++first;
  text.erase(0, first);
  while (!text.empty() && IsTrimmedWhitespace(text.back())) text.pop_back();
  return text;
}

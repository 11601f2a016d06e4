// Whitespace trimming for the joint names a user types.
//
// Whitespace is exactly space, tab, line feed, vertical tab, form feed and
// carriage return; bytes 128 to 255 never count, whatever the locale.
// Pure function, safe from any thread.
#pragma once

#include <string>

// `text` without its leading and trailing whitespace; whitespace only gives
// an empty text.
std::string TrimWhitespace(std::string text);

// True for the six whitespace characters above.
bool IsTrimmedWhitespace(char c);

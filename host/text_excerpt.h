// How messages quote text a user or a plug-in handed over: in single quotes,
// cut to a short excerpt when it is long, with how much was left out, and
// with control characters written as \xNN so that a line of junk stays one
// readable line. A 5 MB line of junk quotes as 64 bytes and "(5242816 more
// bytes)", never as 5 MB of error text.
//
// Thread-safety: stateless.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vhost {

// Bytes of the text an excerpt keeps (a multi-byte UTF-8 character that
// would be cut is left out whole).
inline constexpr size_t kExcerptBytes = 64;

// The text, or "first bytes... (N more bytes)" when it is longer than
// kExcerptBytes; for numbers and other text messages show without quotes.
std::string Excerpt(std::string_view text);
// 'text', or 'first bytes...' (N more bytes).
std::string QuoteExcerpt(std::string_view text);

}  // namespace vhost

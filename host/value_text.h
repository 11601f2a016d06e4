// Values as text: reading a value typed by a user for an input, and writing
// any recorded value for a user to read.
//
// Thread-safety: stateless.
#pragma once

#include <string>
#include <string_view>

#include "host/host_value.h"
#include "host/property_descriptor.h"
#include "host/skeleton_snapshot.h"

namespace vhost {

// The value `text` means for `input`: a whole number for int, a number for
// float, 0/1/on/off/true/false for bool, the text itself (without NUL
// bytes) for a string, and 0 or null (a null pointer) for data. Throws
// CHostError naming what was expected.
CHostValue ValueFromText(const CPropertyDescriptor& input, std::string_view text);

// One line: 42, 0.25, 'text', null, data 0x... (a skeleton is summarised).
std::string FormatValue(const CHostValue& value);

// A header line and one line per point (name, x, y, z), each line after the
// first starting with `indent`.
std::string FormatSkeleton(const CSkeletonSnapshot& skeleton, const std::string& indent);

}  // namespace vhost

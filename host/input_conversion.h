// What the host does to a value on its way into an input: numbers are
// converted to the input's declared type (whole-number inputs round a float
// to the nearest integer, float inputs widen an integer to a double) and
// clamped to the declared minimum and maximum. Strings and data pass as
// they are. Test injection bypasses this on purpose.
//
// Thread-safety: stateless.
#pragma once

#include <cstdint>

#include "host/host_value.h"
#include "host/property_descriptor.h"

namespace vhost {

CHostValue ConvertForInput(const CPropertyDescriptor& input, const CHostValue& value);

// Whether a value of `output`'s type may be wired to `input`: numbers to
// numbers, strings to strings, data to data (a restricted output to an
// unrestricted input or one with the same restriction).
bool CanWire(const CPropertyDescriptor& output, const CPropertyDescriptor& input);

// The whole number nearest to `value`, saturated to the 64-bit range (NaN
// gives 0).
int64_t RoundToInteger(double value);

// The value of a property before anything was set: its declared default
// (an empty string for strings, a null pointer for data).
CHostValue DefaultValueOf(const CPropertyDescriptor& property);

}  // namespace vhost

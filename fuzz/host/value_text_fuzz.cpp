// Fuzzes reading a typed value for an input (ValueFromText) for every
// property type, with limits of any size (1e300 included), and writing it
// back (FormatValue).
//
// Checked on every input: a refusal is a CHostError that quotes an excerpt;
// whole numbers and switches read back from their text as the same number;
// a converted whole number lies within its limits as the 64-bit range holds
// them; a float stays finite through reading and conversion.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "host/host_error.h"
#include "host/input_conversion.h"
#include "host/property_descriptor.h"
#include "host/record_layout.h"
#include "host/value_text.h"

namespace {

constexpr size_t kLongestMessage = 512;

void Check(bool condition) {
  if (!condition) std::abort();
}

std::optional<double> Limit(FuzzedDataProvider& input) {
  if (!input.ConsumeBool()) return std::nullopt;
  const double value = input.ConsumeFloatingPoint<double>();
  return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  vhost::CPropertyDescriptor property;
  property.mName = "fuzzed";
  property.mType = input.PickValueInArray({vhost::EPropertyType::kInt, vhost::EPropertyType::kFloat,
                                           vhost::EPropertyType::kBool, vhost::EPropertyType::kString,
                                           vhost::EPropertyType::kData});
  property.mTypeText = std::string(vhost::PropertyTypeName(property.mType));
  property.mMinimum = Limit(input);
  property.mMaximum = Limit(input);
  const bool whole = property.mType == vhost::EPropertyType::kInt || property.mType == vhost::EPropertyType::kBool;
  if (whole) {
    // Limits of whole-number properties are whole, as the definition parser requires.
    if (property.mMinimum) property.mMinimum = std::floor(*property.mMinimum);
    if (property.mMaximum) property.mMaximum = std::floor(*property.mMaximum);
  }
  if (property.mMinimum && property.mMaximum && *property.mMinimum > *property.mMaximum) {
    std::swap(property.mMinimum, property.mMaximum);
  }
  const std::string text = input.ConsumeRemainingBytesAsString();

  vhost::CHostValue value;
  try {
    value = vhost::ValueFromText(property, text);
  } catch (const vhost::CHostError& e) {
    Check(std::string_view(e.what()).size() <= kLongestMessage);
    return 0;
  }
  const std::string shown = vhost::FormatValue(value);
  if (whole) {
    Check(value.Type() == vhost::layout::kTypeInteger);
    const vhost::CHostValue again = vhost::ValueFromText(property, shown);
    Check(again.AsInteger() == value.AsInteger());
  }
  if (property.mType == vhost::EPropertyType::kFloat) Check(std::isfinite(value.AsFloat()));
  if (property.mType == vhost::EPropertyType::kString) Check(value.Text() == text);

  const vhost::CHostValue converted = vhost::ConvertForInput(property, value);
  if (whole) {
    const int64_t n = converted.AsInteger();
    if (property.mMinimum) Check(n >= vhost::RoundToInteger(*property.mMinimum));
    if (property.mMaximum) Check(n <= vhost::RoundToInteger(*property.mMaximum));
  }
  if (property.mType == vhost::EPropertyType::kFloat) Check(std::isfinite(converted.AsFloat()));
  vhost::FormatValue(converted);
  return 0;
}

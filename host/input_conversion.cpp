#include "host/input_conversion.h"

#include <algorithm>
#include <cmath>

#include "host/record_layout.h"

namespace vhost {
namespace {

double Clamp(const CPropertyDescriptor& input, double value) {
  if (std::isnan(value)) return value;
  if (input.mMinimum && value < *input.mMinimum) value = *input.mMinimum;
  if (input.mMaximum && value > *input.mMaximum) value = *input.mMaximum;
  return value;
}

}  // namespace

int64_t RoundToInteger(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 9.2233720368547758e18) return INT64_MAX;
  if (value <= -9.2233720368547758e18) return INT64_MIN;
  return std::llround(value);
}

namespace {

int64_t ClampInteger(const CPropertyDescriptor& input, int64_t value) {
  // Limits of whole-number properties are whole; compared in the integer
  // domain so that large values keep their precision. A limit beyond the
  // 64-bit range (a definition may say 1e300) stands for the end of it.
  if (input.mMinimum) value = std::max(value, RoundToInteger(*input.mMinimum));
  if (input.mMaximum) value = std::min(value, RoundToInteger(*input.mMaximum));
  return value;
}

}  // namespace

CHostValue ConvertForInput(const CPropertyDescriptor& input, const CHostValue& value) {
  const uint16_t type = value.Type();
  const bool numeric = type == layout::kTypeInteger || type == layout::kTypeFloat;
  if (!input.IsNumeric() || !numeric) return value;
  if (input.mType == EPropertyType::kFloat) {
    const double d = type == layout::kTypeFloat ? value.AsFloat() : static_cast<double>(value.AsInteger());
    return CHostValue::Float(Clamp(input, d));
  }
  if (type == layout::kTypeFloat) {
    return CHostValue::Integer(RoundToInteger(Clamp(input, value.AsFloat())));
  }
  return CHostValue::Integer(ClampInteger(input, value.AsInteger()));
}

bool CanWire(const CPropertyDescriptor& output, const CPropertyDescriptor& input) {
  if (output.IsNumeric() && input.IsNumeric()) return true;
  if (output.mType != input.mType) return false;
  if (output.mType != EPropertyType::kData) return true;
  return input.mDataRestriction.empty() || input.mDataRestriction == output.mDataRestriction;
}

CHostValue DefaultValueOf(const CPropertyDescriptor& property) {
  switch (property.mType) {
    case EPropertyType::kInt:
    case EPropertyType::kBool:
      return CHostValue::Integer(RoundToInteger(property.mDefault));
    case EPropertyType::kFloat:
      return CHostValue::Float(property.mDefault);
    case EPropertyType::kString:
      return CHostValue::String(property.mDefaultText);
    case EPropertyType::kData:
      return CHostValue::Data(nullptr);
  }
  return CHostValue();
}

}  // namespace vhost

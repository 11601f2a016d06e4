// Reading and making host Values without trusting their type tags.
//
// A host may deliver a null Value, or a Value whose tag is not what the
// property declares. Numeric readers then fall back to the payload bits (no
// crash is possible); pointer readers return null unless the tag says the
// payload is a pointer of that kind.
#pragma once

#include <cstdint>
#include <cstring>

#include "framework/vorlane_types.h"

// The raw 8-byte payload; 0 for a null Value.
inline uint64_t ValueBits(const Value* value) { return value != nullptr ? value->mBits : 0; }

// An integer reading: float Values are converted (truncated, saturated), any
// other tag yields the payload bits as a signed integer.
inline int64_t ValueToInteger(const Value* value) {
  if (value == nullptr) return 0;
  if (value->mType == kValueTypeFloat) {
    const double d = value->mFloat;
    if (!(d == d)) return 0;
    if (d >= 9.2233720368547758e18) return INT64_MAX;
    if (d <= -9.2233720368547758e18) return INT64_MIN;
    return static_cast<int64_t>(d);
  }
  return value->mInteger;
}

// A floating-point reading: integer Values are converted, any other tag
// yields the payload bits read as a double.
inline double ValueToDouble(const Value* value) {
  if (value == nullptr) return 0.0;
  if (value->mType == kValueTypeInteger) return static_cast<double>(value->mInteger);
  return value->mFloat;
}

// A switch reading: on when the 8-byte payload is non-zero.
inline bool ValueToSwitch(const Value* value) { return ValueBits(value) != 0; }

// The characters of a string Value, or null when the Value is not a string or
// holds no host string.
inline const char* ValueToText(const Value* value) {
  if (value == nullptr || value->mType != kValueTypeString || value->mString == nullptr) return nullptr;
  return value->mString->mText;
}

// The pointer of a data Value, or null when the Value is not a data Value.
inline void* ValueToData(const Value* value) {
  if (value == nullptr || value->mType != kValueTypeData) return nullptr;
  return value->mData;
}

inline Value MakeIntegerValue(int64_t integer) {
  Value value{};
  value.mType = kValueTypeInteger;
  value.mInteger = integer;
  return value;
}

inline Value MakeFloatValue(double number) {
  Value value{};
  value.mType = kValueTypeFloat;
  value.mFloat = number;
  return value;
}

inline Value MakeDataValue(void* data) {
  Value value{};
  value.mType = kValueTypeData;
  value.mData = data;
  return value;
}

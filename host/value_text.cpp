#include "host/value_text.h"

#include <fmt/format.h>

#include <charconv>
#include <cmath>

#include "host/host_error.h"
#include "host/record_layout.h"
#include "host/text_excerpt.h"

namespace vhost {

CHostValue ValueFromText(const CPropertyDescriptor& input, std::string_view text) {
  auto fail = [&](const char* expected) -> CHostValue {
    throw CHostError(fmt::format("bad value {} for {} ({}): expected {}", QuoteExcerpt(text), input.mName,
                                 input.mTypeText, expected));
  };
  switch (input.mType) {
    case EPropertyType::kBool:
      if (text == "on" || text == "true") return CHostValue::Integer(1);
      if (text == "off" || text == "false") return CHostValue::Integer(0);
      [[fallthrough]];
    case EPropertyType::kInt: {
      int64_t value = 0;
      const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
      if (r.ec != std::errc() || r.ptr != text.data() + text.size()) {
        return fail(input.mType == EPropertyType::kBool ? "0, 1, on, off, true or false"
                                                        : "a whole number");
      }
      return CHostValue::Integer(value);
    }
    case EPropertyType::kFloat: {
      double value = 0;
      const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
      if (r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(value)) {
        return fail("a number");
      }
      return CHostValue::Float(value);
    }
    case EPropertyType::kString:
      // Host strings end at their first NUL: the rest would be lost unseen.
      if (text.find('\0') != std::string_view::npos) return fail("text without NUL bytes");
      return CHostValue::String(text);
    case EPropertyType::kData:
      if (text == "0" || text == "null") return CHostValue::Data(nullptr);
      return fail("0 or null (data values come only from wires)");
  }
  return CHostValue();
}

std::string FormatValue(const CHostValue& value) {
  switch (value.Type()) {
    case layout::kTypeInteger:
      return fmt::format("{}", value.AsInteger());
    case layout::kTypeFloat:
      return fmt::format("{:g}", value.AsFloat());
    case layout::kTypeString: {
      const auto text = value.Text();
      return text ? fmt::format("'{}'", *text) : std::string("null string");
    }
    case layout::kTypeData: {
      void* p = value.AsPointer();
      if (p == nullptr) return "null";
      if (auto skeleton = DecodeSkeleton(p)) {
        return fmt::format("skeleton of {} points", skeleton->mPointCount);
      }
      return fmt::format("data {}", p);
    }
    default:
      return fmt::format("tag {} payload 0x{:016X}", value.Type(), value.Payload());
  }
}

std::string FormatSkeleton(const CSkeletonSnapshot& s, const std::string& indent) {
  std::string out = fmt::format(
      "skeleton id {}, tracking {}, unit {}, {} points, label hash 0x{:016X}, update {}", s.mSkeletonID,
      s.mTrackingState, s.mUnit, s.mPointCount, s.mLabelHash, s.mUpdateCount);
  for (const auto& p : s.mPoints) {
    out += fmt::format("\n{}{:<24} {:9.4f} {:9.4f} {:9.4f}", indent, p.mName, p.mX, p.mY, p.mZ);
  }
  return out;
}

}  // namespace vhost

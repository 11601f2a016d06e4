// Fuzzes the host's property-definition parser: any bytes as a definition
// string, then what the host does with each declaration it accepts.
//
// Checked on every input: a refusal names a line of the text and stays short
// (messages quote excerpts); an accepted declaration has indexes counted
// from 1 per kind, limits in order, and type codes that read back as the
// same type and restriction; its default converts into its own limits.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "host/input_conversion.h"
#include "host/property_definition_parser.h"
#include "host/property_descriptor.h"
#include "host/record_layout.h"

namespace {

constexpr size_t kLongestMessage = 1024;

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<vhost::CPropertyDescriptor> properties;
  try {
    properties = vhost::ParsePropertyDefinitions(text);
  } catch (const vhost::CPropertyDefinitionError& e) {
    Check(e.Line() >= 1);
    Check(std::string_view(e.what()).size() <= kLongestMessage);
    return 0;
  }
  uint32_t inputs = 0, outputs = 0;
  for (const auto& p : properties) {
    Check(p.mIndex == ++(p.mKind == vhost::EPropertyKind::kInput ? inputs : outputs));
    if (p.mMinimum && p.mMaximum) Check(*p.mMinimum <= *p.mMaximum);
    vhost::CPropertyDescriptor back;
    Check(vhost::ApplyTypeCodes(vhost::TypeCodesFor(p), back));
    Check(back.mType == p.mType && back.mTypeText == p.mTypeText && back.mDisplay == p.mDisplay);
    const vhost::CHostValue initial = vhost::DefaultValueOf(p);
    const vhost::CHostValue converted = vhost::ConvertForInput(p, initial);
    if (p.mType == vhost::EPropertyType::kInt || p.mType == vhost::EPropertyType::kBool) {
      Check(converted.AsInteger() == initial.AsInteger());
      for (int64_t n : {INT64_MIN, int64_t{-1}, int64_t{0}, INT64_MAX}) {
        vhost::ConvertForInput(p, vhost::CHostValue::Integer(n));
      }
      vhost::ConvertForInput(p, vhost::CHostValue::Float(1e300));
    } else if (p.mType == vhost::EPropertyType::kFloat) {
      Check(std::isfinite(converted.AsFloat()));
    }
  }
  return 0;
}

#include "host/property_descriptor.h"

#include <fmt/format.h>

#include <array>
#include <utility>

#include "host/four_char_code.h"

namespace vhost {
namespace {

constexpr std::array<std::pair<EPropertyType, std::string_view>, 5> kTypeCodes{{
    {EPropertyType::kInt, "int "},
    {EPropertyType::kFloat, "flot"},
    {EPropertyType::kBool, "bool"},
    {EPropertyType::kString, "strg"},
    {EPropertyType::kData, "data"},
}};

constexpr std::array<std::pair<std::string_view, std::string_view>, 8> kDisplayCodes{{
    {"number", "numb"},
    {"onoff", "onof"},
    {"text", "text"},
    {"trig", "trig"},
    {"propdef", "prdf"},
    {"propdef,custom", "prdc"},
    {"number,dontconnect", "numd"},
    {"texture", "txtr"},
}};

}  // namespace

std::string_view PropertyKindName(EPropertyKind kind) {
  return kind == EPropertyKind::kInput ? "input" : "output";
}

std::string_view PropertyTypeName(EPropertyType type) {
  switch (type) {
    case EPropertyType::kInt: return "int";
    case EPropertyType::kFloat: return "float";
    case EPropertyType::kBool: return "bool";
    case EPropertyType::kString: return "string";
    case EPropertyType::kData: return "data";
  }
  return "?";
}

CTypeCodes TypeCodesFor(const CPropertyDescriptor& property) {
  CTypeCodes codes;
  if (property.mType == EPropertyType::kData && property.mDataRestriction.size() == 4) {
    codes.mTypeCode = PackFourCharCode(property.mDataRestriction);
  } else {
    for (const auto& [type, code] : kTypeCodes) {
      if (type == property.mType) codes.mTypeCode = PackFourCharCode(code);
    }
  }
  for (const auto& [display, code] : kDisplayCodes) {
    if (display == property.mDisplay) codes.mDisplayCode = PackFourCharCode(code);
  }
  return codes;
}

bool ApplyTypeCodes(const CTypeCodes& codes, CPropertyDescriptor& property) {
  std::string_view display;
  for (const auto& [text, code] : kDisplayCodes) {
    if (PackFourCharCode(code) == codes.mDisplayCode) display = text;
  }
  if (display.empty()) return false;
  bool typeFound = false;
  for (const auto& [type, code] : kTypeCodes) {
    if (PackFourCharCode(code) == codes.mTypeCode) {
      property.mType = type;
      property.mTypeText = PropertyTypeName(type);
      property.mDataRestriction.clear();
      typeFound = true;
    }
  }
  if (!typeFound) {
    // Any other code names a restricted data type, under the rule the
    // definition parser applies to data=xxxx.
    std::string restriction(4, '\0');
    for (int i = 0; i < 4; ++i) restriction[i] = static_cast<char>(codes.mTypeCode >> (24 - 8 * i));
    if (!DataRestrictionProblem(restriction).empty()) return false;
    property.mType = EPropertyType::kData;
    property.mDataRestriction = restriction;
    property.mTypeText = "data=" + restriction;
  }
  property.mDisplay = std::string(display);
  return true;
}

std::string DataRestrictionProblem(std::string_view restriction) {
  if (restriction.size() != 4) return "is not a four-character code";
  for (char c : restriction) {
    if (c <= ' ' || c >= 0x7F) return "has a character other than printable ASCII (no space)";
  }
  for (const auto& [type, code] : kTypeCodes) {
    if (code == restriction) {
      return fmt::format("is the code of the plain type {} and would read back as it", PropertyTypeName(type));
    }
  }
  return {};
}

}  // namespace vhost

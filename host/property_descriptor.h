// One declared property of an actor, as the host understands the line of the
// property definition string that declares it, and the type codes the host
// hands out for property types.
//
// Thread-safety: plain values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vhost {

enum class EPropertyKind : uint8_t { kInput = 1, kOutput = 2 };

enum class EPropertyType : uint8_t { kInt, kFloat, kBool, kString, kData };

// The most inputs, and the most outputs, an actor can have: indexes are
// 16-bit numbers from 1.
inline constexpr uint16_t kMaxPropertyIndex = 65535;

struct CPropertyDescriptor {
  EPropertyKind mKind = EPropertyKind::kInput;
  uint16_t mIndex = 0;        // 1-based, counted separately for inputs and outputs
  std::string mName;          // e.g. "recv_ip_port"
  std::string mID;            // as written; "width" keeps its five characters
  uint32_t mCode = 0;         // packed ID when mID has exactly four characters, else 0
  EPropertyType mType = EPropertyType::kInt;
  std::string mTypeText;      // as written: "int", "data=skel", ...
  std::string mDataRestriction;  // "skel" for data=skel, empty otherwise
  std::string mDisplay;       // as written: "number", "propdef,custom", ...
  std::optional<double> mMinimum;  // empty for "*" (no limit)
  std::optional<double> mMaximum;
  std::string mDefaultText;   // as written; empty for strings
  double mDefault = 0.0;      // numeric value of mDefaultText (0 when empty)
  int mLine = 0;              // 1-based line of the definition string

  bool IsNumeric() const {
    return mType == EPropertyType::kInt || mType == EPropertyType::kFloat ||
           mType == EPropertyType::kBool;
  }
};

std::string_view PropertyKindName(EPropertyKind kind);  // "input" / "output"
std::string_view PropertyTypeName(EPropertyType type);  // "int", "float", ...

// The pair of codes that GetPropertyTypeCodes reports and AddOutputProperty
// takes back. The first names the type ('int ', 'flot', 'bool', 'strg', 'data',
// or the restriction code for data=xxxx), the second the display.
struct CTypeCodes {
  uint32_t mTypeCode = 0;
  uint32_t mDisplayCode = 0;
};
CTypeCodes TypeCodesFor(const CPropertyDescriptor& property);
// Fills type, type text, restriction and display from codes; false for codes
// this host never hands out.
bool ApplyTypeCodes(const CTypeCodes& codes, CPropertyDescriptor& property);

// Why `restriction` cannot follow "data=", or empty when it can. A
// restriction is handed out as the type code itself and read back from it,
// so it must be four printable ASCII characters other than a space (what a
// definition line can hold) and not the code of a plain type ('flot',
// 'bool', 'strg', 'data'), which would come back as that type.
std::string DataRestrictionProblem(std::string_view restriction);

}  // namespace vhost

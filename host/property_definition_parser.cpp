#include "host/property_definition_parser.h"

#include <fmt/format.h>

#include <array>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>

#include "host/four_char_code.h"
#include "host/text_excerpt.h"

namespace vhost {
namespace {

constexpr size_t kFieldCount = 8;
constexpr size_t kMaxIDLength = 8;

constexpr std::array<std::string_view, 8> kDisplays{
    "number", "onoff", "text", "trig", "propdef", "propdef,custom", "number,dontconnect", "texture"};

[[noreturn]] void Fail(int line, const std::string& problem) {
  throw CPropertyDefinitionError(line, problem);
}

// A number as the grammar writes it: optional '-', digits, optional fraction
// and exponent. Leading '+', blanks, "inf" and "nan" are not numbers here.
std::optional<double> ParseNumber(std::string_view text) {
  size_t i = 0;
  auto digits = [&] {
    const size_t start = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    return i > start;
  };
  if (i < text.size() && text[i] == '-') ++i;
  if (!digits()) return std::nullopt;
  if (i < text.size() && text[i] == '.') {
    ++i;
    if (!digits()) return std::nullopt;
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    if (!digits()) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;
  double value = 0.0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || !std::isfinite(value)) return std::nullopt;
  return value;
}

bool IsWhole(double value) { return std::floor(value) == value; }

std::optional<double> ParseLimit(int line, std::string_view text, std::string_view what,
                                 bool whole) {
  if (text == "*") return std::nullopt;
  const auto value = ParseNumber(text);
  if (!value) Fail(line, fmt::format("bad number {} for the {} (a number or '*')", QuoteExcerpt(text), what));
  if (whole && !IsWhole(*value)) {
    Fail(line, fmt::format("the {} of a whole-number property must be whole, not {}", what,
                           QuoteExcerpt(text)));
  }
  return value;
}

// Splits what follows the keyword's tab run into fields. A trailing tab run
// leaves an empty last field (the empty default of a string).
std::vector<std::string_view> SplitFields(std::string_view rest) {
  std::vector<std::string_view> fields;
  size_t i = 0;
  while (i < rest.size()) {
    const size_t start = i;
    while (i < rest.size() && rest[i] != '\t') ++i;
    fields.push_back(rest.substr(start, i - start));
    if (i == rest.size()) break;
    while (i < rest.size() && rest[i] == '\t') ++i;
    if (i == rest.size()) fields.push_back(std::string_view());
  }
  return fields;
}

void CheckCharacters(int line, std::string_view text) {
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == ' ') Fail(line, "a space inside a field (fields are separated by tabs)");
    if (u < 0x20 && c != '\t') Fail(line, fmt::format("control character 0x{:02X} in the line", u));
  }
}

bool IsNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

CPropertyDescriptor ParseLine(int line, std::string_view text) {
  if (text.empty()) Fail(line, "empty line");
  if (text[0] == ' ' || text[0] == '\t') Fail(line, "the line starts with white space");
  size_t end = text.find_first_of(" \t");
  const std::string_view keyword = text.substr(0, end);
  CPropertyDescriptor property;
  property.mLine = line;
  if (keyword == "INPROP") {
    property.mKind = EPropertyKind::kInput;
  } else if (keyword == "OUTPROP") {
    property.mKind = EPropertyKind::kOutput;
  } else {
    Fail(line, fmt::format("unknown keyword {} (INPROP or OUTPROP)", QuoteExcerpt(keyword)));
  }
  if (end == std::string_view::npos) Fail(line, "nothing after the keyword");
  if (text[end] == ' ') {
    ++end;
    if (end < text.size() && text[end] == ' ') Fail(line, "more than one space after the keyword");
  }
  if (end >= text.size() || text[end] != '\t') Fail(line, "no tab after the keyword");
  while (end < text.size() && text[end] == '\t') ++end;
  const std::string_view rest = text.substr(end);
  CheckCharacters(line, rest);

  const auto fields = SplitFields(rest);
  if (fields.size() + 1 != kFieldCount) {
    Fail(line, fmt::format("{} fields, expected {} (keyword, name, ID, type, display, minimum, "
                           "maximum, default)",
                           fields.size() + 1, kFieldCount));
  }
  const std::string_view name = fields[0], id = fields[1], type = fields[2], display = fields[3],
                         minimum = fields[4], maximum = fields[5], defaultText = fields[6];

  for (char c : name) {
    if (!IsNameCharacter(c)) {
      Fail(line, fmt::format("name {} has a character other than lower-case letters, digits, "
                             "'_' and '-'",
                             QuoteExcerpt(name)));
    }
  }
  property.mName = std::string(name);

  if (id.size() < 4) Fail(line, fmt::format("ID {} is shorter than four characters", QuoteExcerpt(id)));
  if (id.size() > kMaxIDLength) {
    Fail(line, fmt::format("ID {} is longer than {} characters", QuoteExcerpt(id), kMaxIDLength));
  }
  property.mID = std::string(id);
  if (id.size() == 4) property.mCode = PackFourCharCode(id);

  property.mTypeText = std::string(type);
  if (type == "int") {
    property.mType = EPropertyType::kInt;
  } else if (type == "float") {
    property.mType = EPropertyType::kFloat;
  } else if (type == "bool") {
    property.mType = EPropertyType::kBool;
  } else if (type == "string") {
    property.mType = EPropertyType::kString;
  } else if (type == "data") {
    property.mType = EPropertyType::kData;
  } else if (type.starts_with("data=")) {
    property.mType = EPropertyType::kData;
    property.mDataRestriction = std::string(type.substr(5));
    if (const std::string problem = DataRestrictionProblem(property.mDataRestriction); !problem.empty()) {
      Fail(line, fmt::format("data restriction {} {}", QuoteExcerpt(property.mDataRestriction), problem));
    }
  } else {
    Fail(line, fmt::format("unknown type {} (int, float, bool, string, data or data=xxxx)",
                           QuoteExcerpt(type)));
  }

  bool knownDisplay = false;
  for (auto known : kDisplays) knownDisplay = knownDisplay || known == display;
  if (!knownDisplay) Fail(line, fmt::format("unknown display {}", QuoteExcerpt(display)));
  property.mDisplay = std::string(display);

  const bool whole = property.mType == EPropertyType::kInt || property.mType == EPropertyType::kBool;
  property.mMinimum = ParseLimit(line, minimum, "minimum", whole);
  property.mMaximum = ParseLimit(line, maximum, "maximum", whole);
  if (property.mMinimum && property.mMaximum && *property.mMinimum > *property.mMaximum) {
    Fail(line, fmt::format("minimum {} is above maximum {}", Excerpt(minimum), Excerpt(maximum)));
  }

  property.mDefaultText = std::string(defaultText);
  if (property.mType == EPropertyType::kString) return property;
  if (defaultText.empty()) Fail(line, "missing default (only a string may leave it empty)");
  const auto value = ParseNumber(defaultText);
  if (!value) Fail(line, fmt::format("bad number {} for the default", QuoteExcerpt(defaultText)));
  if (property.mType == EPropertyType::kData && *value != 0.0) {
    Fail(line, fmt::format("the default of a data property must be 0, not {}", QuoteExcerpt(defaultText)));
  }
  if (whole && !IsWhole(*value)) {
    Fail(line, fmt::format("the default of a whole-number property must be whole, not {}",
                           QuoteExcerpt(defaultText)));
  }
  if ((property.mMinimum && *value < *property.mMinimum) ||
      (property.mMaximum && *value > *property.mMaximum)) {
    Fail(line, fmt::format("default {} is outside the limits {} to {}", Excerpt(defaultText),
                           Excerpt(minimum), Excerpt(maximum)));
  }
  property.mDefault = *value;
  return property;
}

}  // namespace

CPropertyDefinitionError::CPropertyDefinitionError(int line, const std::string& problem)
    : CHostError(fmt::format("line {}: {}", line, problem)), mLine(line), mProblem(problem) {}

std::vector<CPropertyDescriptor> ParsePropertyDefinitions(std::string_view text) {
  std::vector<CPropertyDescriptor> properties;
  std::map<std::string, int> idLines;
  std::map<std::pair<EPropertyKind, std::string>, int> nameLines;
  uint16_t inputs = 0, outputs = 0;
  int line = 1;
  size_t start = 0;
  while (start < text.size()) {
    const size_t cr = text.find('\r', start);
    // Only this line is searched: a search to the end for every line would
    // make a long text quadratic.
    const size_t lf = text.substr(start, cr == std::string_view::npos ? std::string_view::npos : cr - start)
                          .find('\n');
    if (lf != std::string_view::npos) {
      Fail(line, "line feed in the text (every line ends with a carriage return only)");
    }
    if (cr == std::string_view::npos) Fail(line, "missing carriage return at the end of the line");
    CPropertyDescriptor property = ParseLine(line, text.substr(start, cr - start));
    if (auto [it, fresh] = idLines.emplace(property.mID, line); !fresh) {
      Fail(line, fmt::format("ID '{}' already declared on line {}", property.mID, it->second));
    }
    if (auto [it, fresh] = nameLines.emplace(std::pair(property.mKind, property.mName), line);
        !fresh) {
      Fail(line, fmt::format("{} name {} already declared on line {}",
                             PropertyKindName(property.mKind), QuoteExcerpt(property.mName),
                             it->second));
    }
    uint16_t& count = property.mKind == EPropertyKind::kInput ? inputs : outputs;
    if (count == kMaxPropertyIndex) {
      Fail(line, fmt::format("more than {} {}s: property indexes are 16-bit numbers", kMaxPropertyIndex,
                             PropertyKindName(property.mKind)));
    }
    property.mIndex = ++count;
    properties.push_back(std::move(property));
    start = cr + 1;
    ++line;
  }
  return properties;
}

}  // namespace vhost

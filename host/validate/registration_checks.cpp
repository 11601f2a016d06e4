// The registration: codes, display name, entry points, declarations, help
// texts, and value/text conversions that agree with each other.
#include <fmt/format.h>

#include <cmath>

#include "host/host_error.h"
#include "host/plugin.h"
#include "host/validate/validation_host.h"
#include "host/validate/validation_test.h"

namespace vhost::validate {
namespace {

CFindings CheckRecord(const CTestContext& context) {
  const CPlugin& plugin = LoadPlugin(context.mPluginPath);
  CFindings findings;
  if (plugin.ClassCode() == 0) findings.push_back("class code (byte 0) is 0");
  if (plugin.ActorID() == 0) findings.push_back("actor ID (byte 8) is 0");
  if (plugin.DisplayName().empty()) findings.push_back("display name (byte 24) is empty");
  for (const auto& w : plugin.Warnings()) findings.push_back("entry point slot that must be null: " + w);
  if (plugin.Properties().empty()) findings.push_back("declares no properties");
  return findings;
}

std::string PropertyLabel(const CPropertyDescriptor& p) {
  return fmt::format("{} {} '{}'", PropertyKindName(p.mKind), p.mIndex, p.mName);
}

CFindings CheckHelp(const CTestContext& context) {
  const CPlugin& plugin = LoadPlugin(context.mPluginPath);
  CValidationHost vh;
  CFindings findings;
  CActorInstance& instance = vh.Host().Spawn(plugin, "help");
  if (vh.Host().HelpText(instance, 0, 0).empty()) findings.push_back("no help text for the actor (kind 0, index 0)");
  for (const auto& p : plugin.Properties()) {
    if (vh.Host().HelpText(instance, static_cast<uint8_t>(p.mKind), p.mIndex).empty()) {
      findings.push_back("no help text for " + PropertyLabel(p));
    }
  }
  // A small buffer must be respected (the host checks the bytes past it).
  vh.Host().HelpText(instance, 0, 0, 8);
  vh.Account(findings);
  return findings;
}

std::vector<CHostValue> SampleValues(const CPropertyDescriptor& p) {
  std::vector<CHostValue> values;
  auto number = [&](double v) {
    values.push_back(p.mType == EPropertyType::kFloat ? CHostValue::Float(v)
                                                      : CHostValue::Integer(static_cast<int64_t>(std::llround(v))));
  };
  switch (p.mType) {
    case EPropertyType::kInt:
    case EPropertyType::kFloat:
    case EPropertyType::kBool:
      number(p.mDefault);
      if (p.mMinimum) number(*p.mMinimum);
      if (p.mMaximum) number(*p.mMaximum);
      if (p.mMinimum && p.mMaximum) number((*p.mMinimum + *p.mMaximum) / 2);
      break;
    case EPropertyType::kString:
      values.push_back(CHostValue::String(""));
      values.push_back(CHostValue::String("text"));
      break;
    case EPropertyType::kData:
      values.push_back(CHostValue::Data(nullptr));
      break;
  }
  return values;
}

CFindings CheckConversions(const CTestContext& context) {
  const CPlugin& plugin = LoadPlugin(context.mPluginPath);
  CValidationHost vh;
  CHost& host = vh.Host();
  CFindings findings;
  CActorInstance& instance = host.Spawn(plugin, "conv");
  for (const auto& p : plugin.Properties()) {
    // A data value's text is a label for people ("skeleton"), not a value.
    if (p.mType == EPropertyType::kData) continue;
    const auto kind = static_cast<uint8_t>(p.mKind);
    for (const CHostValue& value : SampleValues(p)) {
      const auto text = host.ValueToString(instance, kind, p.mIndex, value);
      if (!text || plugin.mPropertyStringToValue == nullptr) continue;
      const auto back = host.StringToValue(instance, kind, p.mIndex, *text);
      if (!back) {
        findings.push_back(fmt::format("{}: PropertyValueToString gives '{}', which PropertyStringToValue refuses",
                                       PropertyLabel(p), *text));
        continue;
      }
      const auto again = host.ValueToString(instance, kind, p.mIndex, *back);
      if (!again || *again != *text) {
        findings.push_back(fmt::format("{}: '{}' read back by PropertyStringToValue shows as '{}'", PropertyLabel(p),
                                       *text, again.value_or("(nothing)")));
      }
    }
  }
  vh.Account(findings);
  return findings;
}

}  // namespace

void AddRegistrationTests(std::vector<CValidationTest>& tests) {
  tests.push_back({"registration.record", 1, "codes, display name, entry point slots, declarations", CheckRecord});
  tests.push_back({"registration.help", 1, "a help text for the actor and every property", CheckHelp});
  tests.push_back({"registration.conversions", 1,
                   "PropertyValueToString and PropertyStringToValue agree with each other", CheckConversions});
}

}  // namespace vhost::validate

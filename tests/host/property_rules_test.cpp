// Rules that hold a property between its declaration and its values: which
// data restrictions can be handed out and read back, how many properties a
// 16-bit index can number, and clamping to limits beyond the 64-bit range.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "host/four_char_code.h"
#include "host/host.h"
#include "host/input_conversion.h"
#include "host/plugin.h"
#include "host/property_definition_parser.h"
#include "tests/host/definition_problem.h"
#include "host/property_descriptor.h"
#include "host/value_text.h"
#include "probe_paths.h"

using testing::HasSubstr;
using vhost::CHostValue;
using vhost::CPropertyDefinitionError;
using vhost::CPropertyDescriptor;
using vhost::ParsePropertyDefinitions;

namespace {

std::string DataLine(const std::string& type) {
  return "OUTPROP\tpkg\tpkgo\t" + type + "\tpropdef,custom\t*\t*\t0\r";
}

// `count` int inputs with distinct names and IDs.
std::string Inputs(int count) {
  std::string text;
  for (int i = 1; i <= count; ++i) {
    text += "INPROP\tin" + std::to_string(i) + "\ti" + std::to_string(100000 + i) + "\tint\tnumber\t*\t*\t0\r";
  }
  return text;
}

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin = std::numeric_limits<int64_t>::min();

}  // namespace

TEST(DataRestrictions, WhatTheParserAcceptsComesBackFromItsCodesAsDeclared) {
  for (const char* type : {"data=skel", "data=vid0", "data=a.b.", "data=~!Z9", "data"}) {
    const auto properties = ParsePropertyDefinitions(DataLine(type));
    ASSERT_EQ(properties.size(), 1u) << type;
    CPropertyDescriptor back;
    ASSERT_TRUE(vhost::ApplyTypeCodes(vhost::TypeCodesFor(properties[0]), back)) << type;
    EXPECT_EQ(back.mTypeText, type);
    EXPECT_EQ(back.mDataRestriction, properties[0].mDataRestriction);
  }
}

TEST(DataRestrictions, PlainTypeCodesAndBytesBeyondPrintableASCIIAreRefusedByBoth) {
  EXPECT_THAT(ProblemOf(DataLine("data=flot")), HasSubstr("data restriction 'flot' is the code of the plain type float"));
  EXPECT_THAT(ProblemOf(DataLine("data=bool")), HasSubstr("plain type bool"));
  EXPECT_THAT(ProblemOf(DataLine("data=strg")), HasSubstr("plain type string"));
  EXPECT_THAT(ProblemOf(DataLine("data=data")), HasSubstr("plain type data"));
  EXPECT_THAT(ProblemOf(DataLine("data=sk\xC3\xA9")), HasSubstr("other than printable ASCII"));
  EXPECT_THAT(ProblemOf(DataLine("data=ske\x7F")), HasSubstr("'ske\\x7F' has a character other than printable ASCII"));
  EXPECT_THAT(ProblemOf(DataLine("data=skeleton")), HasSubstr("is not a four-character code"));

  // The same rule at AddOutputProperty: codes no definition could declare.
  const uint32_t display = vhost::PackFourCharCode("prdc");
  for (uint32_t code : {0x736BC3A9u, 0x736B657Fu, 0x736B6520u, 0u}) {
    CPropertyDescriptor property;
    EXPECT_FALSE(vhost::ApplyTypeCodes({code, display}, property)) << std::hex << code;
  }
  CPropertyDescriptor property;
  ASSERT_TRUE(vhost::ApplyTypeCodes({vhost::PackFourCharCode("flot"), display}, property));
  EXPECT_EQ(property.mType, vhost::EPropertyType::kFloat);
}

TEST(SixteenBitIndexes, AsManyInputsOrOutputsAsAnIndexCanNumberAndNoMore) {
  const std::string full = Inputs(65535);
  EXPECT_EQ(ParsePropertyDefinitions(full).back().mIndex, 65535);
  EXPECT_THAT(ProblemOf(full + "INPROP\tone_more\tmore\tint\tnumber\t*\t*\t0\r"),
              HasSubstr("line 65536: more than 65535 inputs: property indexes are 16-bit numbers"));
  // Outputs are numbered apart: 65,535 inputs leave room for outputs.
  EXPECT_EQ(ProblemOf(full + "OUTPROP\tout\touto\tint\tnumber\t*\t*\t0\r"), "");
}

TEST(SixteenBitIndexes, ActivationDeliversAll65535InputsWithoutTheCountWrapping) {
  vhost::CHost host;
  host.Switches().mPrintViolations = false;
  const vhost::CPlugin& wide = vhost::LoadPlugin(ProbePath("probe_wide"));
  ASSERT_EQ(wide.Inputs().size(), 65535u);
  const uint64_t mark = host.Mark();
  vhost::CActorInstance* instance = nullptr;
  ASSERT_NO_THROW(instance = &host.Spawn(wide, "wide"));
  const auto log = host.OutputsSince(mark, instance, "logo");
  ASSERT_FALSE(log.empty());
  EXPECT_THAT(log.back()->mText.value_or(""), testing::StartsWith("change 65535 flag 1"));
  EXPECT_EQ(log.size(), 2u + 65535u);  // create, activate 1, one line per input
}

TEST(WholeNumberLimits, LimitsBeyondTheSixtyFourBitRangeClampToItsEnds) {
  const auto properties = ParsePropertyDefinitions(
      "INPROP\thigh\thigh\tint\tnumber\t1e300\t*\t1e300\r"
      "INPROP\tlow\tloww\tint\tnumber\t*\t-1e300\t-1e300\r"
      "INPROP\twide\twide\tint\tnumber\t-1e300\t1e300\t0\r"
      "INPROP\tnear\tnear\tint\tnumber\t*\t9007199254740992\t0\r");
  const auto& high = properties[0];
  const auto& low = properties[1];
  const auto& wide = properties[2];
  const auto& near = properties[3];
  EXPECT_EQ(vhost::ConvertForInput(high, CHostValue::Integer(5)).AsInteger(), kMax);
  EXPECT_EQ(vhost::ConvertForInput(high, CHostValue::Float(-1e308)).AsInteger(), kMax);
  EXPECT_EQ(vhost::ConvertForInput(low, CHostValue::Integer(5)).AsInteger(), kMin);
  EXPECT_EQ(vhost::ConvertForInput(low, CHostValue::Float(1e308)).AsInteger(), kMin);
  EXPECT_EQ(vhost::ConvertForInput(wide, CHostValue::Integer(kMax)).AsInteger(), kMax);
  EXPECT_EQ(vhost::ConvertForInput(wide, CHostValue::Integer(kMin)).AsInteger(), kMin);
  EXPECT_EQ(vhost::ConvertForInput(wide, CHostValue::Integer(-7)).AsInteger(), -7);
  // Compared as integers: 2^53 + 1 is above a maximum of 2^53 although both
  // are the same double.
  EXPECT_EQ(vhost::ConvertForInput(near, CHostValue::Integer(9007199254740993)).AsInteger(), 9007199254740992);
  EXPECT_EQ(vhost::DefaultValueOf(high).AsInteger(), kMax);
}

TEST(ValueText, TextWithANulByteIsRefusedRatherThanCutShort) {
  CPropertyDescriptor label;
  label.mName = "label";
  label.mType = vhost::EPropertyType::kString;
  label.mTypeText = "string";
  // The value text fuzzer's input: a host string would have ended at the NUL.
  const std::string found("99999999999999999999999\0" "4\x1d" "99999999999999", 40);
  try {
    vhost::ValueFromText(label, found);
    FAIL() << "accepted";
  } catch (const vhost::CHostError& e) {
    EXPECT_THAT(e.what(), HasSubstr("bad value '99999999999999999999999\\x004\\x1D99999999999999' for label (string): "
                                    "expected text without NUL bytes"));
  }
  EXPECT_EQ(vhost::ValueFromText(label, "x y").Text(), "x y");
}

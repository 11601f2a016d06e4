#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "host/property_definition_parser.h"
#include "tests/host/definition_problem.h"

using vhost::CPropertyDefinitionError;
using vhost::EPropertyKind;
using vhost::EPropertyType;
using vhost::ParsePropertyDefinitions;

namespace {

// The watcher's declarations, byte for byte.
const std::string kWatcher =
    "INPROP \trecv_ip_port\tport\tint\t\t\t\tnumber\t\t\t\t0\t\t65535\t14043\r"
    "INPROP \tsuit_id\t\t\tstid\tstring\t\t\ttext\t\t\t\t*\t\t*\t\t\r"
    "INPROP \tname_joints\t\tnmjt\tbool\t\t\tonoff\t\t\t\t0\t\t1\t\t1\r"
    "INPROP \treverse_x\t\trevx\tbool\t\t\tonoff\t\t\t\t0\t\t1\t\t0\r"
    "INPROP \treverse_y\t\trevy\tbool\t\t\tonoff\t\t\t\t0\t\t1\t\t1\r"
    "INPROP \treverse_z\t\trevz\tbool\t\t\tonoff\t\t\t\t0\t\t1\t\t0\r"
    "OUTPROP\tskeleton\t\tskel\tdata=skel\t\tpropdef,custom\t\t*\t\t*\t\t0\r"
    "OUTPROP\terror\t\t\terrr\tstring\t\t\ttext\t\t\t\t*\t\t*\t\t\r"
    "OUTPROP\trecv_pkt\t\trcpk\tbool\t\t\ttrig\t\t\t\t0\t\t1\t\t0\r";

// Lines of the other two actors that use the rest of the grammar.
const std::string kOthers =
    "INPROP\t\tskeleton_in\t\tskli\tdata=skel\t\tpropdef,custom\t\t*\t\t*\t\t0\r"
    "INPROP \tchannels\t\tchan\tint\t\t\t\tnumber,dontconnect\t1\t\t64\t\t1\r"
    "INPROP \toffset_x\t\tofsx\tfloat\t\t\tnumber\t\t\t\t*\t\t*\t\t0.0\r"
    "INPROP\t\tz_translate\t\tztrn\tfloat\t\t\tnumber\t\t\t\t*\t\t*\t\t-3\r"
    "INPROP \twidth\t\t\twidth\tint\t\t\t\tnumber\t\t\t\t4\t\t*\t\t1280\r"
    "OUTPROP\tjoint-a_x\t\tot01\tfloat\t\t\tnumber\t\t\t\t*\t\t*\t\t0\r"
    "OUTPROP\tvideo_out\t\tvout\tdata\t\t\ttexture\t\t\t\t*\t\t*\t\t0\r";

const std::string kGood = "INPROP \tcount\t\tcont\tint\t\t\tnumber\t\t0\t\t100\t\t7\r";

}  // namespace

TEST(PropertyDefinitionsAsTheActorsWriteThem, TheWatcherStringGivesSixInputsAndThreeOutputs) {
  const auto properties = ParsePropertyDefinitions(kWatcher);
  ASSERT_EQ(properties.size(), 9u);
  const auto& port = properties[0];
  EXPECT_EQ(port.mKind, EPropertyKind::kInput);
  EXPECT_EQ(port.mIndex, 1);
  EXPECT_EQ(port.mName, "recv_ip_port");
  EXPECT_EQ(port.mID, "port");
  EXPECT_EQ(port.mCode, 0x706F7274u);
  EXPECT_EQ(port.mType, EPropertyType::kInt);
  EXPECT_EQ(port.mDisplay, "number");
  EXPECT_EQ(port.mMinimum, 0.0);
  EXPECT_EQ(port.mMaximum, 65535.0);
  EXPECT_EQ(port.mDefault, 14043.0);
  EXPECT_EQ(properties[1].mType, EPropertyType::kString);
  EXPECT_EQ(properties[1].mDefaultText, "");
  EXPECT_FALSE(properties[1].mMinimum.has_value());
  const auto& skeleton = properties[6];
  EXPECT_EQ(skeleton.mKind, EPropertyKind::kOutput);
  EXPECT_EQ(skeleton.mIndex, 1);
  EXPECT_EQ(skeleton.mType, EPropertyType::kData);
  EXPECT_EQ(skeleton.mDataRestriction, "skel");
  EXPECT_EQ(skeleton.mDisplay, "propdef,custom");
  EXPECT_EQ(properties[8].mIndex, 3);
  EXPECT_EQ(properties[8].mDisplay, "trig");
}

TEST(PropertyDefinitionsAsTheActorsWriteThem, TheFiveCharacterWidthIDStandsWithoutACode) {
  const auto properties = ParsePropertyDefinitions(kOthers);
  ASSERT_EQ(properties.size(), 7u);
  EXPECT_EQ(properties[4].mID, "width");
  EXPECT_EQ(properties[4].mCode, 0u);
  EXPECT_FALSE(properties[4].mMaximum.has_value());
  EXPECT_EQ(properties[1].mDisplay, "number,dontconnect");
  EXPECT_EQ(properties[3].mDefault, -3.0);
  EXPECT_EQ(properties[5].mName, "joint-a_x");
  EXPECT_EQ(properties[6].mType, EPropertyType::kData);
  EXPECT_EQ(properties[6].mDataRestriction, "");
}

TEST(PropertyDefinitionsAsTheActorsWriteThem, InputsAndOutputsAreNumberedIndependentlyInLineOrder) {
  const auto properties = ParsePropertyDefinitions(
      "OUTPROP\ta\taaaa\tint\tnumber\t*\t*\t0\r"
      "INPROP\tb\tbbbb\tint\tnumber\t*\t*\t0\r"
      "OUTPROP\tc\tcccc\tint\tnumber\t*\t*\t0\r");
  EXPECT_EQ(properties[0].mIndex, 1);
  EXPECT_EQ(properties[1].mIndex, 1);
  EXPECT_EQ(properties[2].mIndex, 2);
}

TEST(PropertyDefinitionsAsTheActorsWriteThem, AnEmptyStringDeclaresNothing) {
  EXPECT_TRUE(ParsePropertyDefinitions("").empty());
}

TEST(MalformedPropertyDefinitionsAreRefused, TheLastLineWithoutCarriageReturn) {
  EXPECT_THAT(ProblemOf(kGood + "INPROP \tb\tbbbb\tint\tnumber\t0\t1\t0"),
              testing::HasSubstr("line 2: missing carriage return"));
}

TEST(MalformedPropertyDefinitionsAreRefused, ALineFeedAnywhere) {
  EXPECT_THAT(ProblemOf(kGood + "INPROP \tb\tbbbb\tint\tnumber\t0\t1\t0\r\n"),
              testing::HasSubstr("line 3: line feed"));
  EXPECT_THAT(ProblemOf("INPROP \tb\tbbbb\tint\tnumber\t0\t1\t0\n\r"),
              testing::HasSubstr("line 1: line feed"));
}

TEST(MalformedPropertyDefinitionsAreRefused, AnEmptyLine) {
  EXPECT_THAT(ProblemOf(kGood + "\r"), testing::HasSubstr("line 2: empty line"));
}

TEST(MalformedPropertyDefinitionsAreRefused, AnUnknownOrMisspelledKeyword) {
  EXPECT_THAT(ProblemOf("INPUT\tcount\tcont\tint\tnumber\t0\t1\t0\r"),
              testing::HasSubstr("line 1: unknown keyword 'INPUT'"));
  EXPECT_THAT(ProblemOf("inprop\tcount\tcont\tint\tnumber\t0\t1\t0\r"),
              testing::HasSubstr("unknown keyword 'inprop'"));
}

TEST(MalformedPropertyDefinitionsAreRefused, WhiteSpaceBeforeTheKeyword) {
  EXPECT_THAT(ProblemOf("\tINPROP\tcount\tcont\tint\tnumber\t0\t1\t0\r"),
              testing::HasSubstr("starts with white space"));
  EXPECT_THAT(ProblemOf(" INPROP\tcount\tcont\tint\tnumber\t0\t1\t0\r"),
              testing::HasSubstr("starts with white space"));
}

TEST(MalformedPropertyDefinitionsAreRefused, SpacesInsteadOfTheKeywordsTab) {
  EXPECT_THAT(ProblemOf("INPROP  \tcount\tcont\tint\tnumber\t0\t1\t0\r"),
              testing::HasSubstr("more than one space after the keyword"));
  EXPECT_THAT(ProblemOf("INPROP count\tcont\tint\tnumber\t0\t1\t0\r"),
              testing::HasSubstr("no tab after the keyword"));
  EXPECT_THAT(ProblemOf("INPROP\r"), testing::HasSubstr("nothing after the keyword"));
}

TEST(MalformedPropertyDefinitionsAreRefused, ASpaceOrControlCharacterInsideAField) {
  EXPECT_THAT(ProblemOf("INPROP\tcount it\tcont\tint\tnumber\t0\t1\t0\r"),
              testing::HasSubstr("space inside a field"));
  EXPECT_THAT(ProblemOf("INPROP\tcount\tcont\tint \tnumber\t0\t1\t0\r"),
              testing::HasSubstr("space inside a field"));
  EXPECT_THAT(ProblemOf(std::string("INPROP\tcount\tco\x01t\tint\tnumber\t0\t1\t0\r")),
              testing::HasSubstr("control character 0x01"));
}

TEST(MalformedPropertyDefinitionsAreRefused, TooFewOrTooManyFields) {
  EXPECT_THAT(ProblemOf("INPROP\tcount\tcont\tint\tnumber\t0\t1\r"),
              testing::HasSubstr("7 fields, expected 8"));
  EXPECT_THAT(ProblemOf("INPROP\tcount\tcont\tint\tnumber\t0\t1\t0\t9\r"),
              testing::HasSubstr("9 fields, expected 8"));
  // Tabs after a default make an empty ninth field.
  EXPECT_THAT(ProblemOf("INPROP\tcount\tcont\tint\tnumber\t0\t1\t0\t\r"),
              testing::HasSubstr("9 fields, expected 8"));
  // A string's empty default needs the tabs after the maximum.
  EXPECT_THAT(ProblemOf("INPROP\tlabel\tlabl\tstring\ttext\t*\t*\r"),
              testing::HasSubstr("7 fields, expected 8"));
}

TEST(MalformedPropertyDefinitionsAreRefused, ANameThatIsNotLowerCaseWithUnderscoresOrHyphens) {
  EXPECT_THAT(ProblemOf("INPROP\tCount\tcont\tint\tnumber\t0\t1\t0\r"),
              testing::HasSubstr("name 'Count'"));
  EXPECT_THAT(ProblemOf("INPROP\tco.unt\tcont\tint\tnumber\t0\t1\t0\r"),
              testing::HasSubstr("name 'co.unt'"));
}

TEST(MalformedPropertyDefinitionsAreRefused, AnIDShorterThanFourOrLongerThanEightCharacters) {
  EXPECT_THAT(ProblemOf("INPROP\tcount\tcnt\tint\tnumber\t0\t1\t0\r"),
              testing::HasSubstr("ID 'cnt' is shorter than four"));
  EXPECT_THAT(ProblemOf("INPROP\tcount\tcountcount\tint\tnumber\t0\t1\t0\r"),
              testing::HasSubstr("longer than 8"));
}

TEST(MalformedPropertyDefinitionsAreRefused, ADuplicateIDOrNameOfTheSameKind) {
  EXPECT_THAT(ProblemOf(kGood + "OUTPROP\tother\tcont\tint\tnumber\t0\t1\t0\r"),
              testing::HasSubstr("line 2: ID 'cont' already declared on line 1"));
  EXPECT_THAT(ProblemOf(kGood + "INPROP\tcount\tcnt2\tint\tnumber\t0\t1\t0\r"),
              testing::HasSubstr("input name 'count' already declared on line 1"));
  EXPECT_EQ(ProblemOf(kGood + "OUTPROP\tcount\tcnt2\tint\tnumber\t0\t1\t0\r"), "");
}

TEST(MalformedPropertyDefinitionsAreRefused, AnUnknownTypeOrDataRestriction) {
  EXPECT_THAT(ProblemOf("INPROP\tcount\tcont\tinteger\tnumber\t0\t1\t0\r"),
              testing::HasSubstr("unknown type 'integer'"));
  EXPECT_THAT(ProblemOf("INPROP\tcount\tcont\tdata=skeleton\tnumber\t*\t*\t0\r"),
              testing::HasSubstr("data restriction 'skeleton'"));
}

TEST(MalformedPropertyDefinitionsAreRefused, AnUnknownDisplay) {
  EXPECT_THAT(ProblemOf("INPROP\tcount\tcont\tint\tslider\t0\t1\t0\r"),
              testing::HasSubstr("unknown display 'slider'"));
  EXPECT_THAT(ProblemOf("INPROP\tcount\tcont\tint\tnumber,custom\t0\t1\t0\r"),
              testing::HasSubstr("unknown display"));
}

TEST(MalformedPropertyDefinitionsAreRefused, LimitsThatAreNotNumbersOrStars) {
  EXPECT_THAT(ProblemOf("INPROP\tcount\tcont\tint\tnumber\tlow\t1\t0\r"),
              testing::HasSubstr("bad number 'low' for the minimum"));
  EXPECT_THAT(ProblemOf("INPROP\tcount\tcont\tfloat\tnumber\t0\t1.\t0\r"),
              testing::HasSubstr("bad number '1.' for the maximum"));
  EXPECT_THAT(ProblemOf("INPROP\tcount\tcont\tfloat\tnumber\t+1\t2\t1\r"),
              testing::HasSubstr("bad number '+1'"));
  EXPECT_THAT(ProblemOf("INPROP\tcount\tcont\tfloat\tnumber\t**\t2\t1\r"),
              testing::HasSubstr("bad number '**'"));
}

TEST(MalformedPropertyDefinitionsAreRefused, AMinimumAboveTheMaximum) {
  EXPECT_THAT(ProblemOf("INPROP\tcount\tcont\tint\tnumber\t5\t3\t4\r"),
              testing::HasSubstr("minimum 5 is above maximum 3"));
}

TEST(MalformedPropertyDefinitionsAreRefused, ABadMissingOrOutOfRangeDefault) {
  EXPECT_THAT(ProblemOf("INPROP\tcount\tcont\tint\tnumber\t0\t1\t\r"),
              testing::HasSubstr("missing default"));
  EXPECT_THAT(ProblemOf("INPROP\tcount\tcont\tint\tnumber\t0\t1\tone\r"),
              testing::HasSubstr("bad number 'one' for the default"));
  EXPECT_THAT(ProblemOf("INPROP\tcount\tcont\tint\tnumber\t0\t100\t101\r"),
              testing::HasSubstr("default 101 is outside the limits 0 to 100"));
  EXPECT_THAT(ProblemOf("INPROP\tcount\tcont\tfloat\tnumber\t0\t*\t-0.5\r"),
              testing::HasSubstr("outside the limits"));
}

TEST(MalformedPropertyDefinitionsAreRefused, FractionsOnWholeNumberProperties) {
  EXPECT_THAT(ProblemOf("INPROP\tcount\tcont\tint\tnumber\t0\t10\t1.5\r"),
              testing::HasSubstr("default of a whole-number property must be whole"));
  EXPECT_THAT(ProblemOf("INPROP\tflag\tflag\tbool\tonoff\t0\t0.5\t0\r"),
              testing::HasSubstr("maximum of a whole-number property must be whole"));
  EXPECT_EQ(ProblemOf("INPROP\tcount\tcont\tint\tnumber\t0\t10\t1.0\r"), "");
}

TEST(MalformedPropertyDefinitionsAreRefused, ADataDefaultOtherThanZero) {
  EXPECT_THAT(ProblemOf("OUTPROP\tvideo\tvout\tdata\ttexture\t*\t*\t1\r"),
              testing::HasSubstr("default of a data property must be 0"));
}

TEST(MalformedPropertyDefinitionsAreRefused, TheErrorCarriesLineAndProblemApart) {
  try {
    ParsePropertyDefinitions(kGood + kGood.substr(0, kGood.size() - 1));
    FAIL() << "accepted";
  } catch (const CPropertyDefinitionError& e) {
    EXPECT_EQ(e.Line(), 2);
    EXPECT_THAT(e.Problem(), testing::StartsWith("missing carriage return"));
  }
}

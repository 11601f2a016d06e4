// The declarations the host parses: read them back as the host's grammar
// does and compare what it would see.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "joint_decoder/bonesplit_properties.h"

namespace {

// Fields of one declaration, split at runs of tabs; a blank after the
// keyword belongs to the keyword's run.
std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::string current;
  bool inSeparator = false;
  for (char c : line) {
    if (c == '\t') {
      inSeparator = true;
      continue;
    }
    if (inSeparator) {
      fields.push_back(current);
      current.clear();
      inSeparator = false;
    }
    current.push_back(c);
  }
  fields.push_back(current);
  if (inSeparator) fields.push_back("");
  if (!fields.empty() && !fields[0].empty() && fields[0].back() == ' ') fields[0].pop_back();
  return fields;
}

TEST(TheDefinitionString, HoldsFourteenCarriageReturnEndedLinesAndNoLineFeed) {
  const std::string text = GetBonesplitParameterString();
  EXPECT_EQ(text.find('\n'), std::string::npos);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\r');
  size_t lines = 0;
  for (char c : text) lines += c == '\r';
  EXPECT_EQ(lines, 14u);
  EXPECT_EQ(text.rfind("INPROP\t\t", 0), 0u) << "line 1 has no blank after its keyword";
  EXPECT_NE(text.find("\rINPROP \tchannels"), std::string::npos);
}

TEST(TheDefinitionString, DeclaresSevenInputsAndSevenOutputsInIndexOrder) {
  const std::string text = GetBonesplitParameterString();
  const std::vector<std::vector<std::string>> expected = {
      {"INPROP", "skeleton_in", "skli", "data=skel", "propdef,custom", "*", "*", "0"},
      {"INPROP", "channels", "chan", "int", "number,dontconnect", "1", "64", "1"},
      {"INPROP", "point_sel", "ptsl", "string", "text", "*", "*", ""},
      {"INPROP", "offset_x", "ofsx", "float", "number", "*", "*", "0.0"},
      {"INPROP", "offset_y", "ofsy", "float", "number", "*", "*", "0.0"},
      {"INPROP", "offset_z", "ofsz", "float", "number", "*", "*", "0.0"},
      {"INPROP", "relative_to", "relt", "string", "text", "*", "*", ""},
      {"OUTPROP", "tracking", "trak", "int", "number", "0", "1", "0"},
      {"OUTPROP", "skeleton_id", "skid", "int", "number", "0", "*", "0"},
      {"OUTPROP", "enter", "entr", "bool", "trig", "0", "1", "0"},
      {"OUTPROP", "exit", "exit", "bool", "trig", "0", "1", "0"},
      {"OUTPROP", "joint-a_x", "ot01", "float", "number", "*", "*", "0"},
      {"OUTPROP", "joint-a_y", "ot02", "float", "number", "*", "*", "0"},
      {"OUTPROP", "joint-a_z", "ot03", "float", "number", "*", "*", "0"},
  };
  size_t start = 0;
  for (const auto& fields : expected) {
    const size_t end = text.find('\r', start);
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(Fields(text.substr(start, end - start)), fields);
    start = end + 1;
  }
}

TEST(TheHelpTable, DescribesTheActorThenEachPropertyWithCoordinateTextsPerAxis) {
  EXPECT_EQ(std::strncmp(sHelpStrings[0], "Decodes a 'skeleton' package", 28), 0);
  EXPECT_STREQ(sHelpStrings[4], "Adds the specified value to the x-coordiniate of every joint.");
  EXPECT_STREQ(sHelpStrings[11], "Sends a trigger whenever the tracker loses track of this body.");
  EXPECT_NE(std::strstr(sHelpStrings[3], "are:\rhead\rneck\rtorso\rleft shoulder"), nullptr);
  const std::string x = sHelpStrings[12];
  std::string y = x;
  std::string z = x;
  y.replace(x.find("x-coordinate"), 1, "y");
  z.replace(x.find("x-coordinate"), 1, "z");
  EXPECT_EQ(sHelpStrings[13], y);
  EXPECT_EQ(sHelpStrings[14], z);
}

}  // namespace

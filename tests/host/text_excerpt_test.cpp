#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "host/text_excerpt.h"

using vhost::Excerpt;
using vhost::QuoteExcerpt;

TEST(Excerpts, ShortTextIsQuotedWhole) {
  EXPECT_EQ(QuoteExcerpt(""), "''");
  EXPECT_EQ(QuoteExcerpt("tick_rate"), "'tick_rate'");
  EXPECT_EQ(Excerpt("1.5"), "1.5");
  EXPECT_EQ(QuoteExcerpt(std::string(vhost::kExcerptBytes, 'a')), "'" + std::string(vhost::kExcerptBytes, 'a') + "'");
}

TEST(Excerpts, LongTextIsCutAndSaysHowMuchIsLeft) {
  const std::string junk(5 * 1024 * 1024, 'j');
  EXPECT_EQ(QuoteExcerpt(junk), "'" + std::string(vhost::kExcerptBytes, 'j') + "...' (5242816 more bytes)");
  EXPECT_EQ(Excerpt(junk), std::string(vhost::kExcerptBytes, 'j') + "... (5242816 more bytes)");
}

TEST(Excerpts, ControlCharactersAreEscapedAndNoCharacterIsCutInTwo) {
  EXPECT_EQ(QuoteExcerpt(std::string("a\0b\x1b\x7F", 5)), "'a\\x00b\\x1B\\x7F'");
  // A two-byte character straddling the cut is left out whole.
  const std::string text = std::string(vhost::kExcerptBytes - 1, 'x') + "\xC3\xA9" + "rest";
  EXPECT_EQ(QuoteExcerpt(text), "'" + std::string(vhost::kExcerptBytes - 1, 'x') + "...' (6 more bytes)");
}

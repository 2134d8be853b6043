#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "framework/Text.h"

namespace {

TEST(CopyText, CutsWithoutSplittingUtf8AndTerminates) {
  char field[6];
  std::memset(field, 'x', sizeof field);
  CopyText(field, sizeof field, "abcdefgh");
  EXPECT_STREQ(field, "abcde");

  // "abcd" + U+00E9 (2 bytes) needs 6 bytes of text: the e-acute must go whole.
  CopyText(field, sizeof field, "abcd\xC3\xA9");
  EXPECT_STREQ(field, "abcd");

  // A three-byte character that fits exactly stays.
  char euro[4];
  CopyText(euro, sizeof euro, "\xE2\x82\xAC");
  EXPECT_STREQ(euro, "\xE2\x82\xAC");
  CopyText(euro, sizeof euro, "a\xE2\x82\xAC");
  EXPECT_STREQ(euro, "a");
}

TEST(CopyText, HandlesNullAndOverlap) {
  char field[8] = "abc";
  CopyText(field, sizeof field, nullptr);
  EXPECT_STREQ(field, "");
  std::strcpy(field, "abcdef");
  CopyText(field, sizeof field, field + 2);
  EXPECT_STREQ(field, "cdef");
}

TEST(FormatFixed, MatchesPrintfRoundingWithPoint) {
  char text[32];
  FormatFixed(text, sizeof text, 0.5, 2);
  EXPECT_STREQ(text, "0.50");
  FormatFixed(text, sizeof text, -12.04, 1);
  EXPECT_STREQ(text, "-12.0");
  FormatFixed(text, sizeof text, 2.5, 0);
  EXPECT_STREQ(text, "2");  // ties to even, as printf does
  FormatFixed(text, sizeof text, 24.999, 2);
  EXPECT_STREQ(text, "25.00");
  FormatFixed(text, 4, 12345.0, 0);
  EXPECT_STREQ(text, "123");
}

TEST(ParseLeadingNumber, ReadsTheLongestLeadingNumber) {
  double v = -1;
  EXPECT_TRUE(ParseLeadingNumber("  12.5 dB", &v));
  EXPECT_EQ(v, 12.5);
  EXPECT_TRUE(ParseLeadingNumber("+3e2x", &v));
  EXPECT_EQ(v, 300.0);
  EXPECT_TRUE(ParseLeadingNumber("-0.25", &v));
  EXPECT_EQ(v, -0.25);
  EXPECT_FALSE(ParseLeadingNumber("abc", &v));
  EXPECT_EQ(v, 0.0);
  EXPECT_FALSE(ParseLeadingNumber("", &v));
  EXPECT_FALSE(ParseLeadingNumber(nullptr, &v));
  EXPECT_TRUE(ParseLeadingNumber("1e999", &v));
  EXPECT_TRUE(std::isinf(v));
}

TEST(EqualsIgnoringCase, ComparesAsciiLetters) {
  EXPECT_TRUE(EqualsIgnoringCase("Native Instruments", "native instruments"));
  EXPECT_FALSE(EqualsIgnoringCase("native", "native instruments"));
}

}  // namespace

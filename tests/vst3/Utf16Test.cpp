// The conversions between the plug-in's UTF-8 texts and VST 3's UTF-16.

#include <gtest/gtest.h>

#include <string>

#include "framework/vst3/Utf16.h"

namespace {

TEST(Utf16, TextsSurviveTheRoundTripWithEveryLengthOfSequence) {
  // One, two, three and four bytes: "a", "é", "€", U+1D11E (a surrogate pair).
  const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E";
  char16_t wide[16] = {};
  ToUtf16(text.c_str(), wide, 16);
  EXPECT_EQ(std::u16string(wide), (std::u16string{u'a', 0x00E9, 0x20AC, 0xD834, 0xDD1E}));
  EXPECT_EQ(FromUtf16(wide, 16), text);
}

TEST(Utf16, ACutNeverSplitsASurrogatePairAndAlwaysTerminates) {
  char16_t wide[4] = {u'x', u'x', u'x', u'x'};
  ToUtf16("ab\xF0\x9D\x84\x9E", wide, 4);  // the pair needs 2 of the 1 unit left
  EXPECT_EQ(std::u16string(wide), u"ab");
  ToUtf16("abcdef", wide, 4);
  EXPECT_EQ(std::u16string(wide), u"abc");
  ToUtf16(nullptr, wide, 4);
  EXPECT_EQ(wide[0], u'\0');
}

TEST(Utf16, MalformedInputBecomesReplacementCharacters) {
  char16_t wide[16] = {};
  // A stray continuation byte, an overlong '/', an encoded surrogate, a cut sequence.
  ToUtf16("\x80|\xC0\xAF|\xED\xA0\x80|\xE2\x82", wide, 16);
  const std::u16string expected = u"\xFFFD|\xFFFD\xFFFD|\xFFFD\xFFFD\xFFFD|\xFFFD\xFFFD";
  EXPECT_EQ(std::u16string(wide), expected);
  const char16_t lone[] = {0xD834, u'a', 0xDD1E, 0};
  EXPECT_EQ(FromUtf16(lone, 4),
            "\xEF\xBF\xBD"
            "a"
            "\xEF\xBF\xBD");
  const char16_t unterminated[] = {u'a', u'b', u'c'};
  EXPECT_EQ(FromUtf16(unterminated, 2), "ab");
}

}  // namespace

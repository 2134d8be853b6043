#include <gtest/gtest.h>

#include <string>

#include "update/ExpectedMessages.h"
#include "update/VersionCheck.h"

namespace {

VersionMessage Interpret(const std::string& bytes) {
  return InterpretVersionReply({VersionReplyStatus::kReceived, bytes});
}

}  // namespace

TEST(VersionReply, NumbersUpToOursAndTextWithoutDigitsAreUpToDate) {
  for (const char* reply : {"1101", "1101\n", "0", "900", "  1000", "-5000", "abc", "2", "20"}) {
    EXPECT_EQ(Interpret(reply), expected::UpToDate()) << "reply \"" << reply << "\"";
  }
}

TEST(VersionReply, NewerNumbersGiveTheVersionTextBuiltFromTheirDigits) {
  EXPECT_EQ(Interpret("1102"), expected::NewVersion("1.1.2"));
  EXPECT_EQ(Interpret("1110"), expected::NewVersion("1.1.10"));
  // Trailing characters of the reply stay in the version text.
  EXPECT_EQ(Interpret("2000\n"), expected::NewVersion("2.0.0\n"));
  EXPECT_EQ(Interpret("1205 beta"), expected::NewVersion("1.2.5 beta"));
  EXPECT_EQ(Interpret("12345"), expected::NewVersion("1.2.345"));
  // A number too big for any integer is still just newer.
  EXPECT_EQ(Interpret("99999999999999999999999"),
            expected::NewVersion("9.9.999999999999999999999"));
}

TEST(VersionReply, WebPagesAndBinaryRepliesAreInvalid) {
  EXPECT_EQ(Interpret("<html><body>1102</body></html>"), expected::Invalid());
  EXPECT_EQ(Interpret("1102<br>"), expected::Invalid());
  EXPECT_EQ(Interpret("1000 <"), expected::Invalid());
  EXPECT_EQ(Interpret(std::string("1102\0x", 6)), expected::Invalid());
}

TEST(VersionReply, NewerNumbersWithoutThreeLeadingDigitsAreInvalid) {
  // The version text takes the reply's first three characters; here they
  // are not all digits.
  for (const char* reply : {" 2000", "+2000", "\n1102", "\t\t5000"}) {
    EXPECT_EQ(Interpret(reply), expected::Invalid()) << "reply \"" << reply << "\"";
  }
}

TEST(VersionReply, FailedEmptyAndOverlongRepliesGiveTheirMessages) {
  EXPECT_EQ(InterpretVersionReply({VersionReplyStatus::kFailed, ""}), expected::Error());
  EXPECT_EQ(InterpretVersionReply({VersionReplyStatus::kFailed, "1102"}), expected::Error());
  EXPECT_EQ(Interpret(""), expected::Error());
  EXPECT_EQ(InterpretVersionReply({VersionReplyStatus::kTooLong, std::string(65536, '1')}),
            expected::Invalid());
}

// The shared ASCII helpers: which bytes each class covers, and case folding that leaves UTF-8 alone.

#include <gtest/gtest.h>

#include <string_view>

#include "base/Ascii.h"

namespace almanex {
namespace {

TEST(Ascii, SpaceOrTabAndSpaceOrControlDifferOnlyInControlBytes) {
  for (int byte = 0; byte < 256; ++byte) {
    const char c = static_cast<char>(byte);
    EXPECT_EQ(IsSpaceOrTab(c), byte == ' ' || byte == '\t') << byte;
    EXPECT_EQ(IsSpaceOrControl(c), byte <= ' ') << byte;
    EXPECT_EQ(IsAsciiDigit(c), byte >= '0' && byte <= '9') << byte;
    EXPECT_EQ(IsAsciiLetter(c), (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z')) << byte;
  }
}

TEST(Ascii, LoweringTouchesOnlyAsciiCapitals) {
  for (int byte = 0; byte < 256; ++byte) {
    const char expected = (byte >= 'A' && byte <= 'Z') ? static_cast<char>(byte + 32) : static_cast<char>(byte);
    EXPECT_EQ(ToLowerAscii(static_cast<char>(byte)), expected) << byte;
  }
}

TEST(Ascii, TrimAndSearch) {
  EXPECT_EQ(TrimSpaceOrTab(" \t a b \t "), "a b");
  EXPECT_EQ(TrimSpaceOrTab("\r\nx\n"), "\r\nx\n");  // line breaks are not blanks here
  EXPECT_EQ(TrimSpaceOrTab(" \t "), "");
  EXPECT_EQ(TrimSpaceOrControl("\r\n\t x y\x01 "), "x y");
  EXPECT_TRUE(IsAllSpaceOrTab(""));
  EXPECT_TRUE(IsAllSpaceOrTab(" \t"));
  EXPECT_FALSE(IsAllSpaceOrTab(" x"));
  EXPECT_TRUE(StartsWithIgnoringAsciiCase("AM/PM x", "am/pm"));
  EXPECT_FALSE(StartsWithIgnoringAsciiCase("am", "am/pm"));
  EXPECT_EQ(FindIgnoringAsciiCase("dd/MM DDDD", "dddd"), 6u);
  EXPECT_EQ(FindIgnoringAsciiCase("ddd", "dddd"), std::string_view::npos);
  EXPECT_EQ(FindIgnoringAsciiCase("xDDDDdddd", "dddd", 2), 2u);
  EXPECT_EQ(FindIgnoringAsciiCase("\xC3\x84", "\xC3\xA4"), std::string_view::npos);  // Ä is not folded to ä
}

}  // namespace
}  // namespace almanex

// The UTF-8 encoder: the bytes at each length's boundaries, and every code point encoded to one
// sequence that the UTF-8 check accepts whole.

#include <gtest/gtest.h>

#include <string>

#include "base/TextEncoding.h"

namespace almanex {
namespace {

std::string Encoded(char32_t code) {
  std::string out;
  AppendUtf8(out, code);
  return out;
}

TEST(AppendUtf8, BoundariesOfEachLength) {
  struct Row {
    char32_t code;
    std::string bytes;
  };
  const Row rows[] = {
      {0x0000, std::string(1, '\0')}, {0x007F, "\x7F"},
      {0x0080, "\xC2\x80"},           {0x00E9, "\xC3\xA9"},
      {0x07FF, "\xDF\xBF"},           {0x0800, "\xE0\xA0\x80"},
      {0x20AC, "\xE2\x82\xAC"},       {0xFFFD, "\xEF\xBF\xBD"},
      {0xFFFF, "\xEF\xBF\xBF"},       {0x10000, "\xF0\x90\x80\x80"},
      {0x1F600, "\xF0\x9F\x98\x80"},  {0x10FFFF, "\xF4\x8F\xBF\xBF"},
  };
  for (const Row& row : rows) EXPECT_EQ(Encoded(row.code), row.bytes) << static_cast<unsigned>(row.code);
}

TEST(AppendUtf8, EveryCodePointIsOneValidSequenceOfItsLength) {
  for (char32_t code = 0; code <= 0x10FFFF; ++code) {
    const std::string text = Encoded(code);
    const std::size_t length = code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
    ASSERT_EQ(text.size(), length) << static_cast<unsigned>(code);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    ASSERT_EQ(Utf8SequenceLength(text, 0), surrogate ? 0 : length) << static_cast<unsigned>(code);
  }
}

TEST(AppendUtf8, AppendsAfterWhatIsThere) {
  std::string text = "caf";
  AppendUtf8(text, 0xE9);
  AppendUtf8(text, 0x1F600);
  EXPECT_EQ(text, "caf\xC3\xA9\xF0\x9F\x98\x80");
}

}  // namespace
}  // namespace almanex

// Stored colour values to colours: fixed colours by byte order, system colours from the palette.

#include <gtest/gtest.h>

#include <QPalette>
#include <set>

#include "grid/WindowsColor.h"

namespace almanex::test {
namespace {

/// A palette in which every group and role has a colour of its own, none of them black or white.
QPalette DistinctPalette() {
  QPalette palette;
  for (int group = 0; group < QPalette::NColorGroups; ++group) {
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
      palette.setColor(static_cast<QPalette::ColorGroup>(group), static_cast<QPalette::ColorRole>(role),
                       QColor(20 + group * 50, 10 + role * 10, 123));
    }
  }
  return palette;
}

struct ColorCase {
  const char* name;
  qint32 value;
  QColor expected;  // invalid: see role
  QPalette::ColorGroup group;
  QPalette::ColorRole role;
};

void PrintTo(const ColorCase& c, std::ostream* out) { *out << c.name; }

const QPalette kPalette = DistinctPalette();

const ColorCase kColorCases[] = {
    {"Black", 0, Qt::black, QPalette::Active, QPalette::NoRole},
    {"White", 16777215, Qt::white, QPalette::Active, QPalette::NoRole},
    {"Red", 0x0000FF, QColor(255, 0, 0), QPalette::Active, QPalette::NoRole},
    {"Blue", 0xFF0000, QColor(0, 0, 255), QPalette::Active, QPalette::NoRole},
    {"ByteOrder", 0x00336699, QColor(0x99, 0x66, 0x33), QPalette::Active, QPalette::NoRole},
    {"TopByteIgnored", 0x020000FF, QColor(255, 0, 0), QPalette::Active, QPalette::NoRole},
    {"WindowBackground", -16777211, QColor(), QPalette::Active, QPalette::Base},
    {"WindowText", static_cast<qint32>(0xFF000008u), QColor(), QPalette::Active, QPalette::Text},
    {"Highlight", static_cast<qint32>(0xFF00000Du), QColor(), QPalette::Active, QPalette::Highlight},
    {"HighlightText", static_cast<qint32>(0xFF00000Eu), QColor(), QPalette::Active, QPalette::HighlightedText},
    {"ButtonFace", static_cast<qint32>(0xFF00000Fu), QColor(), QPalette::Active, QPalette::Button},
    {"ButtonText", static_cast<qint32>(0xFF000012u), QColor(), QPalette::Active, QPalette::ButtonText},
    {"MenuText", static_cast<qint32>(0xFF000007u), QColor(), QPalette::Active, QPalette::WindowText},
    {"GrayText", static_cast<qint32>(0xFF000011u), QColor(), QPalette::Disabled, QPalette::Text},
    {"TooltipBackground", static_cast<qint32>(0xFF000018u), QColor(), QPalette::Active, QPalette::ToolTipBase},
    {"UnknownNumber", static_cast<qint32>(0xFF0000C8u), QColor(), QPalette::Active, QPalette::Base},
    {"LargestNumber", static_cast<qint32>(0xFF0000FFu), QColor(), QPalette::Active, QPalette::Base},
};

class ColorFromWindowsValueTest : public ::testing::TestWithParam<ColorCase> {};

TEST_P(ColorFromWindowsValueTest, Converts) {
  const ColorCase& c = GetParam();
  const QColor expected = c.expected.isValid() ? c.expected : kPalette.color(c.group, c.role);
  EXPECT_EQ(ColorFromWindowsValue(c.value, kPalette), expected);
}

INSTANTIATE_TEST_SUITE_P(Values, ColorFromWindowsValueTest, ::testing::ValuesIn(kColorCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ColorFromWindowsValue, EverySystemColourComesFromThePalette) {
  std::set<QRgb> paletteColors;
  for (int group = 0; group < QPalette::NColorGroups; ++group) {
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
      paletteColors.insert(
          kPalette.color(static_cast<QPalette::ColorGroup>(group), static_cast<QPalette::ColorRole>(role)).rgb());
    }
  }
  std::set<QRgb> used;
  for (quint32 number = 0; number <= 0xFF; ++number) {
    const QColor color = ColorFromWindowsValue(static_cast<qint32>(0xFF000000u | number), kPalette);
    ASSERT_TRUE(color.isValid()) << number;
    EXPECT_EQ(paletteColors.count(color.rgb()), 1u) << number;
    used.insert(color.rgb());
  }
  EXPECT_GE(used.size(), 15u) << "the common system colours map to different palette entries";
}

TEST(ColorFromWindowsValue, FixedColoursRoundTripEveryChannel) {
  for (int channel = 0; channel < 256; ++channel) {
    const qint32 value = channel | ((255 - channel) << 8) | ((channel ^ 0x5A) << 16);
    EXPECT_EQ(ColorFromWindowsValue(value, kPalette), QColor(channel, 255 - channel, channel ^ 0x5A)) << channel;
  }
}

}  // namespace
}  // namespace almanex::test

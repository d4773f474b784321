// Regional formats built from Qt locales: the patterns and separators they give, and that a date and a
// time written under them read back unchanged.

#include <gtest/gtest.h>

#include <QLocale>
#include <ostream>
#include <string>

#include "datetime/DateFormat.h"
#include "datetime/NumberFormat.h"
#include "platform/locale/LocaleBridge.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

using test::MakeDateTime;

struct LocaleCase {
  const char* name;
  const char* shortDate;
  const char* longDate;
  const char* longTime;
  const char* dateSeparator;
  const char* timeSeparator;
  const char* am;
  const char* pm;
  const char* thousandSeparator;
  const char* decimalSeparator;
  const char* sunday;
  const char* march;
  const char* marchShort;
  friend void PrintTo(const LocaleCase& c, std::ostream* out) { *out << c.name; }
};

const LocaleCase kLocales[] = {
    {"en_US", "m/d/yyyy", "dddd, mmmm d, yyyy", "h:nn:ss ampm", "/", ":", "AM", "PM", ",", ".", "Sunday", "March",
     "Mar"},
    {"en_GB", "dd/mm/yyyy", "dddd, d mmmm yyyy", "hh:nn:ss", "/", ":", "am", "pm", ",", ".", "Sunday", "March", "Mar"},
    {"de_DE", "dd.mm.yyyy", "dddd, d. mmmm yyyy", "hh:nn:ss", ".", ":", "AM", "PM", ".", ",", "Sonntag", "M\u00e4rz",
     "M\u00e4rz"},
    // Qt's C locale writes its short date with a month name: made numeric, blank-separated.
    {"C", "yyyy-mm-dd", "dddd, d mmmm yyyy", "hh:nn:ss", "-", ":", "AM", "PM", ",", ".", "Sunday", "March", "Mar"},
};

class LocaleTable : public testing::TestWithParam<LocaleCase> {};

TEST_P(LocaleTable, PatternsSeparatorsAndNames) {
  const LocaleCase& c = GetParam();
  const FormatSettings settings = FormatSettingsFromLocale(QLocale(QString::fromLatin1(c.name)));
  EXPECT_EQ(settings.shortDateFormat, c.shortDate);
  EXPECT_EQ(settings.longDateFormat, c.longDate);
  EXPECT_EQ(settings.longTimeFormat, c.longTime);
  EXPECT_EQ(settings.dateSeparator, c.dateSeparator);
  EXPECT_EQ(settings.timeSeparator, c.timeSeparator);
  EXPECT_EQ(settings.timeAmString, c.am);
  EXPECT_EQ(settings.timePmString, c.pm);
  EXPECT_EQ(settings.thousandSeparator, c.thousandSeparator);
  EXPECT_EQ(settings.decimalSeparator, c.decimalSeparator);
  EXPECT_EQ(settings.longDayNames[0], c.sunday);
  EXPECT_EQ(settings.longMonthNames[2], c.march);
  EXPECT_EQ(settings.shortMonthNames[2], c.marchShort);
}

INSTANTIATE_TEST_SUITE_P(LocaleBridge, LocaleTable, testing::ValuesIn(kLocales),
                         [](const auto& info) { return std::string(info.param.name); });

// Under every locale, what the short date and long time write reads back: the date exactly, the time to
// the second. The list reaches beyond the four above to scripts, format marks and unusual separators.
TEST(LocaleBridge, DatesAndTimesReadBackUnderEveryLocale) {
  const char* const locales[] = {"en_US", "en_GB", "de_DE", "C",     "fr_FR", "fi_FI", "ko_KR",
                                 "ja_JP", "hu_HU", "pt_BR", "ru_RU", "zh_CN", "ar_EG", "es_ES",
                                 "nl_NL", "sv_SE", "it_IT", "pl_PL", "cs_CZ", "he_IL", "hi_IN"};
  const DateTime values[] = {MakeDateTime(1, 1, 1),
                             MakeDateTime(1899, 12, 30),
                             MakeDateTime(2024, 2, 10, 6, 7, 8, 900),
                             MakeDateTime(2024, 2, 29, 12, 0, 0),
                             MakeDateTime(2026, 12, 31, 12, 30, 45),
                             MakeDateTime(2027, 1, 1, 0, 0, 0, 1),
                             MakeDateTime(9999, 12, 31, 23, 59, 59, 999)};
  for (const char* name : locales) {
    const FormatSettings settings = FormatSettingsFromLocale(QLocale(QString::fromLatin1(name)));
    for (const DateTime value : values) {
      const std::string date = FormatShortDate(value, settings);
      const auto readDate = ParseShortDate(date, settings, std::chrono::year{2026});
      ASSERT_TRUE(readDate) << name << " short date " << settings.shortDateFormat << " wrote " << date;
      EXPECT_EQ(*readDate, DateOf(value)) << name << " wrote " << date;

      const std::string time = FormatLongTime(value, settings);
      const TimeOfDay fields = DecodeTime(value);
      const auto readTime = ParseLongTime(time, settings);
      ASSERT_TRUE(readTime) << name << " long time " << settings.longTimeFormat << " wrote " << time;
      EXPECT_EQ(*readTime, EncodeTime(fields.hour, fields.minute, fields.second)) << name << " wrote " << time;
    }
  }
}

TEST(LocaleBridge, QtPatternsTranslated) {
  struct Case {
    const char* name;
    const char* qt;
    bool shortDate;
    const char* dateSeparator;
    const char* timeSeparator;
    const char* expected;
  };
  const Case cases[] = {
      {"TwoDigitYearWidened", "M/d/yy", true, "/", ":", "m/d/yyyy"},
      {"ShortMonthNameMadeNumeric", "d MMM yyyy", true, " ", ":", "d mm yyyy"},
      {"LongMonthNameMadeNumeric", "d. MMMM yy", true, ".", ":", "d. m yyyy"},
      {"LongDateKeepsNames", "dddd, d MMMM yy", false, "/", ":", "dddd, d mmmm yy"},
      {"MinutesBecomeN", "HH:mm:ss", false, "/", ":", "hh:nn:ss"},
      {"AmPmVariants", "h:mm AP|ap|A|a", false, "/", ":", "h:nn ampm|ampm|ampm|ampm"},
      {"ZoneDroppedWithBlankBefore", "h:mm:ss AP t", false, "/", ":", "h:nn:ss ampm"},
      {"ZoneDroppedWithBlankAfter", "t HH:mm:ss", false, "/", ":", "hh:nn:ss"},
      {"ZoneDroppedWithBrackets", "H:mm:ss (t)", false, "/", ":", "h:nn:ss"},
      {"LongZoneDropped", "HH:mm:ss tttt", false, "/", ":", "hh:nn:ss"},
      {"QuotedText", "d 'de' MMMM 'de' yyyy", false, "/", ":", "d \"de\" mmmm \"de\" yyyy"},
      {"EscapedQuote", "h 'o''clock' AP", false, "/", ":", "h \"o'clock\" ampm"},
      {"LoneQuotePair", "HH''mm", false, "/", ":", "hh\"'\"nn"},
      {"DoubleQuoteLiteral", "d\"M", false, "/", ":", "d'\"'m"},
      {"NonTokenLettersQuoted", "dd.MM.yyyy 'г'. KW", false, ".", ":", "dd.mm.yyyy \"\u0433\". \"KW\""},
      {"ForeignSlashQuoted", "dd/MM/yyyy", false, ".", ":", "dd\"/\"mm\"/\"yyyy"},
      {"ForeignColonQuoted", "H:mm", false, "/", ".", "h\":\"nn"},
      {"NonAsciiLettersStayAsTheyAre", "H\u6642mm\u5206ss\u79d2", false, "/", ":", "h\u6642nn\u5206ss\u79d2"},
      {"Milliseconds", "HH:mm:ss.zzz z", false, "/", ":", "hh:nn:ss.zzz z"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PatternFromQt(QString::fromUtf8(c.qt), c.shortDate, c.dateSeparator, c.timeSeparator), c.expected)
        << c.name;
  }
}

TEST(LocaleBridge, SeparatorsSkipInvisibleMarksAndTakeMultiByteTexts) {
  // Arabic dates put U+200F marks around their slashes; French groups with U+202F.
  const FormatSettings arabic = FormatSettingsFromLocale(QLocale(QStringLiteral("ar_EG")));
  EXPECT_EQ(arabic.dateSeparator, "/");
  const FormatSettings french = FormatSettingsFromLocale(QLocale(QStringLiteral("fr_FR")));
  EXPECT_EQ(french.thousandSeparator, "\u202f");
  EXPECT_EQ(french.decimalSeparator, ",");
  EXPECT_EQ(FormatUnitValue("%2.2n", 9360, french), "9\u202f360,00");
}

}  // namespace
}  // namespace almanex

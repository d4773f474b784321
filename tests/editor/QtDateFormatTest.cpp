// The pickers' display format: the program's date patterns in Qt's language, and what a picker shows.

#include <gtest/gtest.h>

#include <QDate>
#include <QDateEdit>
#include <string>

#include "datetime/DateTimeUnit.h"
#include "editor/QtDateFormat.h"

namespace almanex {
namespace {

struct FormatCase {
  const char* name;
  const char* pattern;
  const char* qtFormat;
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

const FormatCase kFormatCases[] = {
    {"MonthNameFirst", "ddd, mmmm dd, yyyy", "ddd, MMMM dd, yyyy"},
    {"Numeric", "dd.mm.yyyy ddd", "dd.MM.yyyy ddd"},
    {"ShortMonthWithBrackets", "d. mmm yyyy (ddd)", "d. MMM yyyy (ddd)"},
    {"UpperCaseLetters", "DDD MMMM D YY", "ddd MMMM d yy"},
    {"SeparatorsAreTheLocales", "m/d/yyyy ddd", "M'-'d'-'yyyy ddd"},
    {"QuotedWordsStayWords", "dddd 'de' mmmm \"of\" yyyy", "dddd 'de' MMMM 'of' yyyy"},
    {"QuoteInsideLiteral", "d \"o'clock\"", "d 'o''clock'"},
    {"StrayLettersAreLiterals", "d t yyyy", "d 't' yyyy"},
    {"NonAsciiLiteral", "yyyy\"年\"m\"月\"d\"日\" ddd", "yyyy'年'M'月'd'日' ddd"},
    {"UnquotedNonAscii", "d·mm·yyyy", "d·MM·yyyy"},
    {"MinutesAfterHour", "hh:mm ampm", "hh'.'mm AP"},
    {"AmPmKeepsItsCase", "h:nn am/pm H:nn AM/PM a/p", "h'.'mm ap h'.'mm AP ap"},
    {"FiveDaysTakeFourThenOne", "ddddd", "ddddd"},
};

class QtDateFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(QtDateFormat, TranslatesThePattern) {
  FormatSettings settings;
  settings.dateSeparator = "-";
  settings.timeSeparator = ".";
  EXPECT_EQ(ToQtDateFormat(GetParam().pattern, settings).toStdString(), GetParam().qtFormat);
}

INSTANTIATE_TEST_SUITE_P(Patterns, QtDateFormat, ::testing::ValuesIn(kFormatCases),
                         [](const ::testing::TestParamInfo<FormatCase>& info) { return info.param.name; });

TEST(QtDateFormatPicker, ShowsTheDialogsDayDateFormat) {
  FormatSettings settings;
  settings.longDateFormat = "dddd, mmmm d, yyyy";
  QDateEdit picker;
  picker.setDisplayFormat(ToQtDateFormat(ShortDayDateFormat(settings), settings));
  picker.setDate(QDate(2026, 12, 8));
  EXPECT_EQ(picker.text().toStdString(), "Tue, December 8, 2026");

  settings.longDateFormat = "dd/mm/yyyy";
  settings.dateSeparator = ".";
  picker.setDisplayFormat(ToQtDateFormat(ShortDayDateFormat(settings), settings));
  EXPECT_EQ(picker.text().toStdString(), "08.12.2026 Tue");
}

}  // namespace
}  // namespace almanex

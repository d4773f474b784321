// The Frequency and Range groups: a stored pattern shown in the controls and saved back, and the rules
// by which the controls steer each other while the user works.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "datetime/Clock.h"
#include "datetime/DateTime.h"
#include "editor/RecurrenceEditor.h"
#include "store/EventRecord.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

using test::MakeDateTime;

// Tuesday 8 December 2026, 10:30: today's weekday bit is 4, today's day 8, the month December.
const DateTime kNow = MakeDateTime(2026, 12, 8, 10, 30);
// A field that saving must leave alone.
constexpr int kUntouched = -99;

template <typename Widget>
Widget* Find(QWidget& root, const char* name) {
  auto* widget = root.findChild<Widget*>(QString::fromLatin1(name));
  EXPECT_NE(widget, nullptr) << name;
  return widget;
}

// What a user sees in one named control: a count or list text, a date, or the check mark.
std::string Shown(QWidget& root, const std::string& name) {
  QWidget* widget = root.findChild<QWidget*>(QString::fromStdString(name));
  if (widget == nullptr) return "<missing>";
  if (auto* box = qobject_cast<QDateEdit*>(widget)) return box->date().toString(Qt::ISODate).toStdString();
  if (auto* box = qobject_cast<QSpinBox*>(widget)) return box->text().toStdString();
  if (auto* list = qobject_cast<QComboBox*>(widget)) return "[" + list->currentText().toStdString() + "]";
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->isChecked() ? "checked" : "unchecked";
  return "<unknown kind>";
}

std::string IsoDate(DateTime value) {
  const std::chrono::year_month_day date = DecodeDate(value);
  return QDate(static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
               static_cast<int>(static_cast<unsigned>(date.day())))
      .toString(Qt::ISODate)
      .toStdString();
}

const char* const kWeeklyDayBoxes[7] = {"CheckBoxWeeklySunday",    "CheckBoxWeeklyMonday",   "CheckBoxWeeklyTuesday",
                                        "CheckBoxWeeklyWednesday", "CheckBoxWeeklyThursday", "CheckBoxWeeklyFriday",
                                        "CheckBoxWeeklySaturday"};

struct PatternFields {
  int recurrenceType = kUntouched;
  int interval = kUntouched;
  int dayOfWeekMask = kUntouched;
  int dayOfMonth = kUntouched;
  int instance = kUntouched;
  int monthOfYear = kUntouched;
  int endType = 0;
};

struct LoadSaveCase {
  const char* name;
  PatternFields stored;  // kUntouched in a stored field: the reader's default (1)
  DateTime startDate;
  // What the user sees: the page shown, the named controls, the weekly day boxes Sunday first ("0010000").
  const char* page;
  std::vector<std::pair<std::string, std::string>> shown;
  const char* weeklyDays;
  PatternFields saved;
};

void PrintTo(const LoadSaveCase& c, std::ostream* os) { *os << c.name; }

EventRecord StoredRecord(const LoadSaveCase& c) {
  EventRecord record;
  auto orDefault = [](int value) { return value == kUntouched ? 1 : value; };
  record.recurrenceType = orDefault(c.stored.recurrenceType);
  record.interval = orDefault(c.stored.interval);
  record.dayOfWeekMask = orDefault(c.stored.dayOfWeekMask);
  record.dayOfMonth = orDefault(c.stored.dayOfMonth);
  record.instance = orDefault(c.stored.instance);
  record.monthOfYear = orDefault(c.stored.monthOfYear);
  record.endType = c.stored.endType;
  record.startDate = c.startDate;
  record.endDate = MakeDateTime(2027, 6, 30);
  record.onceDate = MakeDateTime(2027, 3, 5);
  return record;
}

const DateTime kThursday = MakeDateTime(2026, 12, 10);
const DateTime kMonday = MakeDateTime(2026, 11, 30);

// The fresh state as it stands after today's preparation; kinds that load nothing keep it.
const std::vector<std::pair<std::string, std::string>> kFresh = {{"RadioButtonDaily", "checked"},
                                                                 {"RadioButtonDailyEveryDays", "checked"},
                                                                 {"SpinEditDailyDay", "1"},
                                                                 {"RadioButtonWeeklyTask", "checked"},
                                                                 {"SpinEditWeeklyTaskInterval", "1"},
                                                                 {"RadioButtonMonthlyDay", "checked"},
                                                                 {"SpinEditMonthlyDayNum1", "8"},
                                                                 {"SpinEditMonthlyMonth1", "1"},
                                                                 {"ComboBoxMonthlyInstance", "[first]"},
                                                                 {"ComboBoxMonthlyWeekMask", "[Day]"},
                                                                 {"RadioButtonYearlyEvery", "checked"},
                                                                 {"ComboBoxYearlyMonthNum1", "[December]"},
                                                                 {"SpinEditYearlyDayNum", "8"},
                                                                 {"ComboBoxYearlyWeekNum", "[first]"},
                                                                 {"ComboBoxYearlyWeekMask", "[Day]"},
                                                                 {"ComboBoxYearlyMonthNum2", "[January]"},
                                                                 {"DateTimePickerOnce", "2026-12-08"},
                                                                 {"RadioButtonNoEndDate", "checked"}};

const LoadSaveCase kLoadSaveCases[] = {
    {"DailyEveryThreeDays",
     {.recurrenceType = 0, .interval = 3},
     kMonday,
     "Daily",
     {{"RadioButtonDaily", "checked"}, {"RadioButtonDailyEveryDays", "checked"}, {"SpinEditDailyDay", "3"}},
     "0010000",
     {.recurrenceType = 0, .interval = 3, .dayOfWeekMask = 4}},
    {"DailyCountClampedToHigh",
     {.recurrenceType = 0, .interval = 400},
     kMonday,
     "Daily",
     {{"SpinEditDailyDay", "366"}},
     "0010000",
     {.recurrenceType = 0, .interval = 366, .dayOfWeekMask = 4}},
    {"DailyCountClampedToLow",
     {.recurrenceType = 0, .interval = -5},
     kMonday,
     "Daily",
     {{"SpinEditDailyDay", "1"}},
     "0010000",
     {.recurrenceType = 0, .interval = 1, .dayOfWeekMask = 4}},
    {"WeeklyMondayWednesdayFriday",
     {.recurrenceType = 1, .interval = 2, .dayOfWeekMask = 42},
     kMonday,
     "Weekly",
     {{"RadioButtonWeekly", "checked"}, {"RadioButtonWeeklyTask", "checked"}, {"SpinEditWeeklyTaskInterval", "2"}},
     "0101010",
     {.recurrenceType = 1, .interval = 2, .dayOfWeekMask = 42}},
    {"WeeklySet62Interval0IsEveryWeekday",
     {.recurrenceType = 1, .interval = 0, .dayOfWeekMask = 62},
     kMonday,
     "Daily",
     {{"RadioButtonDaily", "checked"},
      {"RadioButtonWeekly", "unchecked"},
      {"RadioButtonDailyEveryWeekday", "checked"},
      {"RadioButtonDailyEveryDays", "unchecked"},
      {"SpinEditDailyDay", "1"}},
     "0111110",
     {.recurrenceType = 1, .interval = 0, .dayOfWeekMask = 62}},
    {"WeeklySet62Interval1StaysWeekly",
     {.recurrenceType = 1, .interval = 1, .dayOfWeekMask = 62},
     kMonday,
     "Weekly",
     {{"RadioButtonWeekly", "checked"}, {"RadioButtonDailyEveryDays", "checked"}},
     "0111110",
     {.recurrenceType = 1, .interval = 1, .dayOfWeekMask = 62}},
    {"WeeklyCountClamped",
     {.recurrenceType = 1, .interval = 99, .dayOfWeekMask = 65},
     kMonday,
     "Weekly",
     {{"SpinEditWeeklyTaskInterval", "55"}},
     "1000001",
     {.recurrenceType = 1, .interval = 55, .dayOfWeekMask = 65}},
    {"WeeklyEmptySet",
     {.recurrenceType = 1, .interval = 1, .dayOfWeekMask = 0},
     kMonday,
     "Weekly",
     {{"RadioButtonWeekly", "checked"}},
     "0000000",
     {.recurrenceType = 1, .interval = 1, .dayOfWeekMask = 0}},
    {"MonthlyDay31Every3",
     {.recurrenceType = 2, .interval = 3, .dayOfMonth = 31},
     kMonday,
     "Monthly",
     {{"RadioButtonMonthly", "checked"},
      {"RadioButtonMonthlyDay", "checked"},
      {"SpinEditMonthlyDayNum1", "31"},
      {"SpinEditMonthlyMonth1", "3"}},
     "0010000",
     {.recurrenceType = 2, .interval = 3, .dayOfMonth = 31}},
    {"MonthlyDayCountsClamped",
     {.recurrenceType = 2, .interval = 20, .dayOfMonth = 45},
     kMonday,
     "Monthly",
     {{"SpinEditMonthlyDayNum1", "31"}, {"SpinEditMonthlyMonth1", "12"}},
     "0010000",
     {.recurrenceType = 2, .interval = 12, .dayOfMonth = 31}},
    {"MonthlyLastWeekendDay",
     {.recurrenceType = 3, .interval = 2, .dayOfWeekMask = 65, .instance = 4},
     kMonday,
     "Monthly",
     {{"RadioButtonMonthly", "checked"},
      {"RadioButtonMonthlyNth", "checked"},
      {"RadioButtonMonthlyDay", "unchecked"},
      {"ComboBoxMonthlyInstance", "[last]"},
      {"ComboBoxMonthlyWeekMask", "[Weekend day]"},
      {"SpinEditMonthlyMonth2", "2"}},
     "0010000",
     {.recurrenceType = 3, .interval = 2, .dayOfWeekMask = 65, .instance = 4}},
    {"MonthlyWednesdayEndsInBlank",
     {.recurrenceType = 3, .interval = 1, .dayOfWeekMask = 8, .instance = 0},
     kMonday,
     "Monthly",
     {{"ComboBoxMonthlyInstance", "[first]"}, {"ComboBoxMonthlyWeekMask", "[Wednesday ]"}},
     "0010000",
     {.recurrenceType = 3, .interval = 1, .dayOfWeekMask = 8, .instance = 0}},
    {"MonthlySetNotInListTakesStartWeekday",
     {.recurrenceType = 3, .interval = 1, .dayOfWeekMask = 3, .instance = 1},
     kThursday,
     "Monthly",
     {{"ComboBoxMonthlyInstance", "[second]"}, {"ComboBoxMonthlyWeekMask", "[Thursday ]"}},
     "0010000",
     {.recurrenceType = 3, .interval = 1, .dayOfWeekMask = 16, .instance = 1}},
    {"InstanceOutsideTheListSelectsNothing",
     {.recurrenceType = 3, .interval = 1, .dayOfWeekMask = 127, .instance = 7},
     kMonday,
     "Monthly",
     {{"ComboBoxMonthlyInstance", "[]"}, {"ComboBoxMonthlyWeekMask", "[Day]"}},
     "0010000",
     {.recurrenceType = 3, .interval = 1, .dayOfWeekMask = 127, .instance = -1}},
    {"YearlyAuguest14",
     {.recurrenceType = 5, .dayOfMonth = 14, .monthOfYear = 7},
     kMonday,
     "Yearly",
     {{"RadioButtonYearly", "checked"},
      {"RadioButtonYearlyEvery", "checked"},
      {"ComboBoxYearlyMonthNum1", "[Auguest]"},
      {"SpinEditYearlyDayNum", "14"}},
     "0010000",
     {.recurrenceType = 5, .dayOfMonth = 14, .monthOfYear = 7}},
    {"YearlyWithoutMonthOpensFebruary",
     {.recurrenceType = 5, .dayOfMonth = 29},
     kMonday,
     "Yearly",
     {{"ComboBoxYearlyMonthNum1", "[February]"}, {"SpinEditYearlyDayNum", "29"}},
     "0010000",
     {.recurrenceType = 5, .dayOfMonth = 29, .monthOfYear = 1}},
    {"YearlyThirdFridayOfDecember",
     {.recurrenceType = 6, .dayOfWeekMask = 32, .instance = 2, .monthOfYear = 11},
     kMonday,
     "Yearly",
     {{"RadioButtonYearlyNth", "checked"},
      {"RadioButtonYearlyEvery", "unchecked"},
      {"ComboBoxYearlyWeekNum", "[third]"},
      {"ComboBoxYearlyWeekMask", "[Friday ]"},
      {"ComboBoxYearlyMonthNum2", "[December]"},
      {"ComboBoxYearlyMonthNum1", "[December]"}},
     "0010000",
     {.recurrenceType = 6, .dayOfWeekMask = 32, .instance = 2, .monthOfYear = 11}},
    {"YearlySetNotInListTakesStartWeekday",
     {.recurrenceType = 6, .dayOfWeekMask = 0, .instance = 3, .monthOfYear = 0},
     kMonday,
     "Yearly",
     {{"ComboBoxYearlyWeekNum", "[fourth]"},
      {"ComboBoxYearlyWeekMask", "[Monday]"},
      {"ComboBoxYearlyMonthNum2", "[January]"}},
     "0010000",
     {.recurrenceType = 6, .dayOfWeekMask = 2, .instance = 3, .monthOfYear = 0}},
    {"OnceOnFifthOfMarch",
     {.recurrenceType = 7},
     kMonday,
     "Once",
     {{"RadioButtonOnce", "checked"}, {"RadioButtonDaily", "unchecked"}, {"DateTimePickerOnce", "2027-03-05"}},
     "0010000",
     {.recurrenceType = 7}},
    {"EndByDate",
     {.recurrenceType = 0, .interval = 1, .endType = 2},
     kMonday,
     "Daily",
     {{"RadioButtonEndDate", "checked"}, {"RadioButtonNoEndDate", "unchecked"}},
     "0010000",
     {.recurrenceType = 0, .interval = 1, .dayOfWeekMask = 4, .endType = 2}},
    {"EndType1KeepsTheEndChoice",
     {.recurrenceType = 0, .interval = 1, .endType = 1},
     kMonday,
     "Daily",
     {{"RadioButtonNoEndDate", "checked"}, {"RadioButtonEndDate", "unchecked"}},
     "0010000",
     {.recurrenceType = 0, .interval = 1, .dayOfWeekMask = 4, .endType = 0}},
    {"Kind4KeepsFreshState",
     {.recurrenceType = 4, .interval = 7, .dayOfWeekMask = 64, .dayOfMonth = 20, .instance = 2, .monthOfYear = 5},
     kMonday,
     "Daily",
     kFresh,
     "0010000",
     {.recurrenceType = 0, .interval = 1, .dayOfWeekMask = 4}},
    {"UnknownKindKeepsFreshState",
     {.recurrenceType = 9, .interval = 7, .dayOfWeekMask = 64, .dayOfMonth = 20, .instance = 2, .monthOfYear = 5},
     kThursday,
     "Daily",
     kFresh,
     "0010000",
     {.recurrenceType = 0, .interval = 1, .dayOfWeekMask = 4}},
};

class RecurrenceLoadSave : public ::testing::TestWithParam<LoadSaveCase> {};

TEST_P(RecurrenceLoadSave, ShowsTheStoredPatternAndSavesItBack) {
  const LoadSaveCase& c = GetParam();
  ManualClock clock(kNow);
  RecurrenceEditor editor(clock, FormatSettings{});
  editor.PrepareForToday(kNow);
  const EventRecord stored = StoredRecord(c);
  editor.Load(stored);

  auto* notebook = Find<QStackedWidget>(editor, "NotebookPattern");
  ASSERT_NE(notebook, nullptr);
  EXPECT_EQ(notebook->currentWidget()->objectName().toStdString(), c.page);
  for (const auto& [name, text] : c.shown) EXPECT_EQ(Shown(editor, name), text) << name;
  for (int day = 0; day < 7; ++day) {
    EXPECT_EQ(Shown(editor, kWeeklyDayBoxes[day]), c.weeklyDays[day] == '1' ? "checked" : "unchecked")
        << kWeeklyDayBoxes[day];
  }
  EXPECT_EQ(Shown(editor, "DateTimePickerPatternStartDate"), IsoDate(c.startDate));
  EXPECT_EQ(Shown(editor, "DateTimePickerPatternEndDate"), "2027-06-30");

  EventRecord saved;
  saved.recurrenceType = saved.interval = saved.dayOfWeekMask = kUntouched;
  saved.dayOfMonth = saved.instance = saved.monthOfYear = saved.endType = kUntouched;
  saved.onceDate = kUntouched;
  editor.Save(saved, kNow);
  EXPECT_EQ(saved.recurrenceType, c.saved.recurrenceType);
  EXPECT_EQ(saved.interval, c.saved.interval);
  EXPECT_EQ(saved.dayOfWeekMask, c.saved.dayOfWeekMask);
  EXPECT_EQ(saved.dayOfMonth, c.saved.dayOfMonth);
  EXPECT_EQ(saved.instance, c.saved.instance);
  EXPECT_EQ(saved.monthOfYear, c.saved.monthOfYear);
  EXPECT_EQ(saved.endType, c.saved.endType);
  EXPECT_EQ(saved.startDate, c.startDate);
  EXPECT_EQ(saved.endDate, MakeDateTime(2027, 6, 30));
  EXPECT_EQ(saved.onceDate, c.saved.recurrenceType == 7 ? MakeDateTime(2027, 3, 5) : kUntouched);
}

INSTANTIATE_TEST_SUITE_P(EveryKind, RecurrenceLoadSave, ::testing::ValuesIn(kLoadSaveCases),
                         [](const ::testing::TestParamInfo<LoadSaveCase>& info) { return info.param.name; });

}  // namespace
}  // namespace almanex

namespace almanex {
namespace {

// The editor as a user meets it: shown in an active window, so that clicks and keys carry the focus.
class RecurrenceSteering : public ::testing::Test {
 protected:
  void SetUp() override {
    editor_.show();
    editor_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editor_));
  }

  template <typename Widget>
  Widget* Control(const char* name) {
    return Find<Widget>(editor_, name);
  }
  std::string Page() { return Control<QStackedWidget>("NotebookPattern")->currentWidget()->objectName().toStdString(); }
  void ClickWithMouse(const char* radioName) {
    auto* radio = Control<QRadioButton>(radioName);
    QTest::mouseClick(radio, Qt::LeftButton, Qt::NoModifier, QPoint(4, radio->height() / 2));
  }

  ManualClock clock_{kNow};
  RecurrenceEditor editor_{clock_, FormatSettings{}};
};

struct SubOptionCase {
  const char* name;
  const char* frequency;  // the frequency radio the user clicks to reach the page
  const char* other;      // the sub-option checked before
  const char* control;    // the count box that takes the focus, or the list whose item changes
  const char* expected;   // the sub-option checked after
};

void PrintTo(const SubOptionCase& c, std::ostream* os) { *os << c.name; }

std::string CaseName(const ::testing::TestParamInfo<SubOptionCase>& info) { return info.param.name; }

class CountBoxFocus : public RecurrenceSteering, public ::testing::WithParamInterface<SubOptionCase> {};

TEST_P(CountBoxFocus, ChecksTheSubOptionOfTheBox) {
  const SubOptionCase& c = GetParam();
  ClickWithMouse(c.frequency);
  Control<QRadioButton>(c.other)->setChecked(true);
  Control<QSpinBox>(c.control)->setFocus(Qt::TabFocusReason);
  EXPECT_TRUE(Control<QRadioButton>(c.expected)->isChecked());
  EXPECT_FALSE(Control<QRadioButton>(c.other)->isChecked());
}

const SubOptionCase kCountBoxCases[] = {
    {"DailyDay", "RadioButtonDaily", "RadioButtonDailyEveryWeekday", "SpinEditDailyDay", "RadioButtonDailyEveryDays"},
    {"MonthlyDayNum1", "RadioButtonMonthly", "RadioButtonMonthlyNth", "SpinEditMonthlyDayNum1",
     "RadioButtonMonthlyDay"},
    {"MonthlyMonth1", "RadioButtonMonthly", "RadioButtonMonthlyNth", "SpinEditMonthlyMonth1", "RadioButtonMonthlyDay"},
    {"MonthlyMonth2", "RadioButtonMonthly", "RadioButtonMonthlyDay", "SpinEditMonthlyMonth2", "RadioButtonMonthlyNth"},
    {"YearlyDayNum", "RadioButtonYearly", "RadioButtonYearlyNth", "SpinEditYearlyDayNum", "RadioButtonYearlyEvery"},
};

INSTANTIATE_TEST_SUITE_P(EveryCountBox, CountBoxFocus, ::testing::ValuesIn(kCountBoxCases), CaseName);

class ListChange : public RecurrenceSteering, public ::testing::WithParamInterface<SubOptionCase> {};

TEST_P(ListChange, ChecksTheSubOptionOfTheList) {
  const SubOptionCase& c = GetParam();
  ClickWithMouse(c.frequency);
  Control<QRadioButton>(c.other)->setChecked(true);
  auto* list = Control<QComboBox>(c.control);
  const int before = list->currentIndex();
  list->setFocus(Qt::MouseFocusReason);
  // Focus alone changes nothing; picking another item does.
  EXPECT_TRUE(Control<QRadioButton>(c.other)->isChecked());
  QTest::keyClick(list, before + 1 < list->count() ? Qt::Key_Down : Qt::Key_Up);
  EXPECT_NE(list->currentIndex(), before);
  EXPECT_TRUE(Control<QRadioButton>(c.expected)->isChecked());
  EXPECT_FALSE(Control<QRadioButton>(c.other)->isChecked());
}

const SubOptionCase kListCases[] = {
    {"MonthlyInstance", "RadioButtonMonthly", "RadioButtonMonthlyDay", "ComboBoxMonthlyInstance",
     "RadioButtonMonthlyNth"},
    {"MonthlyWeekMask", "RadioButtonMonthly", "RadioButtonMonthlyDay", "ComboBoxMonthlyWeekMask",
     "RadioButtonMonthlyNth"},
    {"YearlyMonthNum1", "RadioButtonYearly", "RadioButtonYearlyNth", "ComboBoxYearlyMonthNum1",
     "RadioButtonYearlyEvery"},
    {"YearlyWeekNum", "RadioButtonYearly", "RadioButtonYearlyEvery", "ComboBoxYearlyWeekNum", "RadioButtonYearlyNth"},
    {"YearlyWeekMask", "RadioButtonYearly", "RadioButtonYearlyEvery", "ComboBoxYearlyWeekMask", "RadioButtonYearlyNth"},
    {"YearlyMonthNum2", "RadioButtonYearly", "RadioButtonYearlyEvery", "ComboBoxYearlyMonthNum2",
     "RadioButtonYearlyNth"},
};

INSTANTIATE_TEST_SUITE_P(EveryList, ListChange, ::testing::ValuesIn(kListCases), CaseName);

TEST_F(RecurrenceSteering, TabbingIntoTheSecondMonthCountSwitchesToTheNthDay) {
  ClickWithMouse("RadioButtonMonthly");
  ASSERT_TRUE(Control<QRadioButton>("RadioButtonMonthlyDay")->isChecked());
  Control<QComboBox>("ComboBoxMonthlyWeekMask")->setFocus(Qt::MouseFocusReason);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), Control<QSpinBox>("SpinEditMonthlyMonth2"));
  EXPECT_TRUE(Control<QRadioButton>("RadioButtonMonthlyNth")->isChecked());
  EXPECT_FALSE(Control<QRadioButton>("RadioButtonMonthlyDay")->isChecked());
}

TEST_F(RecurrenceSteering, AClickWithoutFocusOnlyChecksTheButton) {
  Control<QSpinBox>("SpinEditDailyDay")->setFocus(Qt::MouseFocusReason);
  Control<QRadioButton>("RadioButtonOnce")->click();
  EXPECT_TRUE(Control<QRadioButton>("RadioButtonOnce")->isChecked());
  EXPECT_EQ(Page(), "Daily");
  EXPECT_FALSE(editor_.RangeGroup()->isHidden());
}

TEST_F(RecurrenceSteering, OnceHidesTheRangeAndAnotherFrequencyShowsIt) {
  ClickWithMouse("RadioButtonOnce");
  EXPECT_EQ(Page(), "Once");
  EXPECT_TRUE(editor_.RangeGroup()->isHidden());
  EXPECT_FALSE(editor_.FrequencyGroup()->isHidden());

  ClickWithMouse("RadioButtonYearly");
  EXPECT_EQ(Page(), "Yearly");
  EXPECT_FALSE(editor_.RangeGroup()->isHidden());

  // The arrow keys walk the frequencies and click the one they reach.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
  EXPECT_TRUE(Control<QRadioButton>("RadioButtonMonthly")->isChecked());
  EXPECT_EQ(Page(), "Monthly");
}

TEST_F(RecurrenceSteering, ClickingDailySetsTheDayCountBackToOne) {
  auto* days = Control<QSpinBox>("SpinEditDailyDay");
  days->setFocus(Qt::MouseFocusReason);
  days->selectAll();
  QTest::keyClicks(days, "5");
  ASSERT_EQ(days->value(), 5);
  ClickWithMouse("RadioButtonWeekly");
  ClickWithMouse("RadioButtonDaily");
  EXPECT_EQ(Page(), "Daily");
  EXPECT_EQ(days->text().toStdString(), "1");

  QTest::keyClicks(days, "\b7");
  ASSERT_EQ(days->value(), 7);
  ClickWithMouse("RadioButtonDailyEveryWeekday");
  EXPECT_EQ(days->text().toStdString(), "1");
}

TEST_F(RecurrenceSteering, GroupsFollowTheReminderBoxWhateverTheFrequency) {
  EventRecord stored;
  stored.recurrenceType = 7;
  stored.onceDate = MakeDateTime(2027, 1, 1);
  editor_.Load(stored);
  editor_.SetGroupsVisible(false);
  EXPECT_TRUE(editor_.FrequencyGroup()->isHidden());
  EXPECT_TRUE(editor_.RangeGroup()->isHidden());
  editor_.SetGroupsVisible(true);
  EXPECT_FALSE(editor_.FrequencyGroup()->isHidden());
  EXPECT_FALSE(editor_.RangeGroup()->isHidden());  // until "&Once" is clicked
}

TEST_F(RecurrenceSteering, WhatTheUserPicksIsSaved) {
  // Weekly, every 3 weeks, with the day box of today taken off and Saturday added.
  ClickWithMouse("RadioButtonWeekly");
  auto* interval = Control<QSpinBox>("SpinEditWeeklyTaskInterval");
  interval->setFocus(Qt::TabFocusReason);
  interval->selectAll();
  QTest::keyClicks(interval, "3");
  QTest::mouseClick(Control<QCheckBox>("CheckBoxWeeklyTuesday"), Qt::LeftButton, Qt::NoModifier, QPoint(4, 8));
  EventRecord record;
  editor_.Save(record, kNow);
  EXPECT_EQ(record.recurrenceType, 1);
  EXPECT_EQ(record.interval, 3);
  EXPECT_EQ(record.dayOfWeekMask, 0);  // no day box checked: never due

  QTest::mouseClick(Control<QCheckBox>("CheckBoxWeeklySaturday"), Qt::LeftButton, Qt::NoModifier, QPoint(4, 8));
  ClickWithMouse("RadioButtonEndDate");
  editor_.Save(record, kNow);
  EXPECT_EQ(record.dayOfWeekMask, 64);
  EXPECT_EQ(record.endType, 2);
}

TEST(RecurrenceFresh, SavesDailyEveryDayFromTodayAndTodayButtonFollowsTheClock) {
  ManualClock clock(kNow);
  RecurrenceEditor editor(clock, FormatSettings{});
  editor.SetGroupsVisible(false);  // "Remind Me At " unchecked: the hidden pattern is saved all the same
  EventRecord record;
  editor.Save(record, MakeDateTime(2026, 12, 12));  // saved on a Saturday
  EXPECT_EQ(record.recurrenceType, 0);
  EXPECT_EQ(record.interval, 1);
  EXPECT_EQ(record.dayOfWeekMask, 64);
  EXPECT_EQ(record.startDate, MakeDateTime(2026, 12, 8));
  EXPECT_EQ(record.endDate, MakeDateTime(2026, 12, 8));
  EXPECT_EQ(record.endType, 0);

  clock.Set(MakeDateTime(2027, 2, 14, 23, 59));
  editor.ButtonGetTodayClick();
  EXPECT_EQ(Shown(editor, "DateTimePickerOnce"), "2027-02-14");
}

TEST(RecurrenceLists, ItemsAndBoundsAreThoseOfTheProduct) {
  ManualClock clock(kNow);
  RecurrenceEditor editor(clock, FormatSettings{});
  auto items = [&](const char* name) {
    QStringList texts;
    auto* list = Find<QComboBox>(editor, name);
    for (int i = 0; i < list->count(); ++i) texts << list->itemText(i);
    EXPECT_FALSE(list->isEditable()) << name;
    EXPECT_EQ(list->maxVisibleItems(), 12) << name;
    return texts.join(u'|').toStdString();
  };
  const std::string weekdaySets = "Day|Weekday|Weekend day|Sunday|Monday|Tuesday|Wednesday |Thursday |Friday |Saturday";
  const std::string months = "January|February|March|April|May|June|July|Auguest|September|October|November|December";
  EXPECT_EQ(items("ComboBoxMonthlyWeekMask"), weekdaySets);
  EXPECT_EQ(items("ComboBoxYearlyWeekMask"), weekdaySets);
  EXPECT_EQ(items("ComboBoxYearlyMonthNum1"), months);
  EXPECT_EQ(items("ComboBoxYearlyMonthNum2"), months);
  EXPECT_EQ(items("ComboBoxMonthlyInstance"), "first|second|third|fourth|last");
  EXPECT_EQ(items("ComboBoxYearlyWeekNum"), "first|second|third|fourth|last");

  const std::pair<const char*, std::pair<int, int>> bounds[] = {
      {"SpinEditDailyDay", {1, 366}},     {"SpinEditWeeklyTaskInterval", {1, 55}}, {"SpinEditMonthlyDayNum1", {1, 31}},
      {"SpinEditMonthlyMonth1", {1, 12}}, {"SpinEditMonthlyMonth2", {1, 12}},      {"SpinEditYearlyDayNum", {1, 31}}};
  for (const auto& [name, range] : bounds) {
    auto* box = Find<QSpinBox>(editor, name);
    EXPECT_EQ(std::make_pair(box->minimum(), box->maximum()), range) << name;
  }
  // Each group carries all of its controls, so the dialog may place the groups where it likes.
  EXPECT_NE(editor.FrequencyGroup()->findChild<QDateEdit*>(QStringLiteral("DateTimePickerOnce")), nullptr);
  EXPECT_NE(editor.RangeGroup()->findChild<QDateEdit*>(QStringLiteral("DateTimePickerPatternEndDate")), nullptr);
  const std::pair<const char*, const char*> hints[] = {
      {"DateTimePickerOnce", "When this reminder start to work."},
      {"ButtonGetToday", "Get the date value of Now"},
      {"DateTimePickerPatternStartDate", "When this reminder start to work."},
      {"RadioButtonNoEndDate", "After the reminder is created, it will work forever."},
      {"RadioButtonEndDate", "Specify the detailed date when the action stops working."},
      {"DateTimePickerPatternEndDate", "When this reminder stop working."}};
  for (const auto& [name, hint] : hints) EXPECT_EQ(Find<QWidget>(editor, name)->toolTip().toStdString(), hint) << name;
  for (const char* name : kWeeklyDayBoxes) {
    const bool weekend = std::string(name) == "CheckBoxWeeklySunday" || std::string(name) == "CheckBoxWeeklySaturday";
    EXPECT_EQ(Find<QCheckBox>(editor, name)->palette().color(QPalette::WindowText) == QColor(Qt::red), weekend) << name;
  }
  EXPECT_EQ(editor.FrequencyGroup()->title().toStdString(), " Frequency ");
  EXPECT_EQ(editor.RangeGroup()->title().toStdString(), " Range of the recurrence ");
}

}  // namespace
}  // namespace almanex

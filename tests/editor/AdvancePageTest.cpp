// The Advance page: the reminder wording loaded and saved, the page as a user walks it, and the demo
// sentence for the event on the Event page at the clock's moment.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <string>
#include <vector>

#include "datetime/Clock.h"
#include "datetime/DateTimeUnit.h"
#include "editor/AdvancePage.h"
#include "store/EventRecord.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

using test::MakeDateTime;

const char* const kUnitBoxes[7] = {"CheckBoxRemindOfYears",  "CheckBoxRemindOfMonths", "CheckBoxRemindOfWeeks",
                                   "CheckBoxRemindOfDays",   "CheckBoxRemindOfHours",  "CheckBoxRemindOfMinutes",
                                   "CheckBoxRemindOfSeconds"};

class AdvancePageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    page_.SetEventSource([this] { return event_; });
    event_.dtEventDateTime = MakeDateTime(2027, 1, 1, 0, 0);
    event_.strTitle = "Lena";
    event_.strTypeDesc = "Birthday";
    page_.show();
    page_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&page_));
  }

  template <typename Widget>
  Widget* Control(const char* name) {
    auto* widget = page_.findChild<Widget*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  void ClickDemo() { QTest::mouseClick(Control<QPushButton>("BitBtnDemo"), Qt::LeftButton); }
  std::string DemoText() { return Control<QTextEdit>("RichEditDemo")->toPlainText().toStdString(); }
  TReminderWay AllUnits() {
    TReminderWay way;
    way.RemindOfYears = way.RemindOfMonths = way.RemindOfWeeks = way.RemindOfDays = true;
    way.RemindOfHours = way.RemindOfMinutes = way.RemindOfSeconds = true;
    return way;
  }

  FormatSettings settings_ = test::ExampleFormatSettings();
  ManualClock clock_{MakeDateTime(2026, 12, 25, 12, 0)};
  TNextReminder event_;
  AdvancePage page_{clock_, settings_};
};

TEST_F(AdvancePageTest, DemoShowsTheReminderSentenceOfThisMoment) {
  ClickDemo();
  EXPECT_EQ(DemoText(),
            "Before Birthday(Friday, 1 January 2027 00:00:00), there just left 561,600 seconds, 9,360.00 minutes, "
            "156.00 hours, 6.50 days, 0.93 weeks, 0.21 months, 0.02 years. ");
  EXPECT_EQ(DemoText().find("Lena"), std::string::npos);  // the title is not part of the sentence

  // A second press replaces the first result with the span as of the second press.
  clock_.Set(MakeDateTime(2027, 1, 2, 0, 0));
  ClickDemo();
  EXPECT_EQ(DemoText(), BuildSpanSentence(event_, AllUnits(), clock_, settings_));
  EXPECT_EQ(DemoText().rfind("Since Birthday(", 0), 0u);
}

TEST_F(AdvancePageTest, DemoTakesTheUnitsAndSentencesAsTyped) {
  QTest::mouseClick(Control<QCheckBox>("CheckBoxRemindOfYears"), Qt::LeftButton, Qt::NoModifier, QPoint(4, 8));
  QTest::mouseClick(Control<QCheckBox>("CheckBoxRemindOfSeconds"), Qt::LeftButton, Qt::NoModifier, QPoint(4, 8));
  QTest::keyClicks(Control<QLineEdit>("EditFirstSentence"), "  Hello <b>there</b> ");
  QTest::keyClicks(Control<QLineEdit>("EditLastSentence"), " See you. ");
  ClickDemo();
  TReminderWay way = AllUnits();
  way.RemindOfYears = way.RemindOfSeconds = false;
  way.FirstSentence = "  Hello <b>there</b> ";
  way.LastSentence = " See you. ";
  EXPECT_EQ(DemoText(), BuildSpanSentence(event_, way, clock_, settings_));
  EXPECT_EQ(DemoText().rfind("Hello <b>there</b> Before Birthday(", 0), 0u);  // shown as text, not markup

  // With no unit at all the list is empty; the wording stays.
  for (const char* name : kUnitBoxes) Control<QCheckBox>(name)->setChecked(false);
  ClickDemo();
  EXPECT_EQ(DemoText(),
            "Hello <b>there</b> Before Birthday(Friday, 1 January 2027 00:00:00), there just left . See you.");
}

TEST_F(AdvancePageTest, DemoWithoutAnEventCountsFromTodayAtMidnight) {
  AdvancePage page(clock_, settings_);
  page.findChild<QPushButton*>(QStringLiteral("BitBtnDemo"))->click();
  TNextReminder today;
  today.dtEventDateTime = MakeDateTime(2026, 12, 25);
  EXPECT_EQ(page.findChild<QTextEdit*>(QStringLiteral("RichEditDemo"))->toPlainText().toStdString(),
            BuildSpanSentence(today, AllUnits(), clock_, settings_));
}

TEST_F(AdvancePageTest, FreshPageHasAllUnitsAndLoadSaveRoundTrips) {
  EventRecord fresh;
  fresh.remindOf.fill(false);
  fresh.firstSentence = "left";
  page_.Save(fresh);
  EXPECT_EQ(fresh.remindOf, (std::array<bool, 7>{true, true, true, true, true, true, true}));
  EXPECT_EQ(fresh.firstSentence, "");
  EXPECT_EQ(fresh.lastSentence, "");

  EventRecord stored;
  stored.remindOf = {false, true, false, true, true, false, true};
  stored.firstSentence = "Grüße,";
  stored.lastSentence = "Don't forget the cake!";
  page_.Load(stored);
  for (int unit = 0; unit < 7; ++unit) {
    EXPECT_EQ(Control<QCheckBox>(kUnitBoxes[unit])->isChecked(), stored.remindOf[static_cast<std::size_t>(unit)])
        << kUnitBoxes[unit];
  }
  EXPECT_EQ(Control<QLineEdit>("EditFirstSentence")->text(), QStringLiteral("Grüße,"));
  EventRecord saved;
  page_.Save(saved);
  EXPECT_EQ(saved.remindOf, stored.remindOf);
  EXPECT_EQ(saved.firstSentence, stored.firstSentence);
  EXPECT_EQ(saved.lastSentence, stored.lastSentence);
}

TEST_F(AdvancePageTest, TabWalksThePageInItsOrderAndEveryControlHasItsHint) {
  const std::vector<std::string> order = {"CheckBoxRemindOfYears",
                                          "CheckBoxRemindOfMonths",
                                          "CheckBoxRemindOfWeeks",
                                          "CheckBoxRemindOfDays",
                                          "CheckBoxRemindOfHours",
                                          "CheckBoxRemindOfMinutes",
                                          "CheckBoxRemindOfSeconds",
                                          "BitBtnDemo",
                                          "EditFirstSentence",
                                          "EditLastSentence",
                                          "RichEditDemo",
                                          "CheckBoxRemindOfYears"};
  Control<QCheckBox>("CheckBoxRemindOfYears")->setFocus(Qt::TabFocusReason);
  std::vector<std::string> walked{QApplication::focusWidget()->objectName().toStdString()};
  for (std::size_t step = 1; step < order.size(); ++step) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    walked.push_back(QApplication::focusWidget()->objectName().toStdString());
  }
  EXPECT_EQ(walked, order);

  EXPECT_EQ(Control<QPushButton>("BitBtnDemo")->toolTip().toStdString(), "Generate a demo string.");
  EXPECT_EQ(Control<QLineEdit>("EditFirstSentence")->toolTip().toStdString(),
            "Enter the first sentence before the reminder string.");
  EXPECT_EQ(Control<QLineEdit>("EditLastSentence")->toolTip().toStdString(),
            "Enter the last sentence after the reminder string.");
  const char* const captions[7] = {"Years", "Months", "Weeks", "Days", "Hours", "Minutes", "Seconds"};
  for (int unit = 0; unit < 7; ++unit) {
    EXPECT_EQ(Control<QCheckBox>(kUnitBoxes[unit])->text().toStdString(), captions[unit]);
  }
}

}  // namespace
}  // namespace almanex

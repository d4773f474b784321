// The event dialog driven as a user drives it: typing, picking, Tab, Enter, Escape and the buttons;
// then the configuration file's bytes and what the screen shows.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimeEdit>
#include <memory>
#include <optional>

#include "app/AlmanexApplication.h"
#include "editor/ColorBox.h"
#include "editor/EventForm.h"
#include "platform/CommRegistry.h"
#include "tests/common/Fakes.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

using test::MakeDateTime;
using test::SectionBytes;

class EventDialog : public ::testing::Test {
 protected:
  void SetUp() override { WriteRegistryString(kEventTypeSubKey, kEventTypeValue, ""); }

  /// A dialog on the section, shown and active, as the main window opens it.
  std::unique_ptr<TFrmEvent> Open(TFrmEvent::OpenMode mode, const std::string& section = "Event1", int page = 0) {
    auto dialog = std::make_unique<TFrmEvent>(TFrmEvent::Services{clock, settings, [this] { return path; }});
    dialog->strSection = section;
    dialog->openMode = mode;
    dialog->firstPage = page;
    dialog->show();
    EXPECT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    return dialog;
  }
  std::unique_ptr<TFrmEvent> OpenNew() { return Open(TFrmEvent::OpenMode::NewEvent); }
  std::unique_ptr<TFrmEvent> OpenExisting(const std::string& section = "Event1", int page = 0) {
    return Open(TFrmEvent::OpenMode::ExistingEvent, section, page);
  }

  template <typename Widget>
  static Widget* Find(const TFrmEvent& dialog, const char* name) {
    Widget* widget = dialog.findChild<Widget*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  static void SelectAllAndType(QWidget* widget, const char* text) {
    QTest::keyClick(widget, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(widget, QString::fromUtf8(text));
  }
  std::string File() const { return test::ReadFileBytes(path); }
  static QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
    return items;
  }

  test::TempDir dir;
  std::string path = dir.File("Config.INI");
  ManualClock clock{MakeDateTime(2026, 12, 8, 14, 5, 9)};
  FormatSettings settings;  // English (United States): m/d/yyyy, h:nn:ss ampm, dddd, mmmm d, yyyy
  test::RecordingMessageBoxes boxes;
};

const QStringList kBuiltInTypes{"Anniversary", "Birthday", "Holiday", "Important Date", "Vacation"};

TEST_F(EventDialog, NewEventShowsTheFreshStateAndSavesIt) {
  auto dialog = OpenNew();
  EXPECT_EQ(dialog->windowTitle(), "Event");
  auto* pages = Find<QTabWidget>(*dialog, "PageControlEvent");
  ASSERT_EQ(pages->count(), 3);
  EXPECT_EQ(pages->tabText(0), "Event");
  EXPECT_EQ(pages->tabText(1), "Advance");
  EXPECT_EQ(pages->tabText(2), "Details");
  EXPECT_EQ(pages->widget(0)->objectName(), "TabSheetEvent");
  EXPECT_EQ(pages->currentIndex(), 0);
  auto* ok = Find<QPushButton>(*dialog, "BitBtnOK");
  EXPECT_EQ(ok->text(), "&OK");
  EXPECT_TRUE(ok->isDefault());
  EXPECT_EQ(ok->toolTip(), "Save the settings, and exit.");
  EXPECT_EQ(Find<QPushButton>(*dialog, "BitBtnCancel")->toolTip(), "Abandon the settings, and exit.");

  auto* title = Find<QLineEdit>(*dialog, "EditTitle");
  EXPECT_EQ(QApplication::focusWidget(), title);
  EXPECT_EQ(Find<QDateEdit>(*dialog, "DateTimePickerDate")->date(), QDate(2026, 12, 8));
  EXPECT_EQ(Find<QDateEdit>(*dialog, "DateTimePickerDate")->text(), "Tue, December 8, 2026");
  EXPECT_EQ(Find<QTimeEdit>(*dialog, "DateTimePickerTime")->time(), QTime(14, 5, 9));
  EXPECT_EQ(Find<QTimeEdit>(*dialog, "DateTimePickerTime")->text(), "2:05:09 PM");
  auto* type = Find<QComboBox>(*dialog, "ComboBoxType");
  EXPECT_EQ(Items(type), kBuiltInTypes);
  EXPECT_EQ(type->currentText(), "Anniversary");
  EXPECT_EQ(type->toolTip(), "Select the event type. You can also enter your personal type.");
  EXPECT_EQ(Find<ColorBox>(*dialog, "ColorBoxColorForeGround")->currentText(), "Black");
  EXPECT_EQ(Find<ColorBox>(*dialog, "ColorBoxColorBackground")->currentText(), "Window");
  EXPECT_EQ(title->palette().color(QPalette::Text), QColor(Qt::black));
  auto* remindMe = Find<QCheckBox>(*dialog, "CheckBoxReminderMe");
  EXPECT_EQ(remindMe->text(), "Remind Me At ");
  EXPECT_FALSE(remindMe->isChecked());
  EXPECT_FALSE(Find<QGroupBox>(*dialog, "GroupBoxRecurrencePattern")->isVisible());
  EXPECT_FALSE(Find<QGroupBox>(*dialog, "GroupBoxRange")->isVisible());
  EXPECT_EQ(Find<QTimeEdit>(*dialog, "DateTimePickerRemindTime")->time(), QTime(11, 26, 27));
  EXPECT_TRUE(Find<QLabel>(*dialog, "LabelInfo")->text().startsWith("After check Remind Me, you can specify"));

  // Checking "Remind Me At " shows both groups; unchecking hides them again.
  QTest::mouseClick(remindMe, Qt::LeftButton);
  EXPECT_TRUE(Find<QGroupBox>(*dialog, "GroupBoxRecurrencePattern")->isVisible());
  EXPECT_TRUE(Find<QGroupBox>(*dialog, "GroupBoxRange")->isVisible());
  QTest::mouseClick(remindMe, Qt::LeftButton);
  EXPECT_FALSE(Find<QGroupBox>(*dialog, "GroupBoxRange")->isVisible());

  QTest::keyClicks(title, "Party");
  QTest::keyClick(title, Qt::Key_Return);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_FALSE(dialog->bCancelled);
  const std::string expected =
      "[Event1]\r\nTitle=Party\r\nDate=12/8/2026\r\nTime=2:05:09 PM\r\nDateChecked=1\r\nTimeChecked=1\r\nType=0\r\n"
      "TypeDesc=Anniversary\r\nForeGroundColor=0\r\nBackGroundColor=-16777211\r\nRemindMe=0\r\n"
      "RemindTime=11:26:27 AM\r\nReminded=0\r\nRPStartDate=12/8/2026\r\n";
  EXPECT_EQ(SectionBytes(File(), "[Event1]").substr(0, expected.size()), expected);
}

TEST_F(EventDialog, TabWalksTheEventPageInReadingOrder) {
  auto dialog = OpenNew();
  const char* order[] = {"EditTitle",
                         "CheckBoxDate",
                         "DateTimePickerDate",
                         "CheckBoxTime",
                         "DateTimePickerTime",
                         "ButtonGetNow",
                         "ComboBoxType",
                         "ColorBoxColorForeGround",
                         "ColorBoxColorBackground",
                         "CheckBoxReminderMe",
                         "DateTimePickerRemindTime",
                         "ButtonGetNowForReminder"};
  for (const char* name : order) {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    // A spin box or an editable combo box has its line edit focused; the control is its parent.
    const QWidget* control = focus->objectName().isEmpty() ? focus->parentWidget() : focus;
    EXPECT_EQ(control->objectName().toStdString(), name);
    QTest::keyClick(focus, Qt::Key_Tab);
  }
}

struct TypeCase {
  const char* name;
  const char* typed;
  const char* typeKey;  // the Type line written
  QStringList itemsAfter;
};

void PrintTo(const TypeCase& value, std::ostream* out) { *out << value.name; }

class EventDialogTypes : public EventDialog, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(EventDialogTypes, OkAddsOnlyANewTypeAndTheNextDialogOffersIt) {
  {
    auto dialog = OpenNew();
    auto* type = Find<QComboBox>(*dialog, "ComboBoxType");
    SelectAllAndType(type, GetParam().typed);
    QTest::mouseClick(Find<QPushButton>(*dialog, "BitBtnOK"), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
  }
  const std::string section = SectionBytes(File(), "[Event1]");
  EXPECT_NE(section.find(std::string("\r\n") + GetParam().typeKey + "\r\nTypeDesc=" + GetParam().typed + "\r\n"),
            std::string::npos)
      << section;
  auto next = OpenNew();
  EXPECT_EQ(Items(Find<QComboBox>(*next, "ComboBoxType")), GetParam().itemsAfter);
}

INSTANTIATE_TEST_SUITE_P(Table, EventDialogTypes,
                         ::testing::Values(TypeCase{"KnownTypeInOtherCase", "birthday", "Type=1", kBuiltInTypes},
                                           TypeCase{"NewType", "Graduation", "Type=5",
                                                    kBuiltInTypes + QStringList{"Graduation"}}),
                         [](const auto& info) { return info.param.name; });

constexpr const char* kStoredEvent =
    "[Event1]\r\nTitle=Wedding anniversary\r\nDate=6/14/2003\r\nTime=4:00:00 PM\r\nDateChecked=1\r\n"
    "TimeChecked=1\r\nType=0\r\nTypeDesc=Anniversary\r\nForeGroundColor=0\r\nBackGroundColor=-16777211\r\n"
    "RemindMe=1\r\nRemindTime=9:00:00 AM\r\nReminded=1\r\nRPStartDate=12/8/2026\r\nRPEndDate=12/8/2026\r\n"
    "RPEndType=0\r\nRPRecurrenceType=5\r\nRPMonthOfYear=5\r\nRPDayOfMonth=14\r\nRemindOfYears=1\r\n"
    "RemindOfMonths=1\r\nRemindOfWeeks=1\r\nRemindOfDays=1\r\nRemindOfHours=1\r\nRemindOfMinutes=1\r\n"
    "RemindOfSeconds=1\r\nLastSentence=\r\nFirstSentence=\r\n"
    "[Event2]\r\nTitle=Other\r\n";

struct LeaveCase {
  const char* name;
  const char* focus;  // the control that has the keyboard
  bool escape;        // Escape, else a click on Cancel
};

void PrintTo(const LeaveCase& value, std::ostream* out) { *out << value.name; }

class EventDialogLeave : public EventDialog, public ::testing::WithParamInterface<LeaveCase> {};

TEST_P(EventDialogLeave, CancelAndEscapeWriteNothing) {
  test::WriteFileBytes(path, kStoredEvent);
  auto dialog = OpenExisting();
  QTest::keyClicks(Find<QLineEdit>(*dialog, "EditTitle"), " changed");
  auto* focus = Find<QWidget>(*dialog, GetParam().focus);
  focus->setFocus();
  if (GetParam().escape) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  } else {
    QTest::mouseClick(Find<QPushButton>(*dialog, "BitBtnCancel"), Qt::LeftButton);
  }
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_TRUE(dialog->bCancelled);
  EXPECT_EQ(File(), kStoredEvent);
}

INSTANTIATE_TEST_SUITE_P(Table, EventDialogLeave,
                         ::testing::Values(LeaveCase{"EscapeInTheTitle", "EditTitle", true},
                                           LeaveCase{"EscapeInTheTypeBox", "ComboBoxType", true},
                                           LeaveCase{"EscapeInTheDatePicker", "DateTimePickerDate", true},
                                           LeaveCase{"CancelButton", "EditTitle", false}),
                         [](const auto& info) { return info.param.name; });

class EventDialogEnter : public EventDialog, public ::testing::WithParamInterface<const char*> {};

// Enter presses OK wherever the keyboard is; an unchanged event is written back with Reminded=0, in place.
TEST_P(EventDialogEnter, SavesTheEventWithRemindedZero) {
  test::WriteFileBytes(path, kStoredEvent);
  auto dialog = OpenExisting();
  Find<QWidget>(*dialog, GetParam())->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_FALSE(dialog->bCancelled);
  std::string expected = kStoredEvent;
  expected.replace(expected.find("Reminded=1"), 10, "Reminded=0");
  EXPECT_EQ(SectionBytes(File(), "[Event1]"), SectionBytes(expected, "[Event1]"));
  EXPECT_EQ(SectionBytes(File(), "[Event2]"), "[Event2]\r\nTitle=Other\r\n");
}

INSTANTIATE_TEST_SUITE_P(Table, EventDialogEnter,
                         ::testing::Values("EditTitle", "DateTimePickerDate", "ComboBoxType", "ButtonGetNow",
                                           "ColorBoxColorForeGround", "CheckBoxReminderMe"));

// An access key presses its button as a click would: the button goes down at once and the click
// follows when the button's press animation ends.
TEST_F(EventDialog, AltKeysPressOkAndCancel) {
  test::WriteFileBytes(path, kStoredEvent);
  {
    auto dialog = OpenExisting();
    QTest::keyClick(dialog->windowHandle(), Qt::Key_C, Qt::AltModifier);
    EXPECT_TRUE(Find<QPushButton>(*dialog, "BitBtnCancel")->isDown());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog->isVisible(); }, 5000));
    EXPECT_TRUE(dialog->bCancelled);
    EXPECT_EQ(File(), kStoredEvent);
  }
  // "N&o end date" shares the O while the recurrence groups show; Qt then moves the focus between the
  // two instead of pressing either, so OK is pressed here with the groups hidden.
  std::string withoutReminder = kStoredEvent;
  withoutReminder.replace(withoutReminder.find("RemindMe=1"), 10, "RemindMe=0");
  test::WriteFileBytes(path, withoutReminder);
  auto dialog = OpenExisting();
  QTest::keyClick(dialog->windowHandle(), Qt::Key_O, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog->isVisible(); }, 5000));
  EXPECT_FALSE(dialog->bCancelled);
  EXPECT_NE(File().find("\r\nReminded=0\r\n"), std::string::npos);
}

TEST_F(EventDialog, SharedAccessKeyMovesTheFocusWithoutPressing) {
  test::WriteFileBytes(path, kStoredEvent);
  auto dialog = OpenExisting();
  QTest::keyClick(dialog->windowHandle(), Qt::Key_O, Qt::AltModifier);
  QApplication::processEvents();
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_TRUE(dialog->bCancelled);
  EXPECT_EQ(File(), kStoredEvent);
}

// "Date && Time" shows one ampersand and takes no access key: a single "&" before the blank would show
// as "Date _Time" and bind Alt+Space.
TEST_F(EventDialog, DateLabelShowsOneAmpersandAndNoAccessKey) {
  auto dialog = OpenNew();
  auto* label = Find<QLabel>(*dialog, "LabelDate");
  EXPECT_EQ(label->text(), "Date && Time");
  EXPECT_TRUE(QKeySequence::mnemonic(label->text()).isEmpty());
}

TEST_F(EventDialog, StoredTypeOutsideTheListIsShownAndAddedOnOk) {
  test::WriteFileBytes(path, "[Event1]\r\nTitle=Done\r\nTypeDesc=Graduation\r\n");
  auto dialog = OpenExisting();
  auto* type = Find<QComboBox>(*dialog, "ComboBoxType");
  EXPECT_EQ(type->currentText(), "Graduation");
  EXPECT_EQ(Items(type), kBuiltInTypes);
  QTest::keyClick(Find<QLineEdit>(*dialog, "EditTitle"), Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(Items(type), kBuiltInTypes + QStringList{"Graduation"});
  EXPECT_EQ(ReadRegistryString(kEventTypeSubKey, kEventTypeValue),
            "Anniversary\r\nBirthday\r\nHoliday\r\nImportant Date\r\nVacation\r\nGraduation\r\n");
}

struct FormatCase {
  const char* name;
  const char* longDate;
  const char* pickerFormat;
  const char* shown;  // 8 December 2026
};

void PrintTo(const FormatCase& value, std::ostream* out) { *out << value.name; }

class EventDialogDateFormat : public EventDialog, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(EventDialogDateFormat, PickersShowTheLongDateWithAShortDayName) {
  settings.longDateFormat = GetParam().longDate;
  auto dialog = OpenNew();
  auto* picker = Find<QDateEdit>(*dialog, "DateTimePickerDate");
  EXPECT_EQ(picker->displayFormat(), GetParam().pickerFormat);
  EXPECT_EQ(picker->text(), GetParam().shown);
  EXPECT_TRUE(picker->calendarPopup());
}

INSTANTIATE_TEST_SUITE_P(
    Table, EventDialogDateFormat,
    ::testing::Values(FormatCase{"FullDayNameShortened", "dddd, MMMM dd, yyyy", "ddd, MMMM dd, yyyy",
                                 "Tue, December 08, 2026"},
                      FormatCase{"NoDayNameGetsOne", "dd.MM.yyyy", "dd.MM.yyyy ddd", "08.12.2026 Tue"},
                      FormatCase{"ShortDayNameKept", "d. MMM yyyy (ddd)", "d. MMM yyyy (ddd)", "8. Dec 2026 (Tue)"},
                      FormatCase{"LettersAndSeparatorsQuoted", "d 'de' mmmm/yyyy", "d 'de' MMMM'/'yyyy ddd",
                                 "8 de December/2026 Tue"}),
    [](const auto& info) { return info.param.name; });

TEST_F(EventDialog, MissingConfigFolderShowsTheCreationMessageAndWritesNothing) {
  path = dir.File("Config/Config.INI");
  auto dialog = OpenNew();
  QTest::keyClick(Find<QLineEdit>(*dialog, "EditTitle"), Qt::Key_Return);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].caption, "Information");
  EXPECT_EQ(boxes.boxes[0].text,
            "Fail to create file " + path + ".\rPlease make sure the disk is not full or corrupted.");
  EXPECT_FALSE(test::FileExists(dir.File("Config")));
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_FALSE(dialog->bCancelled);
}

TEST_F(EventDialog, ReadOnlyFileReachesTheFailureHandlerAndTheDialogStaysOpen) {
  test::RecordingFailureDialogs failures;
  test::WriteFileBytes(path, kStoredEvent);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  auto dialog = OpenExisting();
  // As the application's event delivery does: what escapes a handler goes to the failure dialog.
  DeliverGuarded([&] {
    QTest::mouseClick(Find<QPushButton>(*dialog, "BitBtnOK"), Qt::LeftButton);
    return true;
  });
  EXPECT_EQ(failures.messages, std::vector<std::string>{"Unable to write to " + path});
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_FALSE(dialog->bCancelled);
  EXPECT_EQ(File(), kStoredEvent);
  ::chmod(path.c_str(), 0644);
}

TEST_F(EventDialog, ColoursRoundTripAndAPickedColourShowsOnTheTitle) {
  // A system colour set by hand (button face) and a fixed colour written in hexadecimal.
  test::WriteFileBytes(path, "[Event1]\r\nTitle=Colours\r\nForeGroundColor=$00123456\r\nBackGroundColor=-16777201\r\n");
  auto dialog = OpenExisting();
  auto* title = Find<QLineEdit>(*dialog, "EditTitle");
  EXPECT_EQ(title->palette().color(QPalette::Text), QColor(0x56, 0x34, 0x12));
  EXPECT_EQ(Find<ColorBox>(*dialog, "ColorBoxColorBackground")->currentText(), "Button Face");
  QTest::keyClick(title, Qt::Key_Return);
  const std::string section = SectionBytes(File(), "[Event1]");
  EXPECT_NE(section.find("ForeGroundColor=1193046\r\nBackGroundColor=-16777201\r\n"), std::string::npos) << section;

  // A system colour no item names survives too; picking Red by keyboard colours the title at once.
  test::WriteFileBytes(path, "[Event1]\r\nBackGroundColor=-16777136\r\n");
  auto second = OpenExisting();
  auto* fore = Find<ColorBox>(*second, "ColorBoxColorForeGround");
  fore->setFocus();
  QTest::keyClicks(fore, "Red");
  EXPECT_EQ(Find<QLineEdit>(*second, "EditTitle")->palette().color(QPalette::Text), QColor(255, 0, 0));
  QTest::keyClick(fore, Qt::Key_Return);
  EXPECT_NE(File().find("\r\nBackGroundColor=-16777136\r\n"), std::string::npos) << File();
  EXPECT_NE(File().find("\r\nForeGroundColor=255\r\n"), std::string::npos) << File();
}

TEST_F(EventDialog, CustomColourComesFromTheColourDialog) {
  test::WriteFileBytes(path, kStoredEvent);
  auto dialog = OpenExisting();
  auto* back = Find<ColorBox>(*dialog, "ColorBoxColorBackground");
  back->customColorPicker = [](QColor) { return std::optional<QColor>(QColor(1, 2, 3)); };
  back->setFocus();
  QTest::keyClicks(back, "Cu");  // "Custom..."
  EXPECT_EQ(Find<QLineEdit>(*dialog, "EditTitle")->palette().color(QPalette::Base), QColor(1, 2, 3));
  QTest::keyClick(back, Qt::Key_Return);
  EXPECT_NE(File().find("\r\nBackGroundColor=197121\r\n"), std::string::npos);  // 0x030201
}

TEST_F(EventDialog, StoredTypeListReplacesTheBuiltInItemsAndIsWrittenBackOnCancel) {
  WriteRegistryString(kEventTypeSubKey, kEventTypeValue, "Exam\r\nMeeting\r\n");
  {
    auto dialog = OpenNew();
    auto* type = Find<QComboBox>(*dialog, "ComboBoxType");
    EXPECT_EQ(Items(type), (QStringList{"Exam", "Meeting"}));
    EXPECT_EQ(type->currentText(), "Exam");
    WriteRegistryString(kEventTypeSubKey, kEventTypeValue, "");
    QTest::keyClick(type, Qt::Key_Escape);
  }
  EXPECT_EQ(ReadRegistryString(kEventTypeSubKey, kEventTypeValue), "Exam\r\nMeeting\r\n");
  EXPECT_FALSE(test::FileExists(path));
}

TEST_F(EventDialog, NowButtonsTakeTheClocksMoment) {
  test::WriteFileBytes(path, kStoredEvent);
  auto dialog = OpenExisting();
  clock.Set(MakeDateTime(2027, 1, 2, 3, 4, 5));
  QTest::mouseClick(Find<QPushButton>(*dialog, "ButtonGetNow"), Qt::LeftButton);
  EXPECT_EQ(Find<QDateEdit>(*dialog, "DateTimePickerDate")->date(), QDate(2027, 1, 2));
  EXPECT_EQ(Find<QTimeEdit>(*dialog, "DateTimePickerTime")->time(), QTime(3, 4, 5));
  EXPECT_EQ(Find<QTimeEdit>(*dialog, "DateTimePickerRemindTime")->time(), QTime(9, 0, 0));
  QTest::mouseClick(Find<QPushButton>(*dialog, "ButtonGetNowForReminder"), Qt::LeftButton);
  EXPECT_EQ(Find<QTimeEdit>(*dialog, "DateTimePickerRemindTime")->time(), QTime(3, 4, 5));
  EXPECT_EQ(Find<QDateEdit>(*dialog, "DateTimePickerDate")->date(), QDate(2027, 1, 2));
}

TEST_F(EventDialog, UncheckedDateAndTimeAreSavedAsZeroAndKeepTheirValues) {
  test::WriteFileBytes(path, kStoredEvent);
  auto dialog = OpenExisting();
  QTest::mouseClick(Find<QCheckBox>(*dialog, "CheckBoxDate"), Qt::LeftButton);
  QTest::mouseClick(Find<QCheckBox>(*dialog, "CheckBoxTime"), Qt::LeftButton);
  EXPECT_FALSE(Find<QDateEdit>(*dialog, "DateTimePickerDate")->isEnabled());
  QTest::mouseClick(Find<QPushButton>(*dialog, "BitBtnOK"), Qt::LeftButton);
  EXPECT_NE(File().find("Date=6/14/2003\r\nTime=4:00:00 PM\r\nDateChecked=0\r\nTimeChecked=0\r\n"), std::string::npos);
}

// The interval report of the worked example: long date "dddd, d mmmm yyyy", long time "hh:nn:ss".
TEST_F(EventDialog, DetailsPageShowsTheIntervalReportInItsColours) {
  settings = test::ExampleFormatSettings();
  settings.shortDateFormat = "dd/mm/yyyy";
  clock.Set(MakeDateTime(2025, 6, 1, 18, 30));
  test::WriteFileBytes(path, "[Event1]\r\nDate=10/02/2024\r\nTime=06:00:00\r\n");
  auto dialog = OpenExisting("Event1", TFrmEvent::PageDetails);
  EXPECT_EQ(Find<QTabWidget>(*dialog, "PageControlEvent")->currentIndex(), 2);
  auto* editor = Find<QTextEdit>(*dialog, "Editor");
  EXPECT_TRUE(editor->isReadOnly());
  EXPECT_EQ(editor->toPlainText().toStdString(), test::kWorkedIntervalReport);
  const auto formatOfLine = [&](const QString& start) {
    for (QTextBlock block = editor->document()->begin(); block.isValid(); block = block.next()) {
      if (block.text().startsWith(start)) return block.begin().fragment().charFormat();
    }
    ADD_FAILURE() << start.toStdString();
    return QTextCharFormat();
  };
  EXPECT_EQ(formatOfLine("Seconds:").foreground().color(), QColor(79, 0, 39));
  EXPECT_EQ(formatOfLine("Sunday:").foreground().color(), QColor(0, 0, 255));
  EXPECT_FALSE(formatOfLine("Sunday:").fontUnderline());
  EXPECT_TRUE(formatOfLine("Weekday:").fontUnderline());
  EXPECT_EQ(formatOfLine("Jan:").foreground().color(), QColor(128, 0, 128));
  EXPECT_FALSE(formatOfLine("Day 28th:").fontUnderline());
  EXPECT_EQ(editor->textCursor().position(), editor->document()->characterCount() - 1);

  // A date changed on the first page shows in the report when the Details page is chosen again.
  auto* pages = Find<QTabWidget>(*dialog, "PageControlEvent");
  pages->setCurrentIndex(0);
  Find<QCheckBox>(*dialog, "CheckBoxDate")->setChecked(false);
  pages->setCurrentIndex(2);
  EXPECT_TRUE(
      editor->toPlainText().startsWith("Formula: Delta = End Time - Start Time\n"
                                       "Start Time: [Sunday, 1 June 2025 06:00:00] \n"));
}

}  // namespace
}  // namespace almanex

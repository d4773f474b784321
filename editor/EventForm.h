#pragma once
// The event dialog: creates a new event or edits an existing one, section by section of the
// configuration file, and shows the interval between the event and now on its Details page.
//
// The opener sets strSection, OpenMode and FirstPage, calls ShowModal() and reads bCancelled, which is
// true from the moment the dialog is shown until OK is pressed. Nothing reaches the file before OK;
// Cancel and Escape write nothing. The type list is written to the settings store when the dialog is
// destroyed, whatever the outcome.

#include <QDialog>
#include <functional>
#include <string>

#include "datetime/Clock.h"
#include "datetime/FormatSettings.h"
#include "store/EventRecord.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTextEdit;
class QTimeEdit;

namespace almanex {

class AdvancePage;
class ColorBox;
class RecurrenceEditor;

/// The built-in event types, used while the settings store holds none.
inline constexpr const char* kBuiltInEventTypes[] = {"Anniversary", "Birthday", "Holiday", "Important Date",
                                                     "Vacation"};
/// Where the type list is kept: product key + the dialog's caption + "\Event", value "Type".
inline constexpr const char* kEventTypeSubKey = "Event\\Event";
inline constexpr const char* kEventTypeValue = "Type";

class TFrmEvent : public QDialog {
  Q_OBJECT

 public:
  enum class OpenMode { NewEvent, ExistingEvent };
  enum Page { PageEvent = 0, PageAdvance = 1, PageDetails = 2 };

  /// What the dialog works with.
  struct Services {
    /// Now for the defaults, the "Now" buttons and the report.
    const Clock& clock;
    /// The user's regional formats.
    FormatSettings settings;
    /// The configuration file's path, asked at loading and at saving.
    std::function<std::string()> configPath;
  };

  explicit TFrmEvent(Services services, QWidget* parent = nullptr);
  /// FormDestroy: writes the type list.
  ~TFrmEvent() override;

  // Inputs, set before showing.
  std::string strSection;
  OpenMode openMode = OpenMode::NewEvent;
  int firstPage = PageEvent;

  /// Output: false once OK was pressed.
  bool bCancelled = true;

  /// Shows the dialog modally; returns when it has closed.
  void ShowModal();

  /// The event's moment as the controls show it: the date when its box is checked, else today; plus
  /// the time when its box is checked, else midnight.
  DateTime GetEventDateTime() const;
  /// Writes the interval report between now and GetEventDateTime() into `Editor`.
  void ShowIntervalReport();

 protected:
  void showEvent(QShowEvent* event) override;
  /// Keyboard preview: Enter presses OK and Escape cancels from any control of this window; an open
  /// drop-down list or calendar is a window of its own and keeps its keys.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate();
  void FormShow();
  void FormDestroy();
  void BuildEventPage(QWidget* page);
  void BitBtnOKClick();
  void BitBtnCancelClick();
  void ButtonGetNowClick();
  void ButtonGetNowForReminderClick();
  void ColorBoxColorForeGroundSelect();
  void ColorBoxColorBackgroundSelect();
  void CheckBoxReminderMeClick();
  void PageControlEventChange(int index);
  void LoadEvent();
  void ApplyTitleColors();
  EventRecord RecordFromControls() const;
  QString TypeListText() const;

  Services services_;
  bool shown_ = false;
  /// The record as loaded (or the defaults of a new event): what the controls do not hold is saved as it was.
  EventRecord record_;

  QTabWidget* PageControlEvent = nullptr;
  QPushButton* BitBtnOK = nullptr;
  QPushButton* BitBtnCancel = nullptr;
  QLineEdit* EditTitle = nullptr;
  QCheckBox* dateChecked_ = nullptr;
  QDateEdit* DateTimePickerDate = nullptr;
  QCheckBox* timeChecked_ = nullptr;
  QTimeEdit* DateTimePickerTime = nullptr;
  QPushButton* ButtonGetNow = nullptr;
  QComboBox* ComboBoxType = nullptr;
  ColorBox* ColorBoxColorForeGround = nullptr;
  ColorBox* ColorBoxColorBackground = nullptr;
  QCheckBox* CheckBoxReminderMe = nullptr;
  QTimeEdit* DateTimePickerRemindTime = nullptr;
  QPushButton* ButtonGetNowForReminder = nullptr;
  QLabel* LabelInfo = nullptr;
  RecurrenceEditor* recurrence_ = nullptr;
  AdvancePage* advance_ = nullptr;
  QTextEdit* Editor = nullptr;
};

}  // namespace almanex

#pragma once
// The Frequency and Range groups of the event dialog's Event page: they show an event's recurrence
// pattern, turn the controls back into the pattern fields of the event record, and steer each other
// while the user works.
//
// Each group is self-contained (every control is its child and named by objectName), so the dialog may
// place this widget as a whole or move the two groups into its own layout.

#include <QWidget>
#include <array>

#include "datetime/Clock.h"
#include "datetime/DateTime.h"
#include "datetime/FormatSettings.h"
#include "store/EventRecord.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;

namespace almanex {

/// The weekday sets of the two weekday-set lists, by list position: every day, Monday to Friday,
/// Saturday and Sunday, then Sunday alone up to Saturday alone.
inline constexpr std::array<int, 10> kWeekdaySetOfPosition{127, 62, 65, 1, 2, 4, 8, 16, 32, 64};

/// The list position that shows `weekdaySet`; a set the list does not offer shows the single weekday of
/// `startDate` (position 3 for a Sunday up to 9 for a Saturday).
int WeekdaySetToPosition(int weekdaySet, DateTime startDate);
/// The weekday set of a list position; 0 for a position outside the list.
int PositionToWeekdaySet(int position);

class RecurrenceEditor : public QWidget {
  Q_OBJECT

 public:
  /// Builds both groups in their fresh state: "&Daily" every 1 day, "N&o end date", the start, end and
  /// once-only dates at the clock's now, and the controls that depend on today prepared for it.
  explicit RecurrenceEditor(const Clock& clock, const FormatSettings& settings, QWidget* parent = nullptr);

  /// The weekly day boxes to today's weekday alone, the monthly and yearly day numbers to today's day of
  /// the month, the yearly month to the current month.
  void PrepareForToday(DateTime now);
  /// Shows a stored pattern. Start, end and end choice always; then the controls of the stored kind only
  /// (kind 4 and unknown kinds leave them as they are). Counts are clamped to their boxes' bounds.
  void Load(const EventRecord& record);
  /// Writes startDate, endDate, endType, recurrenceType and the fields of the chosen kind; the fields of
  /// other kinds are left as they are. `now` is the day of saving, whose weekday a daily pattern stores.
  void Save(EventRecord& record, DateTime now) const;
  /// Shows or hides both groups, whatever the frequency ("Remind Me At " follows this).
  void SetGroupsVisible(bool visible);

  /// `GroupBoxRecurrencePattern`, " Frequency ".
  QGroupBox* FrequencyGroup() { return frequencyGroup_; }
  /// `GroupBoxRange`, " Range of the recurrence ".
  QGroupBox* RangeGroup() { return rangeGroup_; }

  /// The "Today" button of the once-only page: the once-only date to the clock's today.
  void ButtonGetTodayClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum Page { kPageDaily, kPageWeekly, kPageMonthly, kPageYearly, kPageOnce };

  void BuildFrequencyGroup();
  void BuildRangeGroup();
  QDateEdit* NewDatePicker(QWidget* parent, const char* name, const char* hint);
  QSpinBox* NewCountBox(QWidget* parent, const char* name, int minimum, int maximum);
  QComboBox* NewList(QWidget* parent, const char* name, const QStringList& items);
  void SetPage(Page page);
  void WireClickRule(QAbstractButton* radio);
  /// True when the button was clicked by the user: it has the focus, or the arrow keys are moving
  /// the focus onto it from another button of its group.
  static bool ClickedByUser(const QAbstractButton* button);
  /// Reacts to a click only when the button has the keyboard focus, so that checks made by loading
  /// or by the other rules do not steer.
  void RadioButtonClick(QAbstractButton* button);
  void CountBoxEnter(QSpinBox* box);
  void ListChange(QComboBox* list);

  const Clock& clock_;
  FormatSettings settings_;

  QGroupBox* frequencyGroup_ = nullptr;
  QGroupBox* rangeGroup_ = nullptr;
  QStackedWidget* notebook_ = nullptr;

  QRadioButton* once_ = nullptr;
  QRadioButton* daily_ = nullptr;
  QRadioButton* weekly_ = nullptr;
  QRadioButton* monthly_ = nullptr;
  QRadioButton* yearly_ = nullptr;

  QRadioButton* dailyEveryDays_ = nullptr;
  QRadioButton* dailyEveryWeekday_ = nullptr;
  QSpinBox* dailyDay_ = nullptr;

  QRadioButton* weeklyTask_ = nullptr;
  QSpinBox* weeklyInterval_ = nullptr;
  std::array<QCheckBox*, 7> weeklyDays_{};  // Sunday first

  QRadioButton* monthlyDay_ = nullptr;
  QSpinBox* monthlyDayNum1_ = nullptr;
  QSpinBox* monthlyMonth1_ = nullptr;
  QRadioButton* monthlyNth_ = nullptr;
  QComboBox* monthlyInstance_ = nullptr;
  QComboBox* monthlyWeekMask_ = nullptr;
  QSpinBox* monthlyMonth2_ = nullptr;

  QRadioButton* yearlyEvery_ = nullptr;
  QComboBox* yearlyMonthNum1_ = nullptr;
  QSpinBox* yearlyDayNum_ = nullptr;
  QRadioButton* yearlyNth_ = nullptr;
  QComboBox* yearlyWeekNum_ = nullptr;
  QComboBox* yearlyWeekMask_ = nullptr;
  QComboBox* yearlyMonthNum2_ = nullptr;

  QDateEdit* onceDate_ = nullptr;
  QPushButton* getToday_ = nullptr;

  QDateEdit* startDate_ = nullptr;
  QRadioButton* noEndDate_ = nullptr;
  QRadioButton* endDate_ = nullptr;
  QDateEdit* endDatePicker_ = nullptr;
};

}  // namespace almanex

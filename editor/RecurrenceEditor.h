#pragma once
// The Frequency and Range groups of the event dialog's Event page: they show an event's recurrence
// pattern and turn the controls back into the pattern keys.
//
// Stub: the two groups are empty and the pattern passes through unchanged, until the recurrence
// controls land.

#include <QWidget>

#include "datetime/Clock.h"
#include "datetime/FormatSettings.h"
#include "store/EventRecord.h"

class QGroupBox;

namespace almanex {

class RecurrenceEditor : public QWidget {
  Q_OBJECT

 public:
  /// Builds the groups `GroupBoxRecurrencePattern` and `GroupBoxRange`, laid out inside this widget.
  RecurrenceEditor(const Clock& clock, const FormatSettings& settings, QWidget* parent);

  /// Sets the controls that depend on today (weekday, day of the month, month).
  void PrepareForToday(DateTime now);
  /// Shows a stored pattern.
  void Load(const EventRecord& record);
  /// Writes the pattern fields of the record from the controls; every other field is left alone.
  void Save(EventRecord& record, DateTime now) const;
  /// Shows or hides both groups.
  void SetGroupsVisible(bool visible);

  QGroupBox* FrequencyGroup() { return frequency_; }
  QGroupBox* RangeGroup() { return range_; }

 private:
  QGroupBox* frequency_ = nullptr;
  QGroupBox* range_ = nullptr;
};

}  // namespace almanex

#pragma once
// The event dialog's "Advance" page: which units the reminder sentence names, the user's first and last
// sentence around it, and a demo of the sentence as a reminder fired now would show it.

#include <QWidget>
#include <array>
#include <functional>

#include "datetime/Clock.h"
#include "datetime/DateTimeUnit.h"
#include "datetime/FormatSettings.h"
#include "store/EventRecord.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTextEdit;

namespace almanex {

class AdvancePage : public QWidget {
  Q_OBJECT

 public:
  /// The page of a new event: all seven units on, both sentences empty.
  AdvancePage(const Clock& clock, const FormatSettings& settings, QWidget* parent = nullptr);

  /// The seven RemindOf flags and the two sentences.
  void Load(const EventRecord& record);
  void Save(EventRecord& record) const;

  /// Where the demo takes the event from: the dialog answers with the event's date-time (its
  /// GetEventDateTime), title and type text as they stand on the Event page. Without a source the demo
  /// counts from today at 00:00 with an empty type.
  void SetEventSource(std::function<TNextReminder()> source);

  /// The "Demo" button: the reminder sentence for the event and the wording on this page, seen from the
  /// clock's now, replaces the text of the demo box.
  void BitBtnDemoClick();

 private:
  TReminderWay ReminderWay() const;

  const Clock& clock_;
  FormatSettings settings_;
  std::function<TNextReminder()> eventSource_;

  QGroupBox* group_ = nullptr;
  std::array<QCheckBox*, 7> remindOf_{};  // years, months, weeks, days, hours, minutes, seconds
  QPushButton* demo_ = nullptr;
  QLineEdit* firstSentence_ = nullptr;
  QLineEdit* lastSentence_ = nullptr;
  QTextEdit* demoText_ = nullptr;
};

}  // namespace almanex

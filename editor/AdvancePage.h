#pragma once
// The Advance page of the event dialog: which units the reminder sentence names, the user's own first
// and last sentences, and the demo.
//
// Stub: the page is empty and the wording passes through unchanged, until the wording controls land.

#include <QWidget>

#include "datetime/Clock.h"
#include "datetime/FormatSettings.h"
#include "store/EventRecord.h"

namespace almanex {

class AdvancePage : public QWidget {
  Q_OBJECT

 public:
  AdvancePage(const Clock& clock, const FormatSettings& settings, QWidget* parent);

  /// Shows the record's wording (RemindOf..., FirstSentence, LastSentence).
  void Load(const EventRecord& record);
  /// Writes the wording fields of the record from the controls; every other field is left alone.
  void Save(EventRecord& record) const;
};

}  // namespace almanex

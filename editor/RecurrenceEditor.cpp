// Stub: empty groups; the pattern of the record is kept as loaded.
#include "RecurrenceEditor.h"

#include <QGroupBox>
#include <QHBoxLayout>

namespace almanex {

RecurrenceEditor::RecurrenceEditor(const Clock&, const FormatSettings&, QWidget* parent) : QWidget(parent) {
  frequency_ = new QGroupBox(QStringLiteral(" Frequency "), this);
  frequency_->setObjectName(QStringLiteral("GroupBoxRecurrencePattern"));
  range_ = new QGroupBox(QStringLiteral(" Range of the recurrence "), this);
  range_->setObjectName(QStringLiteral("GroupBoxRange"));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(frequency_);
  layout->addWidget(range_);
}

void RecurrenceEditor::PrepareForToday(DateTime) {}

void RecurrenceEditor::Load(const EventRecord&) {}

void RecurrenceEditor::Save(EventRecord&, DateTime) const {}

void RecurrenceEditor::SetGroupsVisible(bool visible) {
  frequency_->setVisible(visible);
  range_->setVisible(visible);
}

}  // namespace almanex

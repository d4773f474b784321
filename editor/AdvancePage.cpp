// Stub: an empty page; the wording of the record is kept as loaded.
#include "AdvancePage.h"

namespace almanex {

AdvancePage::AdvancePage(const Clock&, const FormatSettings&, QWidget* parent) : QWidget(parent) {}

void AdvancePage::Load(const EventRecord&) {}

void AdvancePage::Save(EventRecord&) const {}

}  // namespace almanex

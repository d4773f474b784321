#pragma once
// Colours as the configuration file stores them, turned into Qt colours.

#include <QColor>
#include <QPalette>
#include <QtGlobal>

namespace almanex {

/// The colour of a stored colour value.
///
/// A value of zero or more is 0x00BBGGRR: red in the low byte, then green, then blue; the top byte is
/// ignored (0 black, 0x0000FF red, 16777215 white). A negative value names a system colour by its low
/// byte (0xFF000005, read as -16777211, is the window background); system colours come from `palette`
/// (5 the window background is QPalette::Base, 8 the window text is QPalette::Text, 13 and 14 the
/// highlight and its text, 15, 16 and 18 the button face, shadow and text, ...). A system colour
/// number that has no counterpart gives QPalette::Base.
QColor ColorFromWindowsValue(qint32 value, const QPalette& palette);

/// The palette group and role that stand for a system colour number (0..255); unknown numbers give
/// the active QPalette::Base.
struct SystemColorRole {
  QPalette::ColorGroup group = QPalette::Active;
  QPalette::ColorRole role = QPalette::Base;
};
SystemColorRole SystemColorRoleOf(int systemColorNumber);

}  // namespace almanex

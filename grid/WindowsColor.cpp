#include "grid/WindowsColor.h"

namespace almanex {

SystemColorRole SystemColorRoleOf(int systemColorNumber) {
  // The system colour numbers of the stored values and the palette entries that play their part here.
  switch (systemColorNumber) {
    case 0:  // scroll bar
      return {QPalette::Active, QPalette::Button};
    case 1:  // desktop background
      return {QPalette::Active, QPalette::Window};
    case 2:   // active title bar
    case 27:  // gradient of the active title bar
    case 13:  // highlight
    case 29:  // menu highlight
      return {QPalette::Active, QPalette::Highlight};
    case 3:   // inactive title bar
    case 28:  // gradient of the inactive title bar
      return {QPalette::Inactive, QPalette::Highlight};
    case 4:   // menu
    case 10:  // active border
    case 11:  // inactive border
    case 30:  // menu bar
      return {QPalette::Active, QPalette::Window};
    case 5:  // window background
      return {QPalette::Active, QPalette::Base};
    case 6:  // window frame
      return {QPalette::Active, QPalette::Shadow};
    case 7:  // menu text
      return {QPalette::Active, QPalette::WindowText};
    case 8:  // window text
      return {QPalette::Active, QPalette::Text};
    case 9:   // title bar text
    case 14:  // highlighted text
      return {QPalette::Active, QPalette::HighlightedText};
    case 12:  // application work space
      return {QPalette::Active, QPalette::Dark};
    case 15:  // button face
      return {QPalette::Active, QPalette::Button};
    case 16:  // button shadow
      return {QPalette::Active, QPalette::Dark};
    case 17:  // grey (disabled) text
      return {QPalette::Disabled, QPalette::Text};
    case 18:  // button text
      return {QPalette::Active, QPalette::ButtonText};
    case 19:  // inactive title bar text
      return {QPalette::Inactive, QPalette::HighlightedText};
    case 20:  // button highlight
      return {QPalette::Active, QPalette::Light};
    case 21:  // dark 3-D shadow
      return {QPalette::Active, QPalette::Shadow};
    case 22:  // light 3-D edge
      return {QPalette::Active, QPalette::Midlight};
    case 23:  // tooltip text
      return {QPalette::Active, QPalette::ToolTipText};
    case 24:  // tooltip background
      return {QPalette::Active, QPalette::ToolTipBase};
    case 26:  // hot-tracked item (links)
      return {QPalette::Active, QPalette::Link};
    default:
      return {QPalette::Active, QPalette::Base};
  }
}

QColor ColorFromWindowsValue(qint32 value, const QPalette& palette) {
  if (value < 0) {
    const SystemColorRole entry = SystemColorRoleOf(static_cast<int>(static_cast<quint32>(value) & 0xFFu));
    return palette.color(entry.group, entry.role);
  }
  const auto bits = static_cast<quint32>(value);
  return QColor(static_cast<int>(bits & 0xFFu), static_cast<int>((bits >> 8) & 0xFFu),
                static_cast<int>((bits >> 16) & 0xFFu));
}

}  // namespace almanex

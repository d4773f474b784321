#pragma once
// A colour picker holding a colour as the configuration file stores it: 0x00BBGGRR for a fixed colour,
// 0xFF0000nn for system colour nn. It offers the standard, extended and system colours and
// "Custom...", which asks Qt's colour dialog. A value that none of the items holds (a colour set in the
// file by hand) gets an item of its own, so that it is kept exactly as read.

#include <QColor>
#include <QComboBox>
#include <cstdint>
#include <functional>
#include <optional>

namespace almanex {

class ColorBox : public QComboBox {
  Q_OBJECT

 public:
  explicit ColorBox(QWidget* parent = nullptr);

  std::int32_t Value() const { return value_; }
  /// Selects the item holding `value`, adding one when there is none.
  void SetValue(std::int32_t value);

  /// Asks for a custom colour starting from the given one; nothing when the user cancels. The default
  /// opens QColorDialog; tests replace it.
  std::function<std::optional<QColor>(QColor)> customColorPicker;

  /// The name of the item holding a value (for example "Black", "Window"), empty when it has none.
  QString NameOf(std::int32_t value) const;

 signals:
  /// The user chose a colour (not emitted by SetValue).
  void ColorSelected(std::int32_t value);

 private:
  void OnActivated(int index);
  int AddValueItem(const QString& name, std::int32_t value);
  int IndexOfValue(std::int32_t value) const;
  void RefreshIcons();

  std::int32_t value_ = 0;
};

}  // namespace almanex

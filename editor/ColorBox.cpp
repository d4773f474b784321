#include "ColorBox.h"

#include <QColorDialog>
#include <QPainter>
#include <QPixmap>
#include <array>

#include "grid/WindowsColor.h"

namespace almanex {
namespace {

struct NamedColor {
  const char* name;
  std::uint32_t value;
};

// Fixed colours are 0x00BBGGRR.
constexpr std::array<NamedColor, 16> kStandardColors{{{"Black", 0x000000},
                                                      {"Maroon", 0x000080},
                                                      {"Green", 0x008000},
                                                      {"Olive", 0x008080},
                                                      {"Navy", 0x800000},
                                                      {"Purple", 0x800080},
                                                      {"Teal", 0x808000},
                                                      {"Gray", 0x808080},
                                                      {"Silver", 0xC0C0C0},
                                                      {"Red", 0x0000FF},
                                                      {"Lime", 0x00FF00},
                                                      {"Yellow", 0x00FFFF},
                                                      {"Blue", 0xFF0000},
                                                      {"Fuchsia", 0xFF00FF},
                                                      {"Aqua", 0xFFFF00},
                                                      {"White", 0xFFFFFF}}};

constexpr std::array<NamedColor, 4> kExtendedColors{
    {{"Money Green", 0xC0DCC0}, {"Sky Blue", 0xF0CAA6}, {"Cream", 0xF0FBFF}, {"Medium Gray", 0xA4A0A0}}};

// System colours are 0xFF000000 + their number.
constexpr std::array<NamedColor, 30> kSystemColors{{{"Scroll Bar", 0xFF000000},
                                                    {"Background", 0xFF000001},
                                                    {"Active Caption", 0xFF000002},
                                                    {"Inactive Caption", 0xFF000003},
                                                    {"Menu", 0xFF000004},
                                                    {"Window", 0xFF000005},
                                                    {"Window Frame", 0xFF000006},
                                                    {"Menu Text", 0xFF000007},
                                                    {"Window Text", 0xFF000008},
                                                    {"Caption Text", 0xFF000009},
                                                    {"Active Border", 0xFF00000A},
                                                    {"Inactive Border", 0xFF00000B},
                                                    {"Application Workspace", 0xFF00000C},
                                                    {"Highlight", 0xFF00000D},
                                                    {"Highlight Text", 0xFF00000E},
                                                    {"Button Face", 0xFF00000F},
                                                    {"Button Shadow", 0xFF000010},
                                                    {"Gray Text", 0xFF000011},
                                                    {"Button Text", 0xFF000012},
                                                    {"Inactive Caption Text", 0xFF000013},
                                                    {"Button Highlight", 0xFF000014},
                                                    {"3D Dark Shadow", 0xFF000015},
                                                    {"3D Light", 0xFF000016},
                                                    {"Info Text", 0xFF000017},
                                                    {"Info Background", 0xFF000018},
                                                    {"Hot Light", 0xFF00001A},
                                                    {"Gradient Active Caption", 0xFF00001B},
                                                    {"Gradient Inactive Caption", 0xFF00001C},
                                                    {"Menu Highlight", 0xFF00001D},
                                                    {"Menu Bar", 0xFF00001E}}};

constexpr int kValueRole = Qt::UserRole;
constexpr int kCustomRole = Qt::UserRole + 1;

std::int32_t AsStored(std::uint32_t value) { return static_cast<std::int32_t>(value); }

/// 0x00BBGGRR of a Qt colour.
std::int32_t StoredValueOf(const QColor& color) {
  return AsStored(static_cast<std::uint32_t>(color.red()) | (static_cast<std::uint32_t>(color.green()) << 8) |
                  (static_cast<std::uint32_t>(color.blue()) << 16));
}

QString HandSetName(std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  if (value < 0) return QStringLiteral("System colour %1").arg(bits & 0xFFu);
  return QStringLiteral("$%1").arg(bits, 8, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

ColorBox::ColorBox(QWidget* parent) : QComboBox(parent) {
  setEditable(false);
  addItem(QStringLiteral("Custom..."));
  setItemData(0, true, kCustomRole);
  const auto addAll = [this](const auto& colors) {
    for (const NamedColor& color : colors) AddValueItem(QString::fromLatin1(color.name), AsStored(color.value));
  };
  addAll(kStandardColors);
  addAll(kExtendedColors);
  addAll(kSystemColors);
  customColorPicker = [this](QColor initial) -> std::optional<QColor> {
    const QColor chosen = QColorDialog::getColor(initial, this);
    if (!chosen.isValid()) return std::nullopt;
    return chosen;
  };
  RefreshIcons();
  SetValue(0);
  connect(this, &QComboBox::activated, this, &ColorBox::OnActivated);
}

int ColorBox::AddValueItem(const QString& name, std::int32_t value) {
  addItem(name, value);
  setItemData(count() - 1, false, kCustomRole);
  return count() - 1;
}

int ColorBox::IndexOfValue(std::int32_t value) const {
  for (int i = 0; i < count(); ++i) {
    if (!itemData(i, kCustomRole).toBool() && itemData(i, kValueRole).toInt() == value) return i;
  }
  return -1;
}

QString ColorBox::NameOf(std::int32_t value) const {
  const int index = IndexOfValue(value);
  return index < 0 ? QString() : itemText(index);
}

void ColorBox::SetValue(std::int32_t value) {
  int index = IndexOfValue(value);
  if (index < 0) {
    index = AddValueItem(HandSetName(value), value);
    RefreshIcons();
  }
  value_ = value;
  setCurrentIndex(index);
}

void ColorBox::OnActivated(int index) {
  if (itemData(index, kCustomRole).toBool()) {
    const std::optional<QColor> chosen = customColorPicker(ColorFromWindowsValue(value_, palette()));
    if (!chosen) {
      setCurrentIndex(IndexOfValue(value_));  // cancelled: the colour stays
      return;
    }
    SetValue(StoredValueOf(*chosen));
  } else {
    value_ = itemData(index, kValueRole).toInt();
  }
  emit ColorSelected(value_);
}

void ColorBox::RefreshIcons() {
  const int side = fontMetrics().height() - 2;
  for (int i = 0; i < count(); ++i) {
    if (itemData(i, kCustomRole).toBool()) continue;
    QPixmap swatch(side, side);
    swatch.fill(ColorFromWindowsValue(itemData(i, kValueRole).toInt(), palette()));
    QPainter painter(&swatch);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, side - 1, side - 1);
    painter.end();
    setItemIcon(i, QIcon(swatch));
  }
}

}  // namespace almanex

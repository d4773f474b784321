#include "platform/CommRegistry.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>
#include <cstdint>

#include "base/Trace.h"
#include "platform/Registry.h"

namespace almanex {

namespace {

constexpr std::string_view kTraceSource = "CommUnit";
constexpr std::string_view kReadPositionFailed = "Failed to get FormPosition information from Registry.";
constexpr std::string_view kWritePositionFailed = "Failed to write Registry about FormPosition.";
constexpr std::string_view kWriteFailed = "Failed to write Registry.";
constexpr std::string_view kReadFailed = "Failed to read Registry.";

std::string PositionKey(const QWidget& form) {
  return std::string(kProductKey) + form.windowTitle().toStdString() + "\\Position";
}

std::string ProductSubKey(std::string_view subKey) { return std::string(kProductKey) + std::string(subKey); }

/// Puts the window's outer frame in the middle of the available area of its screen, keeping its size.
void CentreOnScreen(QWidget& form) {
  QScreen* screen = form.screen();
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  const QRect frame = form.frameGeometry();
  form.move(area.x() + (area.width() - frame.width()) / 2, area.y() + (area.height() - frame.height()) / 2);
}

// The stored figures are the outer bounds; resize() works on the client area, so the frame's share is
// taken off (it is zero before the window manager has framed the window).
void SetOuterHeight(QWidget& form, int height) {
  const int frameExtra = form.frameGeometry().height() - form.geometry().height();
  form.resize(form.width(), height - frameExtra);
}

void SetOuterWidth(QWidget& form, int width) {
  const int frameExtra = form.frameGeometry().width() - form.geometry().width();
  form.resize(width - frameExtra, form.height());
}

// A DWORD holds the coordinate's 32-bit two's complement, so windows left of or above the primary screen
// keep their negative positions.
int ToCoordinate(std::uint32_t value) { return static_cast<std::int32_t>(value); }
std::uint32_t ToDword(int coordinate) { return static_cast<std::uint32_t>(coordinate); }

}  // namespace

void ReadFormPosition(QWidget& form) {
  try {
    RegistryKey key;
    const RegistryStatus opened = key.Open(PositionKey(form), false);
    if (opened != RegistryStatus::Ok) {
      CentreOnScreen(form);
      if (opened != RegistryStatus::NotFound) Trace(kTraceSource, kReadPositionFailed);
      return;
    }
    std::uint32_t value = 0;
    if (key.ReadDword("Height", value) != RegistryStatus::Ok) {
      Trace(kTraceSource, kReadPositionFailed);
      return;
    }
    SetOuterHeight(form, ToCoordinate(value));
    if (key.ReadDword("Left", value) != RegistryStatus::Ok) {
      Trace(kTraceSource, kReadPositionFailed);
      return;
    }
    form.move(ToCoordinate(value), form.pos().y());
    if (key.ReadDword("Top", value) != RegistryStatus::Ok) {
      Trace(kTraceSource, kReadPositionFailed);
      return;
    }
    form.move(form.pos().x(), ToCoordinate(value));
    if (key.ReadDword("Width", value) != RegistryStatus::Ok) {
      Trace(kTraceSource, kReadPositionFailed);
      return;
    }
    SetOuterWidth(form, ToCoordinate(value));
  } catch (...) {
    Trace(kTraceSource, kReadPositionFailed);
  }
}

void WriteFormPosition(QWidget& form) {
  try {
    const QRect bounds = form.frameGeometry();
    RegistryKey key;
    bool written = key.Open(PositionKey(form), true) == RegistryStatus::Ok &&
                   key.WriteDword("Height", ToDword(bounds.height())) == RegistryStatus::Ok &&
                   key.WriteDword("Left", ToDword(bounds.x())) == RegistryStatus::Ok &&
                   key.WriteDword("Top", ToDword(bounds.y())) == RegistryStatus::Ok &&
                   key.WriteDword("Width", ToDword(bounds.width())) == RegistryStatus::Ok;
    // The values written before a failure are still committed, so the close runs in every case.
    if (key.IsOpen() && key.Close() != RegistryStatus::Ok) written = false;
    if (!written) Trace(kTraceSource, kWritePositionFailed);
  } catch (...) {
    Trace(kTraceSource, kWritePositionFailed);
  }
}

void WriteRegistryString(std::string_view subKey, std::string_view valueName, std::string_view value) {
  try {
    RegistryKey key;
    bool written = key.Open(ProductSubKey(subKey), true) == RegistryStatus::Ok &&
                   key.WriteString(valueName, value) == RegistryStatus::Ok;
    if (key.IsOpen() && key.Close() != RegistryStatus::Ok) written = false;
    if (!written) Trace(kTraceSource, kWriteFailed);
  } catch (...) {
    Trace(kTraceSource, kWriteFailed);
  }
}

std::string ReadRegistryString(std::string_view subKey, std::string_view valueName) {
  try {
    RegistryKey key;
    const RegistryStatus opened = key.Open(ProductSubKey(subKey), false);
    if (opened == RegistryStatus::NotFound) return {};
    std::string value;
    const RegistryStatus read = opened == RegistryStatus::Ok ? key.ReadString(valueName, value) : opened;
    if (read == RegistryStatus::Ok) return value;
    if (read != RegistryStatus::NotFound) Trace(kTraceSource, kReadFailed);
    return {};
  } catch (...) {
    Trace(kTraceSource, kReadFailed);
    return {};
  }
}

}  // namespace almanex

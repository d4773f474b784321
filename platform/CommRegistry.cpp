#include "platform/CommRegistry.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMargins>
#include <QRect>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cstdint>
#include <optional>

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

/// The decorations around the client area, as far as the window system has told them (none before the
/// window manager has framed the window).
QMargins FrameMargins(const QWidget& form) {
  const QRect outer = form.frameGeometry();
  const QRect inner = form.geometry();
  return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
          outer.bottom() - inner.bottom()};
}

/// Keeps the stored outer bounds exact. Qt places a window by its outer frame (move) but sizes it by
/// its client area (resize), and the frame is only known once the window manager has framed the shown
/// window. So a size restored before that is applied as if there were no frame (the window then reports
/// exactly the stored bounds), and corrected as soon as the frame is known. While the window
/// is maximised or full screen, the frame of its normal state is remembered for WriteFormPosition.
class OuterBoundsKeeper final : public QObject {
 public:
  explicit OuterBoundsKeeper(QWidget& form) : QObject(&form), form_(form) {
    setObjectName(QStringLiteral("AlmanexOuterBoundsKeeper"));
    form.installEventFilter(this);
  }

  static OuterBoundsKeeper& Of(QWidget& form) {
    auto* keeper =
        form.findChild<OuterBoundsKeeper*>(QStringLiteral("AlmanexOuterBoundsKeeper"), Qt::FindDirectChildrenOnly);
    return keeper != nullptr ? *keeper : *new OuterBoundsKeeper(form);
  }

  /// Gives the window these outer bounds, now or as soon as its frame is known.
  void Apply(const QRect& outer) {
    const QMargins frame = FrameMargins(form_);
    pending_.reset();
    if (frame.isNull()) pending_ = outer;
    form_.move(outer.topLeft());
    form_.resize(std::max(1, outer.width() - frame.left() - frame.right()),
                 std::max(1, outer.height() - frame.top() - frame.bottom()));
  }

  /// The outer bounds to store: those of the normal state, also while maximised or full screen.
  QRect OuterBounds() const {
    // Before the frame is known the window reports the bounds it was given, frame included.
    if (!form_.isMaximized() && !form_.isFullScreen()) return form_.frameGeometry();
    const QMargins frame = normalFrame_.isNull() ? FrameMargins(form_) : normalFrame_;
    return form_.normalGeometry().marginsAdded(frame);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &form_) {
      switch (event->type()) {
        case QEvent::Show:
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::WindowStateChange:
          Update();
          break;
        default:
          break;
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  void Update() {
    if (!form_.isVisible()) return;
    const QMargins frame = FrameMargins(form_);
    if (frame.isNull()) return;
    if (!form_.isMaximized() && !form_.isFullScreen() && !form_.isMinimized()) normalFrame_ = frame;
    if (pending_) {
      const QRect outer = *pending_;
      pending_.reset();
      if (!form_.isMaximized() && !form_.isFullScreen()) Apply(outer);
    }
  }

  QWidget& form_;
  std::optional<QRect> pending_;
  QMargins normalFrame_;
};

/// A placement that no screen shows any more (a monitor was unplugged, the resolution shrank) is moved
/// onto the nearest screen's free area, and made small enough to fit it. A placement counts as shown
/// while some screen holds enough of its top edge to grab the window there.
QRect OntoAScreen(const QRect& outer) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screens.isEmpty()) return outer;
  constexpr int kGrabWidth = 48;
  constexpr int kGrabHeight = 16;
  const QRect topEdge(outer.left(), outer.top(), outer.width(), std::min(outer.height(), kGrabHeight));
  QScreen* nearest = screens.first();
  long long nearestDistance = -1;
  for (QScreen* screen : screens) {
    const QRect shown = screen->geometry() & topEdge;
    if (shown.width() >= std::min(kGrabWidth, outer.width()) && shown.height() > 0) return outer;
    const QRect area = screen->availableGeometry();
    const long long dx = std::max({area.left() - outer.right(), outer.left() - area.right(), 0});
    const long long dy = std::max({area.top() - outer.bottom(), outer.top() - area.bottom(), 0});
    const long long distance = dx * dx + dy * dy;
    if (nearestDistance < 0 || distance < nearestDistance) {
      nearestDistance = distance;
      nearest = screen;
    }
  }
  const QRect area = nearest->availableGeometry();
  QRect moved(outer.topLeft(), outer.size().boundedTo(area.size()));
  moved.moveLeft(std::clamp(moved.left(), area.left(), area.right() - moved.width() + 1));
  moved.moveTop(std::clamp(moved.top(), area.top(), area.bottom() - moved.height() + 1));
  return moved;
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
    // Height, Left, Top, Width in this order; the first one missing stops the restore, and what was
    // read before it stays applied.
    OuterBoundsKeeper& keeper = OuterBoundsKeeper::Of(form);
    QRect outer = keeper.OuterBounds();
    std::uint32_t value = 0;
    const auto read = [&](const char* name) {
      if (key.ReadDword(name, value) == RegistryStatus::Ok) return true;
      keeper.Apply(OntoAScreen(outer));
      Trace(kTraceSource, kReadPositionFailed);
      return false;
    };
    if (!read("Height")) return;
    outer.setHeight(ToCoordinate(value));
    if (!read("Left")) return;
    outer.moveLeft(ToCoordinate(value));
    if (!read("Top")) return;
    outer.moveTop(ToCoordinate(value));
    if (!read("Width")) return;
    outer.setWidth(ToCoordinate(value));
    keeper.Apply(OntoAScreen(outer));
  } catch (...) {
    Trace(kTraceSource, kReadPositionFailed);
  }
}

void WriteFormPosition(QWidget& form) {
  try {
    const QRect bounds = OuterBoundsKeeper::Of(form).OuterBounds();
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

#pragma once
// The program's one notification-area icon: adding it, its tip, its balloons, its removal, and the
// mouse actions on it, which come back to the main window as Qt signals.
//
// Characters: every length limit here counts Unicode code points, so a cut never splits a surrogate
// pair (an emoji, a rare CJK character) and, once written out as UTF-8, never splits a UTF-8 sequence.
// An unpaired surrogate counts as one. CR LF counts as two, as it did in the original 8-bit texts, and
// is shown as a line break.
//
// Mouse actions (the tray callback message):
//  - DoubleClicked: a double click, and also a single click (QSystemTrayIcon::Trigger). A
//    StatusNotifierItem host (Plasma, GNOME with AppIndicator, most panels today) never reports a
//    double click: a left click is its "activate", and that is what a Linux user clicks to open a
//    program from its icon. On an XEmbed tray a double click arrives as a click and a double click;
//    the main window's ActionShow only shows and raises, so running it twice is harmless.
//  - ContextMenuRequested: a right click, with the cursor's screen position, while no menu was given
//    to SetContextMenu. With a menu set, the tray host (or Qt) shows that menu itself and no signal
//    comes.
//  - A middle click does nothing.
//  - TipAboutToShow: Qt tells nothing about the pointer moving over a tray icon, and a
//    StatusNotifierItem host reads the tip whenever it wants to show it. So the main window calls
//    RefreshTip() on every timer tick; it emits TipAboutToShow, and the handler calls
//    ModifyIcon(GetTrayTipText()). The tip is then never more than a tick old when it is seen.

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <QWidget>
#include <functional>
#include <memory>

#include "Notifier.h"

class QMenu;

namespace almanex {

inline constexpr qsizetype kOwnerTipMaxCharacters = 127;
inline constexpr qsizetype kTipMaxCharacters = 64;
inline constexpr qsizetype kTipCutCharacters = 61;  // followed by "..."
inline constexpr qsizetype kBalloonTextMaxCharacters = 255;
inline constexpr qsizetype kBalloonTitleMaxCharacters = 63;

/// Number of code points in text; an unpaired surrogate counts as one.
qsizetype CodePointCount(const QString& text);
/// The first count code points of text (all of it when shorter).
QString LeftCodePoints(const QString& text, qsizetype count);
/// The tip rule: more than 64 characters become the first 61 and "..."; 64 or fewer stay whole.
QString CutTrayTip(const QString& text);

/// The notification-area icon of the main window.
///
/// Used on the user-interface thread only. Without an owner (null, or destroyed meanwhile) AddIcon,
/// ModifyIcon and DeleteIcon do nothing; ShowBalloon still delivers, since a reminder must not be lost.
class TTrayIcon final : public QObject, public BalloonSink {
  Q_OBJECT

 public:
  /// Remembers the owner; the icon is not shown yet. Looks once whether a tray exists.
  explicit TTrayIcon(QWidget* owner, QObject* parent = nullptr);
  /// Performs DeleteIcon.
  ~TTrayIcon() override;

  TTrayIcon(const TTrayIcon&) = delete;
  TTrayIcon& operator=(const TTrayIcon&) = delete;

  /// Shows the icon: the owner's window icon (BuiltInIcon() when it has none) with the owner's window
  /// title, cut to 127 characters, as tip. Nothing is reported when no tray takes it.
  void AddIcon();
  /// Sets the tip by the tip rule (CutTrayTip); an empty text empties the tip. Unchanged tips are not
  /// sent again.
  void ModifyIcon(const QString& text);
  /// Shows a balloon: text cut to 255 characters, title to 63; information icon; a notice lasts
  /// 3000 ms, a reminder stays until dismissed. The tip is not touched. Delivery: Notifier.h.
  void ShowBalloon(const QString& text, const QString& title, BalloonKind kind = BalloonKind::Notice) override;
  /// Shows a reminder with its actions, cut like any balloon.
  void ShowReminder(const QString& text, const QString& title, const ReminderActions& actions) override;
  /// Removes the icon from the tray.
  void DeleteIcon();

  /// The menu a right click on the icon opens (the main window's PopupMenuTrayIcon); not owned.
  /// nullptr removes it, and right clicks emit ContextMenuRequested again.
  void SetContextMenu(QMenu* menu);
  /// Emits TipAboutToShow; the main window calls it on every tick.
  void RefreshTip();

  /// Whether a tray existed when last looked at (construction or CheckTrayAppeared).
  bool IsTrayAvailable() const { return trayAvailable_; }
  /// Looks whether a tray exists now; true (and TrayAppeared emitted) only when one has appeared
  /// since the last look. An icon that was added is then shown in the new tray. A tray that has gone
  /// since the last look emits TrayLost (and gives false). Meant for every tick:
  /// while no tray is known it looks every call; while one is known only every
  /// kPresentTrayLookInterval-th call, which still notices a panel that was restarted.
  bool CheckTrayAppeared();
  static constexpr int kPresentTrayLookInterval = 30;

  /// The tip as it is shown (line breaks as LF).
  QString TipText() const { return icon_->toolTip(); }
  /// True between AddIcon and DeleteIcon.
  bool IsIconAdded() const { return added_; }
  /// The Qt icon underneath, e.g. to watch its activation in tests.
  QSystemTrayIcon& NativeIcon() { return *icon_; }

  /// Replaces the balloon delivery (nullptr restores the default: NotificationRouter over the session
  /// bus, this icon and our popups). The sink must outlive its use.
  void SetBalloonSink(BalloonSink* sink);
  /// Replaces the "does a tray exist" question (default QSystemTrayIcon::isSystemTrayAvailable) and
  /// asks it at once. For tests.
  void SetTrayProbe(std::function<bool()> probe);

  /// A calendar-page icon drawn at run time (16 to 128 pixels), for windows and trays without an icon of
  /// their own.
  static QIcon BuiltInIcon();
  /// The program's icon from the icon theme by its installed name, the built-in picture when the theme
  /// has none (a staged or portable tree).
  static QIcon ApplicationIcon();

 signals:
  void DoubleClicked();
  void ContextMenuRequested(QPoint globalPosition);
  void TipAboutToShow();
  void TrayAppeared();
  void TrayLost();

 private:
  class DefaultDelivery;

  void OnActivated(QSystemTrayIcon::ActivationReason reason);
  BalloonSink& Balloons();

  QPointer<QWidget> owner_;
  std::unique_ptr<QSystemTrayIcon> icon_;
  QPointer<QMenu> contextMenu_;
  std::function<bool()> trayProbe_;
  bool trayAvailable_ = false;
  int looksSkipped_ = 0;  // [0, kPresentTrayLookInterval)
  bool added_ = false;
  BalloonSink* balloonSink_ = nullptr;
  std::unique_ptr<DefaultDelivery> defaultDelivery_;
};

}  // namespace almanex

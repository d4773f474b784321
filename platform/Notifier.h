#pragma once
// Balloon delivery: how a reminder or a short notice reaches the user's eyes.
//
// A balloon goes the first of these ways that works:
//  1. the freedesktop notification service (org.freedesktop.Notifications.Notify on the session bus);
//  2. for a notice only, the tray icon's own balloon (QSystemTrayIcon::showMessage), when a tray exists;
//  3. a small popup window of our own near the bottom-right corner of the screen;
//  4. a line on stderr, when not even a window can be shown (no QApplication).
//
// Why the notification service comes before the tray: on every StatusNotifierItem tray, Qt's
// showMessage() is itself forwarded to the same notification service, but without escaping the body
// for servers that read markup, without our desktop-entry hint and without telling us whether the
// server took it. Calling the service directly makes "Tom & <Jerry>" show as typed and lets a failure
// fall through to the popup. The tray balloon is kept for notices on trays without a notification
// service (an XEmbed tray, where Qt draws the balloon itself); a reminder skips it, because on a
// StatusNotifierItem tray without a notification service Qt's balloon would vanish unseen.
//
// Delivery never waits on the bus: the questions to the notification service are asynchronous calls,
// answered through the event loop, and a balloon whose call fails or gets no answer within the call
// timeout goes on to the next way then. Balloons are delivered one after the other, in the order they
// came, whichever way each one takes.
//
// A reminder never goes away on its own: it is sent with expire_timeout 0 ("until the user closes
// it") and its popup stays until clicked. A notice lasts 3000 ms.
//
// A reminder may carry two actions, "Snooze 10 minutes" and "Open Almanex". They are offered to a
// notification service whose capabilities list "actions" (Open Almanex as the "default" action, the
// one a click on the notification runs), and as two buttons on our popup. Each action runs at most
// once, on the thread that delivered the balloon.

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <deque>
#include <functional>
#include <iosfwd>
#include <map>
#include <optional>

namespace almanex {

/// What a balloon is for; decides how long it stays.
enum class BalloonKind {
  Notice,    ///< a short hint ("Double-click here to re-open ..."): 3000 ms
  Reminder,  ///< a due reminder: stays until the user dismisses it
};

inline constexpr int kNoticeTimeoutMilliseconds = 3000;
/// Longest wait for the answer to any one call to the notification service; the caller does not wait.
inline constexpr int kNotificationCallTimeoutMilliseconds = 2000;

/// What a reminder's actions do; an empty function is not offered.
struct ReminderActions {
  std::function<void()> snooze;
  std::function<void()> open;
  bool Any() const { return snooze || open; }
};

/// The action keys and the texts the user reads on them.
inline constexpr char kSnoozeActionKey[] = "snooze";
inline constexpr char kSnoozeActionText[] = "Snooze 10 minutes";
inline constexpr char kOpenActionKey[] = "default";
inline constexpr char kOpenActionText[] = "Open Almanex";

/// Shows balloons. The tray icon hands every balloon to one of these; tests install one that records.
class BalloonSink {
 public:
  virtual ~BalloonSink() = default;
  /// Shows text under title. Never throws; a reminder is never dropped without a trace.
  virtual void ShowBalloon(const QString& text, const QString& title, BalloonKind kind) = 0;
  /// Shows a reminder that offers `actions` where the way it goes can offer them. By default a plain
  /// reminder balloon.
  virtual void ShowReminder(const QString& text, const QString& title, const ReminderActions& actions) {
    (void)actions;
    ShowBalloon(text, title, BalloonKind::Reminder);
  }
};

/// The arguments of one org.freedesktop.Notifications.Notify call, in order.
struct DesktopNotification {
  QString appName;
  uint replacesId = 0;
  QString appIcon;
  QString summary;  ///< always plain text
  QString body;     ///< escaped when the server reads markup
  QStringList actions;
  QVariantMap hints;
  int expireTimeout = -1;  ///< milliseconds; 0 never expires
  /// Not sent: runs with the key of an action the user invoked on this notification (at most once).
  std::function<void(const QString& actionKey)> onAction;
};

/// The tray icon as a balloon target.
class TrayPort {
 public:
  virtual ~TrayPort() = default;
  /// True when an icon is shown in a tray that exists.
  virtual bool HasTray() = 0;
  virtual void ShowTrayMessage(const QString& title, const QString& text, int timeoutMilliseconds) = 0;
};

/// The freedesktop notification service.
class DesktopNotificationPort {
 public:
  /// Makes the Notify arguments, knowing whether the server reads markup in the body.
  using Builder = std::function<DesktopNotification(bool bodyMarkup)>;
  /// Told once whether the service took the notification.
  using Done = std::function<void(bool delivered)>;

  virtual ~DesktopNotificationPort() = default;
  /// Sends one notification without waiting for the service. done(true) once the service took it;
  /// done(false) when there is no service, it refused, or it did not answer in time. done is called
  /// exactly once, either before Send returns or later from the event loop of the caller's thread.
  virtual void Send(Builder build, Done done) = 0;
};

/// Our own popup window.
class PopupPort {
 public:
  virtual ~PopupPort() = default;
  /// Shows a popup; timeoutMilliseconds 0 keeps it until clicked. False when no window can be shown.
  virtual bool ShowPopup(const QString& title, const QString& text, int timeoutMilliseconds) = 0;
  /// Shows a reminder popup, kept until clicked, with a button for each action. By default without buttons.
  virtual bool ShowReminderPopup(const QString& title, const QString& text, const ReminderActions& actions) {
    (void)actions;
    return ShowPopup(title, text, 0);
  }
};

/// Which way a balloon went.
enum class BalloonRoute { DesktopNotification, Tray, Popup, StandardError };

/// Picks the way for each balloon (order in the file comment). Holds references to the ports; one balloon
/// at a time is with the notification service, the later ones wait in order.
class NotificationRouter final : public BalloonSink {
 public:
  /// Told which way one balloon went.
  using Routed = std::function<void(BalloonRoute route)>;

  /// lastResort receives "Almanex: title: text" lines when nothing else can show a balloon.
  NotificationRouter(TrayPort& tray, DesktopNotificationPort& desktop, PopupPort& popup, std::ostream& lastResort);

  /// Queues the balloon and returns without waiting for the notification service.
  void ShowBalloon(const QString& text, const QString& title, BalloonKind kind) override;
  /// The same; routed (when set) learns which way the balloon went, once it has gone.
  void Deliver(const QString& text, const QString& title, BalloonKind kind, Routed routed);
  /// Queues a reminder with its actions.
  void ShowReminder(const QString& text, const QString& title, const ReminderActions& actions) override;
  /// The same; routed (when set) learns which way the reminder went.
  void DeliverReminder(const QString& text, const QString& title, ReminderActions actions, Routed routed);

  /// The Notify arguments for a balloon: app_name "Almanex", replaces_id 0, app_icon the program's icon
  /// name when the icon theme has it (installed), else "dialog-information", summary = title, body = text
  /// (escaped when bodyMarkup), no actions, hints urgency 1 (normal, a byte) and desktop-entry (the desktop
  /// entry's name, so that servers group the notifications under Almanex), expire_timeout 3000 for a notice
  /// and 0 for a reminder.
  /// Line breaks become LF in both texts.
  static DesktopNotification BuildDesktopNotification(const QString& text, const QString& title, BalloonKind kind,
                                                      bool bodyMarkup);

 private:
  struct Balloon {
    QString text;
    QString title;
    BalloonKind kind;
    Routed routed;
    ReminderActions actions = {};
  };
  void Enqueue(Balloon balloon);
  /// Hands the first waiting balloon to the service, unless one is there already.
  void SendNext();
  /// The service's answer for the first waiting balloon: done, or on to the next way.
  void Finish(bool delivered);
  /// The ways after the notification service.
  BalloonRoute ShowWithoutService(const Balloon& balloon);

  TrayPort& tray_;
  DesktopNotificationPort& desktop_;
  PopupPort& popup_;
  std::ostream& lastResort_;
  std::deque<Balloon> waiting_;  ///< the first one is with the service while sending_
  bool sending_ = false;
  bool pumping_ = false;  ///< inside SendNext: an answer given at once does not start another pump
};

/// How long a balloon of this kind stays: 3000 ms for a notice, 0 (until dismissed) for a reminder.
int BalloonTimeoutMilliseconds(BalloonKind kind);
/// Escapes &, <, >, " and ' so that a markup-reading server shows the text as typed.
QString EscapeNotificationMarkup(const QString& text);
/// CR LF and lone CR become LF: our texts use CR LF, the desktop expects LF.
QString NormalizeLineBreaks(const QString& text);

/// Receives the signals of the notification service for DBusNotificationPort.
class NotificationSignalReceiver final : public QObject {
  Q_OBJECT
 public:
  std::function<void(uint id, const QString& actionKey)> actionInvoked;
  std::function<void(uint id)> closed;
 public slots:
  void ActionInvoked(uint id, const QString& actionKey);
  void NotificationClosed(uint id, uint reason);
};

/// The notification service on a D-Bus connection, called asynchronously: each call gets an answer or
/// fails within callTimeoutMilliseconds, through the event loop of the thread that sends.
/// The capabilities are asked once per service owner: each balloon asks the bus (not the server) who
/// owns the name, and only a new owner (a restarted or replaced server) is asked again.
class DBusNotificationPort final : public DesktopNotificationPort {
 public:
  explicit DBusNotificationPort(QDBusConnection connection,
                                int callTimeoutMilliseconds = kNotificationCallTimeoutMilliseconds);

  /// GetNameOwner on the bus, GetCapabilities when the owner is new, then Notify; done(false) as soon
  /// as one of them fails or times out. Actions are sent only to a server with the "actions"
  /// capability; their handler runs when that server reports ActionInvoked for the notification's id,
  /// and is forgotten then or when the server reports the notification closed.
  void Send(Builder build, Done done) override;

 private:
  /// Calls the method and hands its reply (or error) to onReply from the event loop. A call still
  /// unanswered when the port goes away never calls back.
  void Call(const QDBusMessage& call, std::function<void(const QDBusMessage& reply)> onReply);
  void AskCapabilities(Builder build, Done done);
  void Notify(const DesktopNotification& notification, Done done);

  QDBusConnection connection_;
  int callTimeoutMilliseconds_;
  QString cachedOwner_;  ///< empty: nothing cached
  QStringList cachedCapabilities_;
  std::map<uint, std::function<void(const QString& actionKey)>> actionHandlers_;  ///< by notification id
  NotificationSignalReceiver signals_;
  QObject calls_;  ///< parent of the watchers of unanswered calls; destroyed first
};

/// Popups as frameless, always-on-top tool windows near the bottom-right corner of the primary screen,
/// stacked upwards when several are open: the title in bold over the text, both plain text. A click
/// closes one. Refuses (false) without a QApplication or off its thread.
class WidgetPopupPort final : public PopupPort {
 public:
  bool ShowPopup(const QString& title, const QString& text, int timeoutMilliseconds) override;
  /// A reminder popup with a button for each action ("Snooze 10 minutes", "Open Almanex", object names
  /// "snooze" and "default"); a button closes the popup, then runs its action.
  bool ShowReminderPopup(const QString& title, const QString& text, const ReminderActions& actions) override;
};

/// Object name of our popup windows, for finding them among the top-level widgets.
inline constexpr char kBalloonPopupObjectName[] = "AlmanexBalloonPopup";

}  // namespace almanex

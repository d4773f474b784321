#include "Notifier.h"

#include "ApplicationIdentity.h"

#include <QApplication>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QFont>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QList>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>
#include <ostream>

#include "WidgetsAvailable.h"

namespace almanex {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kObjectPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kApplicationName = QStringLiteral("Almanex");
const QString kInformationIconName = QStringLiteral("dialog-information");
const QString kBodyMarkupCapability = QStringLiteral("body-markup");
const QString kActionsCapability = QStringLiteral("actions");

constexpr uchar kUrgencyNormal = 1;
constexpr int kPopupWidth = 360;
constexpr int kPopupMargin = 12;  // between the screen's free area and a popup
constexpr int kPopupSpacing = 8;  // between stacked popups

class BalloonPopup;
void RestackPopups();

/// Our popup: title and text as plain text, closed by a click anywhere on it. It is as high as its
/// wrapped text, up to a third of the screen's height; a longer text scrolls.
class BalloonPopup final : public QWidget {
 public:
  BalloonPopup(const QString& title, const QString& text, const ReminderActions& actions = {})
      : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus) {
    setObjectName(QString::fromLatin1(kBalloonPopupObjectName));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    setForegroundRole(QPalette::ToolTipText);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMarginLeft, kMarginTop, kMarginRight, kMarginBottom);
    layout->setSpacing(kSpacing);
    title_ = MakeLabel(QStringLiteral("title"), title);
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    layout->addWidget(title_);
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("scroll"));
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setWidgetResizable(true);
    scroll_->setBackgroundRole(QPalette::ToolTipBase);
    scroll_->viewport()->setBackgroundRole(QPalette::ToolTipBase);
    text_ = MakeLabel(QStringLiteral("text"), text);
    text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    scroll_->setWidget(text_);
    layout->addWidget(scroll_);
    if (actions.Any()) {
      buttons_ = new QWidget(this);
      auto* row = new QHBoxLayout(buttons_);
      row->setContentsMargins(0, 0, 0, 0);
      row->addStretch();
      AddButton(*row, QString::fromLatin1(kSnoozeActionKey), QString::fromLatin1(kSnoozeActionText), actions.snooze);
      AddButton(*row, QString::fromLatin1(kOpenActionKey), QString::fromLatin1(kOpenActionText), actions.open);
      layout->addWidget(buttons_);
    }
    FitToText();
  }

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    QWidget::mousePressEvent(event);
    close();
  }
  void hideEvent(QHideEvent* event) override {
    QWidget::hideEvent(event);
    RestackPopups();  // the others close the gap
  }

 private:
  static constexpr int kMarginLeft = 10;
  static constexpr int kMarginTop = 8;
  static constexpr int kMarginRight = 10;
  static constexpr int kMarginBottom = 10;
  static constexpr int kSpacing = 4;

  /// Width fixed; height from the wrapped texts, capped at a third of the screen's free height.
  void FitToText() {
    const int inner = kPopupWidth - kMarginLeft - kMarginRight;
    const int titleHeight = title_->heightForWidth(inner);
    int chrome = kMarginTop + kSpacing + kMarginBottom + titleHeight;
    if (buttons_ != nullptr) chrome += kSpacing + buttons_->sizeHint().height();
    int textHeight = text_->heightForWidth(inner);
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int cap = screen != nullptr ? screen->availableGeometry().height() / 3 : chrome + textHeight;
    if (chrome + textHeight > cap) {
      scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
      textHeight = std::max(1, cap - chrome);
    } else {
      scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    title_->setFixedHeight(titleHeight);
    scroll_->setFixedHeight(textHeight);
    setFixedSize(kPopupWidth, chrome + textHeight);
  }

  QLabel* MakeLabel(const QString& name, const QString& text) {
    auto* label = new QLabel(this);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);  // "Tom & <Jerry>" is a name, not markup
    label->setWordWrap(true);
    label->setText(text);
    label->setForegroundRole(QPalette::ToolTipText);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);  // a click on the text closes the popup too
    return label;
  }

  /// A button that closes the popup and then runs its action (the action may show other windows).
  void AddButton(QHBoxLayout& row, const QString& name, const QString& caption, const std::function<void()>& action) {
    if (!action) return;
    auto* button = new QPushButton(caption, buttons_);
    button->setObjectName(name);
    button->setFocusPolicy(Qt::NoFocus);  // the popup never takes the keyboard from the user's work
    connect(button, &QPushButton::clicked, this, [this, action] {
      close();
      action();
    });
    row.addWidget(button);
  }

  QLabel* title_ = nullptr;
  QLabel* text_ = nullptr;
  QWidget* buttons_ = nullptr;
  QScrollArea* scroll_ = nullptr;
};

QList<QPointer<BalloonPopup>>& OpenPopups() {
  static QList<QPointer<BalloonPopup>> popups;
  return popups;
}

/// Stacks the open popups upwards from the bottom-right of the primary screen's free area, oldest at
/// the bottom, without gaps; back to the bottom when the stack would leave the screen.
void RestackPopups() {
  QList<QPointer<BalloonPopup>>& popups = OpenPopups();
  popups.removeAll(nullptr);
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  int bottom = area.bottom() - kPopupMargin;  // last row a popup may cover
  for (const QPointer<BalloonPopup>& popup : popups) {
    if (popup == nullptr || popup->isHidden()) continue;
    const QSize size = popup->size();
    if (bottom - size.height() + 1 < area.top()) bottom = area.bottom() - kPopupMargin;
    popup->move(area.right() - kPopupMargin - size.width() + 1, bottom - size.height() + 1);
    bottom -= size.height() + kPopupSpacing;
  }
}

}  // namespace

int BalloonTimeoutMilliseconds(BalloonKind kind) {
  return kind == BalloonKind::Reminder ? 0 : kNoticeTimeoutMilliseconds;
}

QString EscapeNotificationMarkup(const QString& text) {
  QString escaped;
  escaped.reserve(text.size() + text.size() / 8);
  for (const QChar character : text) {
    switch (character.unicode()) {
      case u'&':
        escaped += QLatin1String("&amp;");
        break;
      case u'<':
        escaped += QLatin1String("&lt;");
        break;
      case u'>':
        escaped += QLatin1String("&gt;");
        break;
      case u'"':
        escaped += QLatin1String("&quot;");
        break;
      case u'\'':
        // Numeric: both Pango (GNOME and most servers) and Qt rich text (Plasma) read it.
        escaped += QLatin1String("&#39;");
        break;
      default:
        escaped += character;
        break;
    }
  }
  return escaped;
}

QString NormalizeLineBreaks(const QString& text) {
  QString normalized = text;
  normalized.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  normalized.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return normalized;
}

NotificationRouter::NotificationRouter(TrayPort& tray, DesktopNotificationPort& desktop, PopupPort& popup,
                                       std::ostream& lastResort)
    : tray_(tray), desktop_(desktop), popup_(popup), lastResort_(lastResort) {}

void NotificationRouter::ShowBalloon(const QString& text, const QString& title, BalloonKind kind) {
  Deliver(text, title, kind, {});
}

void NotificationRouter::Deliver(const QString& text, const QString& title, BalloonKind kind, Routed routed) {
  Enqueue({text, title, kind, std::move(routed)});
}

void NotificationRouter::ShowReminder(const QString& text, const QString& title, const ReminderActions& actions) {
  DeliverReminder(text, title, actions, {});
}

void NotificationRouter::DeliverReminder(const QString& text, const QString& title, ReminderActions actions,
                                         Routed routed) {
  Enqueue({text, title, BalloonKind::Reminder, std::move(routed), std::move(actions)});
}

void NotificationRouter::Enqueue(Balloon balloon) {
  waiting_.push_back(std::move(balloon));
  SendNext();
}

void NotificationRouter::SendNext() {
  if (pumping_) return;  // the loop below goes on with the next balloon
  pumping_ = true;
  while (!sending_ && !waiting_.empty()) {
    sending_ = true;
    const Balloon& balloon = waiting_.front();
    desktop_.Send(
        [text = balloon.text, title = balloon.title, kind = balloon.kind, actions = balloon.actions](bool bodyMarkup) {
          DesktopNotification notification = BuildDesktopNotification(text, title, kind, bodyMarkup);
          if (actions.Any()) {
            if (actions.open) {
              notification.actions << QString::fromLatin1(kOpenActionKey) << QString::fromLatin1(kOpenActionText);
            }
            if (actions.snooze) {
              notification.actions << QString::fromLatin1(kSnoozeActionKey) << QString::fromLatin1(kSnoozeActionText);
            }
            notification.onAction = [actions](const QString& key) {
              if (key == QLatin1String(kOpenActionKey) && actions.open) actions.open();
              if (key == QLatin1String(kSnoozeActionKey) && actions.snooze) actions.snooze();
            };
          }
          return notification;
        },
        [this](bool delivered) { Finish(delivered); });
  }
  pumping_ = false;
}

void NotificationRouter::Finish(bool delivered) {
  const Balloon balloon = std::move(waiting_.front());
  waiting_.pop_front();
  const BalloonRoute route = delivered ? BalloonRoute::DesktopNotification : ShowWithoutService(balloon);
  sending_ = false;
  if (balloon.routed) balloon.routed(route);
  SendNext();
}

BalloonRoute NotificationRouter::ShowWithoutService(const Balloon& balloon) {
  const int timeout = BalloonTimeoutMilliseconds(balloon.kind);
  if (balloon.kind == BalloonKind::Notice && tray_.HasTray()) {
    tray_.ShowTrayMessage(balloon.title, balloon.text, timeout);
    return BalloonRoute::Tray;
  }
  const QString title = NormalizeLineBreaks(balloon.title);
  const QString text = NormalizeLineBreaks(balloon.text);
  if (balloon.actions.Any() ? popup_.ShowReminderPopup(title, text, balloon.actions)
                            : popup_.ShowPopup(title, text, timeout)) {
    return BalloonRoute::Popup;
  }
  // Nothing on screen can take it: leave it where a terminal or the session log shows it.
  const QString line = kApplicationName + QLatin1String(": ") + balloon.title + QLatin1String(": ") + balloon.text;
  lastResort_ << NormalizeLineBreaks(line).toStdString() << '\n' << std::flush;
  return BalloonRoute::StandardError;
}

DesktopNotification NotificationRouter::BuildDesktopNotification(const QString& text, const QString& title,
                                                                 BalloonKind kind, bool bodyMarkup) {
  DesktopNotification notification;
  notification.appName = kApplicationName;
  notification.replacesId = 0;
  // The installed icon by its theme name; without an install, the information icon the server surely has.
  notification.appIcon =
      QIcon::hasThemeIcon(QLatin1String(kDesktopEntryId)) ? QString::fromLatin1(kDesktopEntryId) : kInformationIconName;
  notification.summary = NormalizeLineBreaks(title);
  const QString body = NormalizeLineBreaks(text);
  notification.body = bodyMarkup ? EscapeNotificationMarkup(body) : body;
  notification.hints.insert(QStringLiteral("urgency"), QVariant::fromValue(kUrgencyNormal));
  notification.hints.insert(QStringLiteral("desktop-entry"), QString::fromLatin1(kDesktopEntryId));
  notification.expireTimeout = BalloonTimeoutMilliseconds(kind);
  return notification;
}

void NotificationSignalReceiver::ActionInvoked(uint id, const QString& actionKey) {
  if (actionInvoked) actionInvoked(id, actionKey);
}

void NotificationSignalReceiver::NotificationClosed(uint id, uint reason) {
  Q_UNUSED(reason);
  if (closed) closed(id);
}

DBusNotificationPort::DBusNotificationPort(QDBusConnection connection, int callTimeoutMilliseconds)
    : connection_(std::move(connection)), callTimeoutMilliseconds_(callTimeoutMilliseconds) {
  signals_.actionInvoked = [this](uint id, const QString& actionKey) {
    const auto handler = actionHandlers_.find(id);
    if (handler == actionHandlers_.end()) return;  // not ours, or its action already ran
    const auto onAction = std::move(handler->second);
    actionHandlers_.erase(handler);
    onAction(actionKey);
  };
  signals_.closed = [this](uint id) { actionHandlers_.erase(id); };
  if (connection_.isConnected()) {
    connection_.connect(kService, kObjectPath, kInterface, QStringLiteral("ActionInvoked"), &signals_,
                        SLOT(ActionInvoked(uint, QString)));
    connection_.connect(kService, kObjectPath, kInterface, QStringLiteral("NotificationClosed"), &signals_,
                        SLOT(NotificationClosed(uint, uint)));
  }
}

void DBusNotificationPort::Call(const QDBusMessage& call, std::function<void(const QDBusMessage& reply)> onReply) {
  auto* watcher = new QDBusPendingCallWatcher(connection_.asyncCall(call, callTimeoutMilliseconds_), &calls_);
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &calls_,
                   [watcher, onReply = std::move(onReply)](QDBusPendingCallWatcher*) {
                     watcher->deleteLater();
                     onReply(watcher->reply());
                   });
}

void DBusNotificationPort::Send(Builder build, Done done) {
  if (!connection_.isConnected()) {
    done(false);
    return;
  }
  // The bus itself answers who owns the name; only a new owner is asked for its capabilities.
  QDBusMessage call =
      QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                     QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetNameOwner"));
  call << kService;
  Call(call, [this, build = std::move(build), done = std::move(done)](const QDBusMessage& reply) mutable {
    QString owner;
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
      owner = reply.arguments().constFirst().toString();
    }
    if (!owner.isEmpty() && owner == cachedOwner_) {
      Notify(build(cachedCapabilities_.contains(kBodyMarkupCapability)), std::move(done));
    } else {
      AskCapabilities(std::move(build), std::move(done));
    }
  });
}

void DBusNotificationPort::AskCapabilities(Builder build, Done done) {
  // Asked by name even when nobody owns it yet: the bus may start an activatable server for us.
  const QDBusMessage call =
      QDBusMessage::createMethodCall(kService, kObjectPath, kInterface, QStringLiteral("GetCapabilities"));
  Call(call, [this, build = std::move(build), done = std::move(done)](const QDBusMessage& reply) mutable {
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
      cachedOwner_.clear();
      done(false);
      return;
    }
    cachedCapabilities_ = reply.arguments().constFirst().toStringList();
    cachedOwner_ = reply.service();  // the unique name of the server that answered
    Notify(build(cachedCapabilities_.contains(kBodyMarkupCapability)), std::move(done));
  });
}

void DBusNotificationPort::Notify(const DesktopNotification& built, Done done) {
  DesktopNotification notification = built;
  if (!cachedCapabilities_.contains(kActionsCapability)) {
    // A server without actions would show the action keys as text, or nothing to press.
    notification.actions.clear();
    notification.onAction = nullptr;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kObjectPath, kInterface, QStringLiteral("Notify"));
  call << notification.appName << QVariant::fromValue(notification.replacesId) << notification.appIcon
       << notification.summary << notification.body << notification.actions << notification.hints
       << QVariant::fromValue(notification.expireTimeout);
  Call(call, [this, done = std::move(done), onAction = notification.onAction](const QDBusMessage& reply) {
    const bool delivered = reply.type() == QDBusMessage::ReplyMessage;
    if (!delivered) cachedOwner_.clear();  // whoever answers next is asked for its capabilities again
    if (delivered && onAction && !reply.arguments().isEmpty()) {
      actionHandlers_[reply.arguments().constFirst().toUInt()] = onAction;
    }
    done(delivered);
  });
}

bool WidgetPopupPort::ShowReminderPopup(const QString& title, const QString& text, const ReminderActions& actions) {
  if (!CanShowWidgets()) return false;
  auto* popup = new BalloonPopup(title, text, actions);
  OpenPopups().append(popup);
  popup->show();
  RestackPopups();
  return true;
}

bool WidgetPopupPort::ShowPopup(const QString& title, const QString& text, int timeoutMilliseconds) {
  if (!CanShowWidgets()) return false;
  auto* popup = new BalloonPopup(title, text);
  OpenPopups().append(popup);
  if (timeoutMilliseconds > 0) QTimer::singleShot(timeoutMilliseconds, popup, &QWidget::close);
  popup->show();
  RestackPopups();
  return true;
}

}  // namespace almanex

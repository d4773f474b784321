#include "TrayIconUnit.h"

#include "ApplicationIdentity.h"

#include <QColor>
#include <QCursor>
#include <QDBusConnection>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <algorithm>
#include <iostream>

namespace almanex {

namespace {

const QString kEllipsis = QStringLiteral("...");

/// Length in UTF-16 units of the first count code points of text.
qsizetype UnitsOfFirstCodePoints(const QString& text, qsizetype count) {
  qsizetype units = 0;
  const qsizetype size = text.size();
  for (qsizetype points = 0; points < count && units < size; ++points) {
    const bool pair = text.at(units).isHighSurrogate() && units + 1 < size && text.at(units + 1).isLowSurrogate();
    units += pair ? 2 : 1;
  }
  return units;  // [0, size]
}

QPixmap DrawCalendarPage(int side) {
  QPixmap pixmap(side, side);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal unit = side / 16.0;  // drawn on a 16 x 16 grid
  const QRectF page(unit * 1, unit * 2, unit * 14, unit * 13);
  const qreal radius = unit * 2;

  QPainterPath outline;
  outline.addRoundedRect(page, radius, radius);
  painter.fillPath(outline, QColor(0xfa, 0xfa, 0xfa));
  // The red band across the top, clipped to the page's rounded corners.
  painter.save();
  painter.setClipPath(outline);
  painter.fillRect(QRectF(page.left(), page.top(), page.width(), unit * 4), QColor(0xd3, 0x2f, 0x2f));
  painter.restore();
  painter.setPen(QPen(QColor(0x42, 0x42, 0x42), std::max(1.0, unit * 0.75)));
  painter.drawPath(outline);
  // Two binder rings and a grid of days, one of them marked.
  painter.setPen(QPen(QColor(0x42, 0x42, 0x42), std::max(1.0, unit)));
  painter.drawLine(QPointF(unit * 5, unit * 1), QPointF(unit * 5, unit * 4));
  painter.drawLine(QPointF(unit * 11, unit * 1), QPointF(unit * 11, unit * 4));
  painter.setPen(Qt::NoPen);
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 4; ++column) {
      const bool marked = row == 1 && column == 2;
      painter.setBrush(marked ? QColor(0xd3, 0x2f, 0x2f) : QColor(0x75, 0x75, 0x75));
      painter.drawRect(QRectF(unit * (3 + column * 2.75), unit * (7.5 + row * 2.5), unit * 1.75, unit * 1.5));
    }
  }
  return pixmap;
}

}  // namespace

qsizetype CodePointCount(const QString& text) {
  qsizetype points = 0;
  const qsizetype size = text.size();
  for (qsizetype units = 0; units < size; ++points) {
    const bool pair = text.at(units).isHighSurrogate() && units + 1 < size && text.at(units + 1).isLowSurrogate();
    units += pair ? 2 : 1;
  }
  return points;
}

QString LeftCodePoints(const QString& text, qsizetype count) { return text.left(UnitsOfFirstCodePoints(text, count)); }

QString CutTrayTip(const QString& text) {
  if (CodePointCount(text) <= kTipMaxCharacters) return text;
  return LeftCodePoints(text, kTipCutCharacters) + kEllipsis;
}

/// The default balloon delivery of an icon: the router and the three ways it routes to.
class TTrayIcon::DefaultDelivery final : public TrayPort {
 public:
  explicit DefaultDelivery(TTrayIcon& owner)
      : owner_(owner), desktop_(QDBusConnection::sessionBus()), router_(*this, desktop_, popup_, std::cerr) {}

  bool HasTray() override { return owner_.added_ && owner_.trayAvailable_ && owner_.icon_->isVisible(); }
  void ShowTrayMessage(const QString& title, const QString& text, int timeoutMilliseconds) override {
    owner_.icon_->showMessage(title, text, QSystemTrayIcon::Information, timeoutMilliseconds);
  }
  BalloonSink& Router() { return router_; }

 private:
  TTrayIcon& owner_;
  DBusNotificationPort desktop_;
  WidgetPopupPort popup_;
  NotificationRouter router_;
};

TTrayIcon::TTrayIcon(QWidget* owner, QObject* parent)
    : QObject(parent),
      owner_(owner),
      icon_(std::make_unique<QSystemTrayIcon>()),
      trayProbe_(&QSystemTrayIcon::isSystemTrayAvailable) {
  trayAvailable_ = trayProbe_();
  connect(icon_.get(), &QSystemTrayIcon::activated, this, &TTrayIcon::OnActivated);
}

TTrayIcon::~TTrayIcon() { DeleteIcon(); }

void TTrayIcon::AddIcon() {
  if (owner_.isNull()) return;
  // QWidget::windowIcon() already falls back to the application's icon.
  const QIcon ownerIcon = owner_->windowIcon();
  icon_->setIcon(ownerIcon.isNull() ? BuiltInIcon() : ownerIcon);
  icon_->setToolTip(NormalizeLineBreaks(LeftCodePoints(owner_->windowTitle(), kOwnerTipMaxCharacters)));
  icon_->show();
  added_ = true;
}

void TTrayIcon::ModifyIcon(const QString& text) {
  if (owner_.isNull()) return;
  const QString tip = NormalizeLineBreaks(CutTrayTip(text));
  // A StatusNotifierItem announces every change over D-Bus; the tip is refreshed every second.
  if (tip != icon_->toolTip()) icon_->setToolTip(tip);
}

void TTrayIcon::ShowBalloon(const QString& text, const QString& title, BalloonKind kind) {
  Balloons().ShowBalloon(LeftCodePoints(text, kBalloonTextMaxCharacters),
                         LeftCodePoints(title, kBalloonTitleMaxCharacters), kind);
}

void TTrayIcon::ShowReminder(const QString& text, const QString& title, const ReminderActions& actions) {
  Balloons().ShowReminder(LeftCodePoints(text, kBalloonTextMaxCharacters),
                          LeftCodePoints(title, kBalloonTitleMaxCharacters), actions);
}

void TTrayIcon::DeleteIcon() {
  if (owner_.isNull()) return;
  icon_->hide();
  added_ = false;
}

void TTrayIcon::SetContextMenu(QMenu* menu) {
  contextMenu_ = menu;
  icon_->setContextMenu(menu);
}

void TTrayIcon::RefreshTip() { emit TipAboutToShow(); }

bool TTrayIcon::CheckTrayAppeared() {
  if (trayAvailable_ && ++looksSkipped_ < kPresentTrayLookInterval) return false;
  looksSkipped_ = 0;
  const bool available = trayProbe_();
  const bool appeared = available && !trayAvailable_;
  const bool lost = !available && trayAvailable_;
  trayAvailable_ = available;
  if (lost) Q_EMIT TrayLost();
  if (!appeared) return false;
  if (added_) {
    // Hiding and showing again makes Qt register the icon with the tray that is there now.
    icon_->hide();
    icon_->show();
  }
  emit TrayAppeared();
  return true;
}

void TTrayIcon::SetBalloonSink(BalloonSink* sink) { balloonSink_ = sink; }

void TTrayIcon::SetTrayProbe(std::function<bool()> probe) {
  trayProbe_ = probe ? std::move(probe) : std::function<bool()>(&QSystemTrayIcon::isSystemTrayAvailable);
  trayAvailable_ = trayProbe_();
  looksSkipped_ = 0;
}

QIcon TTrayIcon::BuiltInIcon() {
  // Drawn on every call rather than kept in a static: pixmaps must not outlive the application.
  QIcon drawn;
  for (const int side : {16, 22, 24, 32, 48, 64, 128}) drawn.addPixmap(DrawCalendarPage(side));
  return drawn;
}

QIcon TTrayIcon::ApplicationIcon() { return QIcon::fromTheme(QLatin1String(kDesktopEntryId), BuiltInIcon()); }

void TTrayIcon::OnActivated(QSystemTrayIcon::ActivationReason reason) {
  switch (reason) {
    case QSystemTrayIcon::Trigger:
    case QSystemTrayIcon::DoubleClick:
      emit DoubleClicked();
      break;
    case QSystemTrayIcon::Context:
      if (contextMenu_.isNull()) emit ContextMenuRequested(QCursor::pos());
      break;
    case QSystemTrayIcon::MiddleClick:
    case QSystemTrayIcon::Unknown:
      break;
  }
}

BalloonSink& TTrayIcon::Balloons() {
  if (balloonSink_ != nullptr) return *balloonSink_;
  // Made on first use: the session bus is not touched by a program that never shows a balloon.
  if (!defaultDelivery_) defaultDelivery_ = std::make_unique<DefaultDelivery>(*this);
  return defaultDelivery_->Router();
}

}  // namespace almanex

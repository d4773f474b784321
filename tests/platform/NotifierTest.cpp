// Balloon routing with fakes, the Notify arguments, markup escaping, and our own popup window.

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>
#include <vector>

#include "platform/Notifier.h"
#include "tests/common/Fakes.h"
#include "tests/common/QtPrinting.h"

namespace almanex {
namespace {

using namespace Qt::StringLiterals;

/// A notification service that answers at once, or (holdsAnswers) only when the test answers for it.
class FakeDesktop final : public DesktopNotificationPort {
 public:
  void Send(Builder build, Done done) override {
    if (!capabilities) {
      done(false);
      return;
    }
    sent.push_back(build(capabilities->contains(u"body-markup"_s)));
    if (holdsAnswers) {
      unanswered.push_back(std::move(done));
      return;
    }
    done(accepts);
  }
  /// Answers the oldest call still waiting.
  void Answer(bool delivered) {
    ASSERT_FALSE(unanswered.empty());
    Done done = std::move(unanswered.front());
    unanswered.erase(unanswered.begin());
    done(delivered);
  }
  std::optional<QStringList> capabilities;  // nullopt: no service
  bool accepts = true;
  bool holdsAnswers = false;
  std::vector<DesktopNotification> sent;
  std::vector<Done> unanswered;
};

/// A router over three fakes and a string stream as its last resort.
struct RouterRig {
  test::FakeTray tray;
  FakeDesktop desktop;
  test::FakePopup popup;
  std::ostringstream lastResort;
  NotificationRouter router{tray, desktop, popup, lastResort};

  /// Hands one balloon to the router; the way it went, once it has gone.
  std::optional<BalloonRoute> Deliver(const QString& text, const QString& title, BalloonKind kind) {
    auto route = std::make_shared<std::optional<BalloonRoute>>();
    router.Deliver(text, title, kind, [route](BalloonRoute taken) { *route = taken; });
    routes.push_back(route);
    return *route;
  }
  std::vector<std::shared_ptr<std::optional<BalloonRoute>>> routes;  // of every Deliver, in order
};

struct RouteCase {
  const char* name;
  BalloonKind kind;
  std::optional<QStringList> capabilities;
  bool serviceAccepts;
  bool trayPresent;
  bool popupPossible;
  BalloonRoute expected;
};
void PrintTo(const RouteCase& row, std::ostream* out) { *out << row.name; }

const QStringList kPlainServer{u"body"_s, u"actions"_s};

class RouteTest : public ::testing::TestWithParam<RouteCase> {};

TEST_P(RouteTest, BalloonTakesTheFirstWayThatWorks) {
  const RouteCase& routeCase = GetParam();
  RouterRig rig;
  rig.desktop.capabilities = routeCase.capabilities;
  rig.desktop.accepts = routeCase.serviceAccepts;
  rig.tray.present = routeCase.trayPresent;
  rig.popup.possible = routeCase.popupPossible;
  const QString text = u"Since Birthday(12/8/2000), it has passed 26 years"_s;
  const QString title = u"Tom & <Jerry>"_s;

  EXPECT_EQ(rig.Deliver(text, title, routeCase.kind), routeCase.expected);

  const int timeout = routeCase.kind == BalloonKind::Reminder ? 0 : 3000;
  const auto expectShown = [&](const std::vector<test::ShownMessage>& shown, bool expected) {
    ASSERT_EQ(shown.size(), expected ? 1u : 0u);
    if (!expected) return;
    EXPECT_EQ(shown[0].title, title);  // as typed: these ways never read markup
    EXPECT_EQ(shown[0].text, text);
    EXPECT_EQ(shown[0].timeoutMilliseconds, timeout);
  };
  expectShown(rig.tray.shown, routeCase.expected == BalloonRoute::Tray);
  expectShown(rig.popup.shown, routeCase.expected == BalloonRoute::Popup);
  EXPECT_EQ(rig.desktop.sent.size(), routeCase.capabilities.has_value() ? 1u : 0u);
  if (routeCase.expected == BalloonRoute::StandardError) {
    EXPECT_EQ(rig.lastResort.str(), "Almanex: Tom & <Jerry>: Since Birthday(12/8/2000), it has passed 26 years\n");
  } else {
    EXPECT_EQ(rig.lastResort.str(), "");
  }
}

const RouteCase kRouteCases[] = {
    {"ServiceFirstEvenWithTray", BalloonKind::Notice, kPlainServer, true, true, true,
     BalloonRoute::DesktopNotification},
    {"ServiceTakesReminder", BalloonKind::Reminder, kPlainServer, true, false, true, BalloonRoute::DesktopNotification},
    {"NoServiceNoticeGoesToTray", BalloonKind::Notice, std::nullopt, true, true, true, BalloonRoute::Tray},
    {"NoServiceReminderGoesToPopupNotTray", BalloonKind::Reminder, std::nullopt, true, true, true, BalloonRoute::Popup},
    {"NoServiceNoTrayNoticeGoesToPopup", BalloonKind::Notice, std::nullopt, true, false, true, BalloonRoute::Popup},
    {"RefusingServiceNoticeGoesToTray", BalloonKind::Notice, kPlainServer, false, true, true, BalloonRoute::Tray},
    {"RefusingServiceReminderGoesToPopup", BalloonKind::Reminder, kPlainServer, false, true, true, BalloonRoute::Popup},
    {"NothingReminderGoesToStderr", BalloonKind::Reminder, std::nullopt, true, true, false,
     BalloonRoute::StandardError},
    {"NothingNoticeGoesToStderr", BalloonKind::Notice, std::nullopt, true, false, false, BalloonRoute::StandardError},
};

INSTANTIATE_TEST_SUITE_P(Table, RouteTest, ::testing::ValuesIn(kRouteCases),
                         [](const auto& info) { return std::string(info.param.name); });

// While the service has not answered, the caller goes on and later balloons wait: each one is shown,
// by whichever way, in the order it came.
TEST(NotificationRouter, BalloonsWaitForTheServiceInOrder) {
  RouterRig rig;
  rig.desktop.capabilities = kPlainServer;
  rig.desktop.holdsAnswers = true;
  EXPECT_EQ(rig.Deliver(u"first"_s, u"1"_s, BalloonKind::Reminder), std::nullopt);
  EXPECT_EQ(rig.Deliver(u"second"_s, u"2"_s, BalloonKind::Reminder), std::nullopt);
  EXPECT_EQ(rig.Deliver(u"third"_s, u"3"_s, BalloonKind::Reminder), std::nullopt);
  ASSERT_EQ(rig.desktop.sent.size(), 1u);  // one at a time with the service
  EXPECT_TRUE(rig.popup.shown.empty());

  rig.desktop.Answer(false);  // the first one fails: the popup takes it, then the second is sent
  ASSERT_EQ(rig.popup.shown.size(), 1u);
  EXPECT_EQ(rig.popup.shown[0].text, u"first"_s);
  ASSERT_EQ(rig.desktop.sent.size(), 2u);
  EXPECT_EQ(rig.desktop.sent[1].body, u"second"_s);
  rig.desktop.Answer(true);
  ASSERT_EQ(rig.desktop.sent.size(), 3u);
  EXPECT_EQ(rig.desktop.sent[2].body, u"third"_s);
  rig.desktop.Answer(false);
  ASSERT_EQ(rig.popup.shown.size(), 2u);
  EXPECT_EQ(rig.popup.shown[1].text, u"third"_s);
  EXPECT_TRUE(rig.desktop.unanswered.empty());
  EXPECT_EQ(*rig.routes[0], BalloonRoute::Popup);
  EXPECT_EQ(*rig.routes[1], BalloonRoute::DesktopNotification);
  EXPECT_EQ(*rig.routes[2], BalloonRoute::Popup);
}

struct MarkupCase {
  const char* name;
  QStringList capabilities;
  QString body;
};
void PrintTo(const MarkupCase& row, std::ostream* out) { *out << row.name; }

class MarkupTest : public ::testing::TestWithParam<MarkupCase> {};

TEST_P(MarkupTest, BodyIsEscapedOnlyForMarkupServersAndSummaryNever) {
  RouterRig rig;
  rig.desktop.capabilities = GetParam().capabilities;
  rig.Deliver(u"Tom & <Jerry>"_s, u"Tom & <Jerry>"_s, BalloonKind::Reminder);
  ASSERT_EQ(rig.desktop.sent.size(), 1u);
  EXPECT_EQ(rig.desktop.sent[0].summary, u"Tom & <Jerry>"_s);
  EXPECT_EQ(rig.desktop.sent[0].body, GetParam().body);
}

const MarkupCase kMarkupCases[] = {
    {"NoCapabilities", {}, u"Tom & <Jerry>"_s},
    {"PlainBody", {u"body"_s, u"persistence"_s}, u"Tom & <Jerry>"_s},
    {"MarkupBody", {u"body"_s, u"body-markup"_s, u"body-hyperlinks"_s}, u"Tom &amp; &lt;Jerry&gt;"_s},
    {"SimilarNameIsNotMarkup", {u"body-markupx"_s, u"x-body-markup"_s}, u"Tom & <Jerry>"_s},
};

INSTANTIATE_TEST_SUITE_P(Table, MarkupTest, ::testing::ValuesIn(kMarkupCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct EscapeCase {
  const char* name;
  QString text;
  QString escaped;
};
void PrintTo(const EscapeCase& row, std::ostream* out) { *out << row.name; }

class EscapeTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeTest, ShowsAsTyped) { EXPECT_EQ(EscapeNotificationMarkup(GetParam().text), GetParam().escaped); }

const EscapeCase kEscapeCases[] = {
    {"Empty", QString(), QString()},
    {"Ampersand", u"Tom & Jerry"_s, u"Tom &amp; Jerry"_s},
    {"AngleBrackets", u"<b>bold</b>"_s, u"&lt;b&gt;bold&lt;/b&gt;"_s},
    {"Quotes", u"\"Hi\" 'you'"_s, u"&quot;Hi&quot; &#39;you&#39;"_s},
    {"AnEntityAsTyped", u"&amp;"_s, u"&amp;amp;"_s},
    {"NonAsciiUntouched", u"Grüße € 🎂"_s, u"Grüße € 🎂"_s},
};

INSTANTIATE_TEST_SUITE_P(Table, EscapeTest, ::testing::ValuesIn(kEscapeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DesktopNotificationArguments, NoticeAndReminder) {
  for (const BalloonKind kind : {BalloonKind::Notice, BalloonKind::Reminder}) {
    const DesktopNotification notification = NotificationRouter::BuildDesktopNotification(
        u"first line\r\nsecond line"_s, u"Almanex\r\nTitle"_s, kind, false);
    EXPECT_EQ(notification.appName, u"Almanex"_s);
    EXPECT_EQ(notification.replacesId, 0u);
    EXPECT_EQ(notification.appIcon, u"dialog-information"_s);
    EXPECT_EQ(notification.summary, u"Almanex\nTitle"_s);
    EXPECT_EQ(notification.body, u"first line\nsecond line"_s);
    EXPECT_TRUE(notification.actions.isEmpty());
    ASSERT_EQ(notification.hints.size(), 2);
    // The notification service takes urgency as a byte; strict servers ignore an int.
    EXPECT_EQ(notification.hints.value(u"urgency"_s).metaType(), QMetaType::fromType<uchar>());
    EXPECT_EQ(notification.hints.value(u"urgency"_s).toInt(), 1);
    EXPECT_EQ(notification.hints.value(u"desktop-entry"_s).toString(), u"io.github.quorvel.Almanex"_s);
    EXPECT_EQ(notification.expireTimeout, kind == BalloonKind::Reminder ? 0 : 3000);
  }
}

TEST(LineBreaks, BecomeLineFeeds) { EXPECT_EQ(NormalizeLineBreaks(u"a\r\nb\rc\nd\r\n\r\n"_s), u"a\nb\nc\nd\n\n"_s); }

/// Our popups currently on screen, oldest first.
QList<QWidget*> VisiblePopups() {
  QList<QWidget*> popups;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() == QLatin1String(kBalloonPopupObjectName) && widget->isVisible()) popups.append(widget);
  }
  return popups;
}

QString LabelText(QWidget* popup, const char* name) {
  const auto* label = popup->findChild<QLabel*>(QString::fromLatin1(name));
  return label != nullptr ? label->text() : u"<no label>"_s;
}

/// Closes every popup a test left open.
class PopupTest : public ::testing::Test {
 protected:
  ~PopupTest() override {
    for (QWidget* popup : VisiblePopups()) popup->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  WidgetPopupPort port;
};

TEST_F(PopupTest, ShowsTitleAndTextAsTypedNearTheBottomRight) {
  ASSERT_TRUE(port.ShowPopup(u"Tom & <Jerry>"_s, u"<i>not italic</i>"_s, 0));
  const QList<QWidget*> popups = VisiblePopups();
  ASSERT_EQ(popups.size(), 1);
  QWidget* popup = popups[0];
  EXPECT_EQ(LabelText(popup, "title"), u"Tom & <Jerry>"_s);
  EXPECT_EQ(LabelText(popup, "text"), u"<i>not italic</i>"_s);
  EXPECT_EQ(popup->findChild<QLabel*>(u"title"_s)->textFormat(), Qt::PlainText);
  EXPECT_EQ(popup->findChild<QLabel*>(u"text"_s)->textFormat(), Qt::PlainText);
  EXPECT_TRUE(popup->findChild<QLabel*>(u"title"_s)->font().bold());

  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  const QRect frame = popup->geometry();
  EXPECT_TRUE(area.contains(frame)) << frame.x() << "," << frame.y();
  EXPECT_LE(area.right() - frame.right(), 40);
  EXPECT_LE(area.bottom() - frame.bottom(), 40);
}

TEST_F(PopupTest, SeveralPopupsStackWithoutOverlap) {
  for (int index = 0; index < 3; ++index) {
    ASSERT_TRUE(port.ShowPopup(u"Reminder "_s + QString::number(index), u"Text"_s, 0));
  }
  const QList<QWidget*> popups = VisiblePopups();
  ASSERT_EQ(popups.size(), 3);
  for (int first = 0; first < popups.size(); ++first) {
    for (int second = first + 1; second < popups.size(); ++second) {
      EXPECT_FALSE(popups[first]->geometry().intersects(popups[second]->geometry())) << first << " " << second;
    }
  }
}

TEST_F(PopupTest, AClickClosesIt) {
  ASSERT_TRUE(port.ShowPopup(u"Title"_s, u"A reminder that stays until clicked"_s, 0));
  QPointer<QWidget> popup = VisiblePopups().value(0);
  ASSERT_FALSE(popup.isNull());
  QTest::mouseClick(popup->findChild<QLabel*>(u"text"_s), Qt::LeftButton);  // on the text, too
  EXPECT_FALSE(popup->isVisible());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(popup.isNull());
}

TEST_F(PopupTest, ANoticeClosesAfterItsTimeout) {
  ASSERT_TRUE(port.ShowPopup(u"Almanex"_s, u"Double-click here to re-open Almanex software"_s, 1));
  QPointer<QWidget> popup = VisiblePopups().value(0);
  ASSERT_FALSE(popup.isNull());
  EXPECT_TRUE(QTest::qWaitFor([&] { return popup.isNull() || !popup->isVisible(); }, 10000));
}

}  // namespace
}  // namespace almanex

// The notification service over a real, private D-Bus daemon: what our Notify call carries, the markup
// escaping, the capabilities cache per server, the fall-back when no server takes the balloon, and a
// server that never answers, which must not hold the caller up.
//
// The daemon runs with a configuration of our own instead of --session: the standard session
// configuration lists the system's service folders, and an installed notification daemon would then be
// started by the bus for our "no server" cases. The fake server lives on its own connection in its own
// thread, so that it answers while the test's thread waits in its event loop for our calls' answers.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/types.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QMutex>
#include <QMutexLocker>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>
#include <vector>

#include "platform/Notifier.h"
#include "tests/common/Fakes.h"
#include "tests/common/QtPrinting.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

using namespace Qt::StringLiterals;

const QString kServiceName = u"org.freedesktop.Notifications"_s;
const QString kObjectPath = u"/org/freedesktop/Notifications"_s;

/// One Notify call as the server received it.
struct ReceivedNotify {
  QString signature;
  QString appName;
  uint replacesId = 0;
  QString appIcon;
  QString summary;
  QString body;
  QStringList actions;
  QVariantMap hints;
  int expireTimeout = 0;
};

/// A notification server that records what it is sent. Called on its own thread.
class FakeNotificationServer final : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  /// How the server answers a Notify call.
  enum class Answer { kTakes, kRefuses, kNever };

  FakeNotificationServer(QStringList capabilities, Answer answer)
      : capabilities_(std::move(capabilities)), answer_(answer) {}

  std::vector<ReceivedNotify> Received() const {
    QMutexLocker lock(&mutex_);
    return received_;
  }
  int CapabilityQuestions() const {
    QMutexLocker lock(&mutex_);
    return capabilityQuestions_;
  }

 public slots:
  QStringList GetCapabilities() {
    QMutexLocker lock(&mutex_);
    ++capabilityQuestions_;
    return capabilities_;
  }

  uint Notify(const QString& appName, uint replacesId, const QString& appIcon, const QString& summary,
              const QString& body, const QStringList& actions, const QVariantMap& hints, int expireTimeout) {
    QMutexLocker lock(&mutex_);
    received_.push_back(
        {message().signature(), appName, replacesId, appIcon, summary, body, actions, hints, expireTimeout});
    if (answer_ == Answer::kRefuses) {
      sendErrorReply(QDBusError::Failed, u"refused for the test"_s);
      return 0;
    }
    if (answer_ == Answer::kNever) setDelayedReply(true);  // and no reply is ever sent: a hung server
    return uint(received_.size());
  }

 private:
  mutable QMutex mutex_;
  QStringList capabilities_;
  Answer answer_;
  std::vector<ReceivedNotify> received_;
  int capabilityQuestions_ = 0;
};

/// A fake server on its own connection and thread, owning org.freedesktop.Notifications while it lives.
class ServerHost {
 public:
  ServerHost(const QString& address, const QString& connectionName, QStringList capabilities,
             FakeNotificationServer::Answer answer)
      : connectionName_(connectionName),
        connection_(QDBusConnection::connectToBus(address, connectionName)),
        server_(std::make_unique<FakeNotificationServer>(std::move(capabilities), answer)) {
    server_->moveToThread(&thread_);
    thread_.start();
    registered_ = connection_.isConnected() &&
                  connection_.registerObject(kObjectPath, server_.get(), QDBusConnection::ExportAllSlots) &&
                  connection_.registerService(kServiceName);
  }
  ~ServerHost() {
    Release();
    QDBusConnection::disconnectFromBus(connectionName_);
    thread_.quit();
    thread_.wait();
  }
  /// Gives the name up; the server keeps its records.
  void Release() {
    connection_.unregisterService(kServiceName);
    connection_.unregisterObject(kObjectPath);
  }
  bool Registered() const { return registered_; }
  const FakeNotificationServer& Server() const { return *server_; }
  /// Sends a signal of the notification interface, as a server does when the user acts on a notification.
  void EmitSignal(const QString& name, const QVariantList& arguments) {
    QDBusMessage signal = QDBusMessage::createSignal(kObjectPath, kServiceName, name);
    signal.setArguments(arguments);
    connection_.send(signal);
  }

 private:
  QString connectionName_;
  QDBusConnection connection_;
  QThread thread_;
  std::unique_ptr<FakeNotificationServer> server_;
  bool registered_ = false;
};

/// A private dbus-daemon for one test, a client connection to it, and a router over our real port.
class NotifierBusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const QString program = QStandardPaths::findExecutable(u"dbus-daemon"_s);
    if (program.isEmpty()) GTEST_SKIP() << "dbus-daemon is not installed (package dbus)";
    const std::string config = folder_.File("bus.conf");
    test::WriteFileBytes(config,
                         "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                         " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                         "<busconfig>\n"
                         "  <type>session</type>\n"
                         "  <listen>unix:dir=" +
                             folder_.Path() +
                             "</listen>\n"
                             "  <auth>EXTERNAL</auth>\n"
                             "  <policy context=\"default\">\n"
                             "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                             "    <allow eavesdrop=\"true\"/>\n"
                             "    <allow own=\"*\"/>\n"
                             "  </policy>\n"
                             "</busconfig>\n");
    daemon_.setProgram(program);
    daemon_.setArguments({u"--config-file="_s + QString::fromStdString(config), u"--nofork"_s, u"--print-address"_s});
    daemon_.setProcessChannelMode(QProcess::SeparateChannels);
    daemon_.start();
    ASSERT_TRUE(daemon_.waitForStarted(10000)) << daemon_.errorString().toStdString();
    while (!daemon_.canReadLine() && daemon_.state() == QProcess::Running) {
      ASSERT_TRUE(daemon_.waitForReadyRead(10000)) << "dbus-daemon printed no address";
    }
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    ASSERT_FALSE(address_.isEmpty());
    client_ = QDBusConnection::connectToBus(address_, kClientName);
    ASSERT_TRUE(client_.isConnected()) << client_.lastError().message().toStdString();
    port_ = std::make_unique<DBusNotificationPort>(client_);
    router_ = std::make_unique<NotificationRouter>(tray_, *port_, popup_, lastResort_);
  }

  void TearDown() override {
    EXPECT_TRUE(tray_.shown.empty()) << "no tray here";
    router_.reset();
    port_.reset();
    client_ = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(kClientName);
    if (daemon_.state() != QProcess::NotRunning) {
      ::kill(pid_t(daemon_.processId()), SIGTERM);
      if (!daemon_.waitForFinished(10000)) {
        daemon_.kill();
        daemon_.waitForFinished(10000);
      }
    }
  }

  std::unique_ptr<ServerHost> StartServer(
      const QString& name, QStringList capabilities,
      FakeNotificationServer::Answer answer = FakeNotificationServer::Answer::kTakes) {
    auto host = std::make_unique<ServerHost>(address_, name, std::move(capabilities), answer);
    EXPECT_TRUE(host->Registered());
    return host;
  }

  /// Hands one balloon to the router and lets the event loop run until it has gone its way (bounded).
  std::optional<BalloonRoute> Route(const QString& text, const QString& title, BalloonKind kind) {
    auto route = std::make_shared<std::optional<BalloonRoute>>();
    router_->Deliver(text, title, kind, [route](BalloonRoute taken) { *route = taken; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return route->has_value(); }, kLongestWaitMilliseconds)) << "no route";
    return *route;
  }

  static constexpr int kLongestWaitMilliseconds = 10000;

  const QString kClientName = u"almanex-test-client"_s;
  test::TempDir folder_;
  QProcess daemon_;
  QString address_;
  QDBusConnection client_{QString()};
  test::FakeTray tray_;  // not there: never asked to show anything
  test::FakePopup popup_;
  std::ostringstream lastResort_;
  std::unique_ptr<DBusNotificationPort> port_;
  std::unique_ptr<NotificationRouter> router_;
};

TEST_F(NotifierBusTest, NotifyCarriesANoticeAsTheServerExpectsIt) {
  auto host = StartServer(u"server-plain"_s, {u"body"_s});
  EXPECT_EQ(Route(u"Double-click here to re-open Almanex software"_s, u"Almanex"_s, BalloonKind::Notice),
            BalloonRoute::DesktopNotification);
  const std::vector<ReceivedNotify> received = host->Server().Received();
  ASSERT_EQ(received.size(), 1u);
  const ReceivedNotify& call = received[0];
  EXPECT_EQ(call.signature, u"susssasa{sv}i"_s);
  EXPECT_EQ(call.appName, u"Almanex"_s);
  EXPECT_EQ(call.replacesId, 0u);
  EXPECT_EQ(call.appIcon, u"dialog-information"_s);
  EXPECT_EQ(call.summary, u"Almanex"_s);
  EXPECT_EQ(call.body, u"Double-click here to re-open Almanex software"_s);
  EXPECT_TRUE(call.actions.isEmpty());
  EXPECT_EQ(call.hints.value(u"urgency"_s).metaType(), QMetaType::fromType<uchar>());
  EXPECT_EQ(call.hints.value(u"urgency"_s).toInt(), 1);
  EXPECT_EQ(call.hints.value(u"desktop-entry"_s).toString(), u"io.github.quorvel.Almanex"_s);
  EXPECT_EQ(call.expireTimeout, 3000);
  EXPECT_TRUE(popup_.shown.empty());
}

TEST_F(NotifierBusTest, AReminderNeverExpires) {
  auto host = StartServer(u"server-plain"_s, {u"body"_s});
  Route(u"Since Birthday(12/8/2000), it has passed\r\n26 years"_s, u"Tom"_s, BalloonKind::Reminder);
  const std::vector<ReceivedNotify> received = host->Server().Received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].expireTimeout, 0);
  EXPECT_EQ(received[0].body, u"Since Birthday(12/8/2000), it has passed\n26 years"_s);
}

struct BusMarkupCase {
  const char* name;
  QStringList capabilities;
  QString body;
};
void PrintTo(const BusMarkupCase& row, std::ostream* out) { *out << row.name; }

class NotifierBusMarkupTest : public NotifierBusTest, public ::testing::WithParamInterface<BusMarkupCase> {};

TEST_P(NotifierBusMarkupTest, BodyShowsAsTyped) {
  auto host = StartServer(u"server"_s, GetParam().capabilities);
  Route(u"Tom & <Jerry> \"said\" 'hi'"_s, u"Tom & <Jerry>"_s, BalloonKind::Reminder);
  const std::vector<ReceivedNotify> received = host->Server().Received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].summary, u"Tom & <Jerry>"_s);
  EXPECT_EQ(received[0].body, GetParam().body);
}

const BusMarkupCase kBusMarkupCases[] = {
    {"PlainServer", {u"body"_s, u"actions"_s}, u"Tom & <Jerry> \"said\" 'hi'"_s},
    {"MarkupServer", {u"body"_s, u"body-markup"_s}, u"Tom &amp; &lt;Jerry&gt; &quot;said&quot; &#39;hi&#39;"_s},
};

INSTANTIATE_TEST_SUITE_P(Table, NotifierBusMarkupTest, ::testing::ValuesIn(kBusMarkupCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(NotifierBusTest, CapabilitiesAreAskedOncePerServer) {
  auto plain = StartServer(u"server-plain"_s, {u"body"_s});
  Route(u"a & b"_s, u"one"_s, BalloonKind::Notice);
  Route(u"a & b"_s, u"two"_s, BalloonKind::Notice);
  EXPECT_EQ(plain->Server().CapabilityQuestions(), 1);
  ASSERT_EQ(plain->Server().Received().size(), 2u);

  // Another server takes the name over (a different desktop's daemon): it is asked afresh.
  plain->Release();
  auto markup = StartServer(u"server-markup"_s, {u"body"_s, u"body-markup"_s});
  Route(u"a & b"_s, u"three"_s, BalloonKind::Notice);
  Route(u"a & b"_s, u"four"_s, BalloonKind::Notice);
  EXPECT_EQ(markup->Server().CapabilityQuestions(), 1);
  const std::vector<ReceivedNotify> received = markup->Server().Received();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0].body, u"a &amp; b"_s);
  EXPECT_EQ(received[1].body, u"a &amp; b"_s);
  EXPECT_EQ(plain->Server().Received().size(), 2u);
}

TEST_F(NotifierBusTest, WithoutAServerTheBalloonGoesToThePopup) {
  EXPECT_EQ(Route(u"Tom & <Jerry>"_s, u"Reminder"_s, BalloonKind::Reminder), BalloonRoute::Popup);
  ASSERT_EQ(popup_.shown.size(), 1u);
  EXPECT_EQ(popup_.shown[0].title, u"Reminder"_s);
  EXPECT_EQ(popup_.shown[0].text, u"Tom & <Jerry>"_s);
}

TEST_F(NotifierBusTest, ARefusingServerLeavesTheBalloonToThePopup) {
  auto host = StartServer(u"server-refusing"_s, {u"body"_s}, FakeNotificationServer::Answer::kRefuses);
  EXPECT_EQ(Route(u"text"_s, u"title"_s, BalloonKind::Reminder), BalloonRoute::Popup);
  EXPECT_EQ(host->Server().Received().size(), 1u);
  ASSERT_EQ(popup_.shown.size(), 1u);
  EXPECT_EQ(popup_.shown[0].title, u"title"_s);
  EXPECT_EQ(popup_.shown[0].text, u"text"_s);
}

TEST_F(NotifierBusTest, AServerThatLeftIsNoLongerTrusted) {
  auto host = StartServer(u"server-plain"_s, {u"body"_s});
  EXPECT_EQ(Route(u"first"_s, u"t"_s, BalloonKind::Reminder), BalloonRoute::DesktopNotification);
  host.reset();  // the server ends; its cached capabilities must not make us think it is there
  EXPECT_EQ(Route(u"second"_s, u"t"_s, BalloonKind::Reminder), BalloonRoute::Popup);
  ASSERT_EQ(popup_.shown.size(), 1u);
  EXPECT_EQ(popup_.shown[0].title, u"t"_s);
  EXPECT_EQ(popup_.shown[0].text, u"second"_s);
}

// A server that takes the name but never answers: the caller gets control back at once, the balloons
// fall back to the popup after the reply timeout, one after the other in the order they came.
TEST_F(NotifierBusTest, AHungServerHoldsNobodyUp) {
  auto host = StartServer(u"server-hung"_s, {u"body"_s}, FakeNotificationServer::Answer::kNever);
  // A short reply timeout, so that the balloons fall back soon; the bounded wait below allows far more.
  DBusNotificationPort port(client_, 250);
  NotificationRouter router(tray_, port, popup_, lastResort_);
  std::vector<BalloonRoute> routes;
  const QString texts[] = {u"first"_s, u"second"_s, u"third"_s};
  for (const QString& text : texts) {
    router.Deliver(text, u"Reminder"_s, BalloonKind::Reminder, [&](BalloonRoute route) { routes.push_back(route); });
  }
  // Back from the three calls before any answer could come: a blocking delivery would have shown the
  // first popup (after its timeout) before returning.
  EXPECT_TRUE(popup_.shown.empty());
  EXPECT_TRUE(routes.empty());

  ASSERT_TRUE(QTest::qWaitFor([&] { return routes.size() == 3; }, kLongestWaitMilliseconds));
  EXPECT_EQ(routes, std::vector<BalloonRoute>(3, BalloonRoute::Popup));
  ASSERT_EQ(popup_.shown.size(), 3u);
  for (const test::ShownMessage& shown : popup_.shown) EXPECT_EQ(shown.title, u"Reminder"_s);
  EXPECT_EQ(popup_.shown[0].text, u"first"_s);
  EXPECT_EQ(popup_.shown[1].text, u"second"_s);
  EXPECT_EQ(popup_.shown[2].text, u"third"_s);
  EXPECT_EQ(host->Server().Received().size(), 3u);  // each was offered to the server first
}

// Balloons that a server takes arrive in the order they were given.
TEST_F(NotifierBusTest, BalloonsReachTheServerInOrder) {
  auto host = StartServer(u"server-plain"_s, {u"body"_s});
  int routed = 0;
  for (int i = 0; i < 5; ++i) {
    router_->Deliver(QString::number(i), u"t"_s, BalloonKind::Reminder, [&](BalloonRoute route) {
      EXPECT_EQ(route, BalloonRoute::DesktopNotification);
      ++routed;
    });
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return routed == 5; }, kLongestWaitMilliseconds));
  const std::vector<ReceivedNotify> received = host->Server().Received();
  ASSERT_EQ(received.size(), 5u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(received[std::size_t(i)].body, QString::number(i));
}

// A reminder's actions: offered to a server that lists "actions", run once when it reports the user's
// choice for that notification, and never offered to a server that cannot show them.
TEST_F(NotifierBusTest, AReminderOffersItsActionsAndRunsTheChosenOneOnce) {
  auto host = StartServer(u"server-actions"_s, {u"body"_s, u"actions"_s});
  int snoozed = 0;
  int opened = 0;
  const ReminderActions actions{[&] { ++snoozed; }, [&] { ++opened; }};
  std::optional<BalloonRoute> route;
  router_->DeliverReminder(u"first"_s, u"Tom"_s, actions, [&](BalloonRoute taken) { route = taken; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return route.has_value(); }, kLongestWaitMilliseconds));
  route.reset();
  router_->DeliverReminder(u"second"_s, u"Ann"_s, actions, [&](BalloonRoute taken) { route = taken; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return route.has_value(); }, kLongestWaitMilliseconds));
  EXPECT_EQ(route, BalloonRoute::DesktopNotification);
  const std::vector<ReceivedNotify> received = host->Server().Received();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0].actions, (QStringList{u"default"_s, u"Open Almanex"_s, u"snooze"_s, u"Snooze 10 minutes"_s}));
  EXPECT_EQ(received[0].expireTimeout, 0);

  // Notification 1 is snoozed (twice reported: runs once); 2 is clicked; 7 is somebody else's.
  host->EmitSignal(u"ActionInvoked"_s, {QVariant::fromValue(7u), u"snooze"_s});
  host->EmitSignal(u"ActionInvoked"_s, {QVariant::fromValue(1u), u"snooze"_s});
  host->EmitSignal(u"ActionInvoked"_s, {QVariant::fromValue(1u), u"snooze"_s});
  host->EmitSignal(u"ActionInvoked"_s, {QVariant::fromValue(2u), u"default"_s});
  ASSERT_TRUE(QTest::qWaitFor([&] { return opened == 1; }, kLongestWaitMilliseconds));
  QTest::qWait(50);  // room for a wrong second run to arrive
  EXPECT_EQ(snoozed, 1);
  EXPECT_EQ(opened, 1);
}

TEST_F(NotifierBusTest, AClosedNotificationForgetsItsActions) {
  auto host = StartServer(u"server-actions"_s, {u"body"_s, u"actions"_s});
  int snoozed = 0;
  std::optional<BalloonRoute> route;
  router_->DeliverReminder(u"text"_s, u"Tom"_s, {[&] { ++snoozed; }, {}}, [&](BalloonRoute taken) { route = taken; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return route.has_value(); }, kLongestWaitMilliseconds));
  ASSERT_EQ(host->Server().Received().size(), 1u);
  EXPECT_EQ(host->Server().Received()[0].actions, (QStringList{u"snooze"_s, u"Snooze 10 minutes"_s}));
  host->EmitSignal(u"NotificationClosed"_s, {QVariant::fromValue(1u), QVariant::fromValue(2u)});
  host->EmitSignal(u"ActionInvoked"_s, {QVariant::fromValue(1u), u"snooze"_s});
  // A marker signal after both: once its effect is seen, the two before it have been handled.
  int marker = 0;
  // Its action is reported only once we hold its id (the server records a call before it answers).
  route.reset();
  router_->DeliverReminder(u"marker"_s, u"M"_s, {[&] { ++marker; }, {}}, [&](BalloonRoute taken) { route = taken; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return route.has_value(); }, kLongestWaitMilliseconds));
  ASSERT_EQ(host->Server().Received().size(), 2u);
  host->EmitSignal(u"ActionInvoked"_s, {QVariant::fromValue(2u), u"snooze"_s});
  ASSERT_TRUE(QTest::qWaitFor([&] { return marker == 1; }, kLongestWaitMilliseconds));
  EXPECT_EQ(snoozed, 0);
}

TEST_F(NotifierBusTest, AServerWithoutActionsGetsNone) {
  auto host = StartServer(u"server-plain"_s, {u"body"_s});
  std::optional<BalloonRoute> route;
  router_->DeliverReminder(u"text"_s, u"Tom"_s, {[] {}, [] {}}, [&](BalloonRoute taken) { route = taken; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return route.has_value(); }, kLongestWaitMilliseconds));
  ASSERT_EQ(host->Server().Received().size(), 1u);
  EXPECT_TRUE(host->Server().Received()[0].actions.isEmpty());
}

TEST_F(NotifierBusTest, WithoutAServerTheReminderPopupOffersTheActions) {
  int snoozed = 0;
  std::optional<BalloonRoute> route;
  router_->DeliverReminder(u"text"_s, u"Tom"_s, {[&] { ++snoozed; }, [] {}},
                           [&](BalloonRoute taken) { route = taken; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return route.has_value(); }, kLongestWaitMilliseconds));
  EXPECT_EQ(route, BalloonRoute::Popup);
  ASSERT_EQ(popup_.reminders.size(), 1u);
  EXPECT_EQ(popup_.reminders[0].title, u"Tom"_s);
  ASSERT_TRUE(popup_.reminders[0].actions.snooze && popup_.reminders[0].actions.open);
  popup_.reminders[0].actions.snooze();
  EXPECT_EQ(snoozed, 1);
}

TEST(NotifierNoBus, ADisconnectedBusMeansNoService) {
  DBusNotificationPort port(QDBusConnection::connectToBus(u"unix:path=/nonexistent/almanex-bus"_s, u"nowhere"_s));
  std::optional<bool> delivered;
  port.Send(
      [](bool bodyMarkup) {
        return NotificationRouter::BuildDesktopNotification(u"t"_s, u"t"_s, BalloonKind::Notice, bodyMarkup);
      },
      [&](bool taken) { delivered = taken; });
  EXPECT_EQ(delivered, false);
  QDBusConnection::disconnectFromBus(u"nowhere"_s);
}

}  // namespace
}  // namespace almanex

#include "NotifierBusTest.moc"

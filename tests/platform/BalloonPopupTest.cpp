// Our own popup as the user reads it: a long reminder is shown whole (or scrolls), and the stack closes
// its gaps.

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>

#include "platform/Notifier.h"

namespace almanex {
namespace {

/// Our popups on screen, ordered from the bottom of the screen up.
QList<QWidget*> PopupsBottomUp() {
  QList<QWidget*> popups;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() == QLatin1String(kBalloonPopupObjectName) && widget->isVisible()) popups.append(widget);
  }
  std::sort(popups.begin(), popups.end(), [](QWidget* a, QWidget* b) { return a->y() > b->y(); });
  return popups;
}

class BalloonPopupTest : public ::testing::Test {
 protected:
  ~BalloonPopupTest() override {
    for (QWidget* popup : PopupsBottomUp()) popup->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  WidgetPopupPort port;
};

TEST_F(BalloonPopupTest, AThreeLineReminderIsShownWholeWithItsTitleAboveIt) {
  const QString text = QStringLiteral(
      "Before Birthday(Friday, January 1, 2027), there just left 0.02 years, 0.21 months, 0.93 weeks, 6.50 days.\n"
      "Do not forget the present.\nAnd call the grandparents in the evening, they are waiting for it.");
  ASSERT_TRUE(port.ShowPopup(QStringLiteral("A rather long title of a reminder that wraps as well"), text, 0));
  const QList<QWidget*> popups = PopupsBottomUp();
  ASSERT_EQ(popups.size(), 1);
  QWidget* popup = popups[0];
  QApplication::processEvents();
  const auto* title = popup->findChild<QLabel*>(QStringLiteral("title"));
  const auto* body = popup->findChild<QLabel*>(QStringLiteral("text"));
  const auto* scroll = popup->findChild<QScrollArea*>(QStringLiteral("scroll"));
  ASSERT_TRUE(title != nullptr && body != nullptr && scroll != nullptr);
  EXPECT_GE(title->height(), title->heightForWidth(title->width())) << "the title is not cut";
  EXPECT_GE(scroll->viewport()->height(), body->heightForWidth(scroll->viewport()->width())) << "no line is lost";
  EXPECT_LE(title->geometry().bottom(), scroll->geometry().top()) << "the title does not overlap the text";
  EXPECT_FALSE(scroll->verticalScrollBar()->isVisible());
}

TEST_F(BalloonPopupTest, AHugeReminderStopsAtAThirdOfTheScreenAndScrolls) {
  QString text;
  for (int line = 1; line <= 200; ++line) text += QStringLiteral("Line %1 of a very long reminder\n").arg(line);
  ASSERT_TRUE(port.ShowPopup(QStringLiteral("Long"), text, 0));
  QWidget* popup = PopupsBottomUp().value(0);
  ASSERT_NE(popup, nullptr);
  QApplication::processEvents();
  const int screenHeight = QGuiApplication::primaryScreen()->availableGeometry().height();
  EXPECT_LE(popup->height(), screenHeight / 3);
  const auto* scroll = popup->findChild<QScrollArea*>(QStringLiteral("scroll"));
  ASSERT_NE(scroll, nullptr);
  EXPECT_TRUE(scroll->verticalScrollBar()->isVisible());
  EXPECT_GT(scroll->verticalScrollBar()->maximum(), 0);
}

TEST_F(BalloonPopupTest, ClosingOnePopupMovesTheOthersBackTogether) {
  for (int index = 0; index < 3; ++index) {
    ASSERT_TRUE(port.ShowPopup(QStringLiteral("Reminder %1").arg(index), QStringLiteral("Text"), 0));
  }
  QList<QWidget*> popups = PopupsBottomUp();
  ASSERT_EQ(popups.size(), 3);
  const int lowestTop = popups[0]->y();
  const int middleTop = popups[1]->y();
  popups[1]->close();
  QApplication::processEvents();
  popups = PopupsBottomUp();
  ASSERT_EQ(popups.size(), 2);
  EXPECT_EQ(popups[0]->y(), lowestTop);
  EXPECT_EQ(popups[1]->y(), middleTop) << "the top popup moved down into the gap";
}

TEST_F(BalloonPopupTest, AReminderPopupOffersSnoozeAndOpenAndAButtonRunsItsActionOnce) {
  int snoozed = 0;
  int opened = 0;
  ASSERT_TRUE(port.ShowReminderPopup(QStringLiteral("Tom"), QStringLiteral("Since Birthday"),
                                     {[&] { ++snoozed; }, [&] { ++opened; }}));
  QList<QWidget*> popups = PopupsBottomUp();
  ASSERT_EQ(popups.size(), 1);
  QApplication::processEvents();
  auto* snooze = popups[0]->findChild<QPushButton*>(QStringLiteral("snooze"));
  auto* open = popups[0]->findChild<QPushButton*>(QStringLiteral("default"));
  ASSERT_TRUE(snooze != nullptr && open != nullptr);
  EXPECT_EQ(snooze->text(), QStringLiteral("Snooze 10 minutes"));
  EXPECT_EQ(open->text(), QStringLiteral("Open Almanex"));
  EXPECT_TRUE(snooze->isVisible());
  EXPECT_LE(snooze->geometry().bottom(), popups[0]->height()) << "the buttons fit in the popup";
  const auto* scroll = popups[0]->findChild<QScrollArea*>(QStringLiteral("scroll"));
  ASSERT_NE(scroll, nullptr);
  EXPECT_LE(scroll->geometry().bottom(), snooze->parentWidget()->geometry().top()) << "the text is above them";
  snooze->click();
  EXPECT_EQ(snoozed, 1);
  EXPECT_EQ(opened, 0);
  EXPECT_TRUE(PopupsBottomUp().isEmpty()) << "the popup closes";

  ASSERT_TRUE(
      port.ShowReminderPopup(QStringLiteral("Tom"), QStringLiteral("again"), {[&] { ++snoozed; }, [&] { ++opened; }}));
  popups = PopupsBottomUp();
  ASSERT_EQ(popups.size(), 1);
  popups[0]->findChild<QPushButton*>(QStringLiteral("default"))->click();
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(snoozed, 1);
}

}  // namespace
}  // namespace almanex

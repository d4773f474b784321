// The tray icon: tip and balloon cutting, the null owner, the icon shown, the mouse actions and a
// tray that appears after start-up. Offscreen Qt has no tray, which the no-tray paths rely on.

#include <gtest/gtest.h>

#include <QImage>
#include <QMenu>
#include <QSignalSpy>
#include <QWidget>
#include <memory>
#include <ostream>
#include <vector>

#include "platform/TrayIconUnit.h"
#include "tests/common/Fakes.h"
#include "tests/common/QtPrinting.h"

namespace almanex {
namespace {

using namespace Qt::StringLiterals;

const QString kEmoji = QString::fromUtf8("\xF0\x9F\x8E\x82");  // U+1F382, one code point, two UTF-16 units

QString Repeat(const QString& piece, int count) { return piece.repeated(count); }

/// An owner window titled "Almanex" and an icon on it with a recording balloon sink.
class TrayIconTest : public ::testing::Test {
 protected:
  TrayIconTest() {
    owner.setWindowTitle(QStringLiteral("Almanex"));
    tray = std::make_unique<TTrayIcon>(&owner);
    tray->SetBalloonSink(&sink);
  }
  QWidget owner;
  test::RecordingBalloons sink;
  std::unique_ptr<TTrayIcon> tray;
};

struct TipCase {
  const char* name;
  QString text;
  QString shown;
};
void PrintTo(const TipCase& row, std::ostream* out) { *out << row.name; }

class TipCutTest : public TrayIconTest, public ::testing::WithParamInterface<TipCase> {};

TEST_P(TipCutTest, ModifyIconShowsTheCutTip) {
  tray->AddIcon();
  tray->ModifyIcon(GetParam().text);
  EXPECT_EQ(tray->TipText(), GetParam().shown);
}

const TipCase kTipCases[] = {
    {"Empty", QString(), QString()},
    {"SixtyFourStaysWhole", Repeat(u"x"_s, 64), Repeat(u"x"_s, 64)},
    {"SixtyFiveIsCut", Repeat(u"x"_s, 60) + u"ABCDE"_s, Repeat(u"x"_s, 60) + u"A..."_s},
    {"LongIsCut", Repeat(u"y"_s, 300), Repeat(u"y"_s, 61) + u"..."_s},
    // 64 code points in 65 UTF-16 units: still whole.
    {"SixtyFourCodePointsWithEmoji", Repeat(u"x"_s, 63) + kEmoji, Repeat(u"x"_s, 63) + kEmoji},
    // The 61st code point is an emoji: it is kept whole, not half of it.
    {"EmojiAtTheCut", Repeat(u"x"_s, 60) + kEmoji + Repeat(u"z"_s, 9), Repeat(u"x"_s, 60) + kEmoji + u"..."_s},
    {"TipTextOfTheMainWindow", u"Almanex, my work partner.\r\n12/8/2026 11:22:33 PM, Tuesday"_s,
     u"Almanex, my work partner.\n12/8/2026 11:22:33 PM, Tuesday"_s},
    // CR LF counts as two characters, as in the original 8-bit tip, and is shown as one line break.
    {"LongTipTextOfTheMainWindow",
     u"Almanex, my work partner.\r\nWednesday, 30 September 2026 11:22:33 PM, Wednesday"_s,
     u"Almanex, my work partner.\nWednesday, 30 September 2026 11:22..."_s},
};

INSTANTIATE_TEST_SUITE_P(Table, TipCutTest, ::testing::ValuesIn(kTipCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TipCutRule, EveryLengthOfPlainAndOfEmojiText) {
  for (int length = 0; length <= 200; ++length) {
    for (const QString& piece : {u"a"_s, kEmoji}) {
      const QString text = Repeat(piece, length);
      const QString tip = CutTrayTip(text);
      if (length <= 64) {
        EXPECT_EQ(tip, text) << length;
      } else {
        EXPECT_EQ(tip, Repeat(piece, 61) + u"..."_s) << length;
      }
      EXPECT_LE(CodePointCount(tip), 64) << length;
      // A surrogate pair is never split: the text before "..." is whole pieces.
      EXPECT_FALSE(!tip.isEmpty() && tip.back().isHighSurrogate()) << length;
    }
  }
}

TEST(CodePoints, UnpairedSurrogatesCountAsOneAndStayInPlace) {
  const QString text = QString(QChar(0xD83C)) + u"ab"_s + QChar(0xDF82);  // a lone high and a lone low surrogate
  EXPECT_EQ(CodePointCount(text), 4);
  EXPECT_EQ(LeftCodePoints(text, 2), QString(QChar(0xD83C)) + u"a"_s);
  EXPECT_EQ(LeftCodePoints(text, 10), text);
}

TEST_F(TrayIconTest, AddIconShowsTheOwnerTitleAsTip) {
  tray->AddIcon();
  EXPECT_TRUE(tray->IsIconAdded());
  EXPECT_TRUE(tray->NativeIcon().isVisible());
  EXPECT_EQ(tray->TipText(), u"Almanex"_s);
}

TEST_F(TrayIconTest, AddIconCutsALongOwnerTitleTo127Characters) {
  owner.setWindowTitle(Repeat(u"t"_s, 126) + kEmoji + u"tail"_s);
  tray->AddIcon();
  EXPECT_EQ(tray->TipText(), Repeat(u"t"_s, 126) + kEmoji);
}

TEST_F(TrayIconTest, ShowBalloonCutsTextTo255AndTitleTo63) {
  tray->AddIcon();
  tray->ShowBalloon(Repeat(u"b"_s, 300), Repeat(u"T"_s, 70));
  tray->ShowBalloon(Repeat(kEmoji, 300), Repeat(kEmoji, 70), BalloonKind::Reminder);
  tray->ShowBalloon(u"Tom & <Jerry>"_s, u"Short"_s);
  ASSERT_EQ(sink.shown.size(), 3u);
  EXPECT_EQ(sink.shown[0].text, (Repeat(u"b"_s, 255)).toStdString());
  EXPECT_EQ(sink.shown[0].title, (Repeat(u"T"_s, 63)).toStdString());
  EXPECT_EQ(sink.shown[0].kind, BalloonKind::Notice);
  EXPECT_EQ(sink.shown[1].text, (Repeat(kEmoji, 255)).toStdString());
  EXPECT_EQ(sink.shown[1].title, (Repeat(kEmoji, 63)).toStdString());
  EXPECT_EQ(sink.shown[1].kind, BalloonKind::Reminder);
  EXPECT_EQ(sink.shown[2].text, (u"Tom & <Jerry>"_s).toStdString());
  EXPECT_EQ(sink.shown[2].title, (u"Short"_s).toStdString());
}

TEST_F(TrayIconTest, ShowBalloonLeavesTheTipAlone) {
  tray->AddIcon();
  EXPECT_EQ(tray->TipText(), u"Almanex"_s);
  tray->ShowBalloon(u"Double-click here to re-open Almanex software"_s, u"Almanex"_s);
  EXPECT_EQ(tray->TipText(), u"Almanex"_s);
  tray->ModifyIcon(u"Almanex, my work partner.\r\n1/2/2026, Friday"_s);
  tray->ShowBalloon(u"Since Birthday(1/2/2000), it has passed 26 years"_s, u"Tom"_s, BalloonKind::Reminder);
  EXPECT_EQ(tray->TipText(), u"Almanex, my work partner.\n1/2/2026, Friday"_s);
}

TEST_F(TrayIconTest, DeleteIconRemovesItAndAddIconBringsItBack) {
  tray->AddIcon();
  tray->DeleteIcon();
  EXPECT_FALSE(tray->IsIconAdded());
  EXPECT_FALSE(tray->NativeIcon().isVisible());
  tray->AddIcon();
  EXPECT_TRUE(tray->NativeIcon().isVisible());
}

TEST_F(TrayIconTest, DestructorRemovesTheIcon) {
  tray->AddIcon();
  QPointer<QSystemTrayIcon> native(&tray->NativeIcon());
  tray.reset();
  EXPECT_TRUE(native.isNull());
}

TEST(TrayIconNullOwner, AddModifyDeleteDoNothingButBalloonsArrive) {
  test::RecordingBalloons sink;
  TTrayIcon tray(nullptr);
  tray.SetBalloonSink(&sink);
  tray.AddIcon();
  EXPECT_FALSE(tray.IsIconAdded());
  EXPECT_FALSE(tray.NativeIcon().isVisible());
  tray.ModifyIcon(u"tip"_s);
  EXPECT_EQ(tray.TipText(), QString());
  tray.DeleteIcon();
  // A reminder must not be lost because the icon has no window.
  tray.ShowBalloon(u"text"_s, u"title"_s, BalloonKind::Reminder);
  ASSERT_EQ(sink.shown.size(), 1u);
  EXPECT_EQ(sink.shown[0].text, (u"text"_s).toStdString());
}

TEST(TrayIconNullOwner, AnOwnerDestroyedMeanwhileCountsAsNone) {
  auto owner = std::make_unique<QWidget>();
  owner->setWindowTitle(u"Almanex"_s);
  TTrayIcon tray(owner.get());
  tray.AddIcon();
  tray.ModifyIcon(u"before"_s);
  owner.reset();
  tray.ModifyIcon(u"after"_s);
  EXPECT_EQ(tray.TipText(), u"before"_s);
  tray.DeleteIcon();  // no owner: stays as it was, and nothing crashes
  EXPECT_TRUE(tray.IsIconAdded());
}

/// The share of pixels that are not fully transparent in the icon's 22-pixel image.
double OpaqueShare(const QIcon& icon) {
  const QImage image = icon.pixmap(22, 22).toImage().convertToFormat(QImage::Format_ARGB32);
  if (image.isNull()) return 0;
  int opaque = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) opaque += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
  }
  return double(opaque) / (image.width() * image.height());
}

TEST_F(TrayIconTest, AnOwnerWithoutIconGetsTheBuiltInOne) {
  ASSERT_TRUE(owner.windowIcon().isNull());
  tray->AddIcon();
  EXPECT_GT(OpaqueShare(tray->NativeIcon().icon()), 0.5);
}

TEST_F(TrayIconTest, TheOwnerIconIsShown) {
  QPixmap green(16, 16);
  green.fill(Qt::green);
  owner.setWindowIcon(QIcon(green));
  tray->AddIcon();
  const QImage shown = tray->NativeIcon().icon().pixmap(16, 16).toImage();
  EXPECT_EQ(shown.pixelColor(8, 8), QColor(Qt::green));
}

TEST(BuiltInIcon, HasEverySizeATrayAsksFor) {
  const QIcon icon = TTrayIcon::BuiltInIcon();
  for (const int side : {16, 22, 24, 32, 48, 64}) {
    EXPECT_EQ(icon.pixmap(side, side).size(), QSize(side, side)) << side;
  }
}

struct ActivationCase {
  const char* name;
  QSystemTrayIcon::ActivationReason reason;
  bool menuSet;
  int doubleClicked;
  int contextMenuRequested;
};
void PrintTo(const ActivationCase& row, std::ostream* out) { *out << row.name; }

class ActivationTest : public TrayIconTest, public ::testing::WithParamInterface<ActivationCase> {};

TEST_P(ActivationTest, ReasonBecomesSignal) {
  QMenu menu;
  if (GetParam().menuSet) tray->SetContextMenu(&menu);
  tray->AddIcon();
  QSignalSpy doubleClicked(tray.get(), &TTrayIcon::DoubleClicked);
  QSignalSpy contextMenu(tray.get(), &TTrayIcon::ContextMenuRequested);
  emit tray->NativeIcon().activated(GetParam().reason);
  EXPECT_EQ(doubleClicked.count(), GetParam().doubleClicked);
  EXPECT_EQ(contextMenu.count(), GetParam().contextMenuRequested);
  if (GetParam().menuSet) {
    EXPECT_EQ(tray->NativeIcon().contextMenu(), &menu);
  }
}

const ActivationCase kActivationCases[] = {
    {"DoubleClickShows", QSystemTrayIcon::DoubleClick, false, 1, 0},
    {"SingleClickShows", QSystemTrayIcon::Trigger, false, 1, 0},
    {"MiddleClickDoesNothing", QSystemTrayIcon::MiddleClick, false, 0, 0},
    {"UnknownDoesNothing", QSystemTrayIcon::Unknown, false, 0, 0},
    {"RightClickAsksForTheMenu", QSystemTrayIcon::Context, false, 0, 1},
    {"RightClickWithMenuSetLeavesItToTheHost", QSystemTrayIcon::Context, true, 0, 0},
    {"SingleClickWithMenuSetStillShows", QSystemTrayIcon::Trigger, true, 1, 0},
};

INSTANTIATE_TEST_SUITE_P(Table, ActivationTest, ::testing::ValuesIn(kActivationCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TrayIconTest, ClearingTheMenuBringsBackContextMenuRequested) {
  QMenu menu;
  tray->SetContextMenu(&menu);
  tray->SetContextMenu(nullptr);
  QSignalSpy contextMenu(tray.get(), &TTrayIcon::ContextMenuRequested);
  emit tray->NativeIcon().activated(QSystemTrayIcon::Context);
  EXPECT_EQ(contextMenu.count(), 1);
}

TEST_F(TrayIconTest, RefreshTipLetsTheMainWindowRebuildTheTip) {
  int tick = 0;
  QObject::connect(tray.get(), &TTrayIcon::TipAboutToShow, tray.get(),
                   [&] { tray->ModifyIcon(u"Almanex, my work partner.\r\ntick "_s + QString::number(tick)); });
  tray->AddIcon();
  for (tick = 1; tick <= 3; ++tick) {
    tray->RefreshTip();
    EXPECT_EQ(tray->TipText(), u"Almanex, my work partner.\ntick "_s + QString::number(tick));
  }
}

/// A tray whose presence the test decides, counting how often it is asked.
struct ScriptedTray {
  bool present = false;
  int looks = 0;
  std::function<bool()> Probe() {
    return [this] {
      ++looks;
      return present;
    };
  }
};

TEST_F(TrayIconTest, TrayAppearingAfterStartUpIsTakenIntoUse) {
  ScriptedTray scripted;
  tray->SetTrayProbe(scripted.Probe());
  tray->AddIcon();
  QSignalSpy appeared(tray.get(), &TTrayIcon::TrayAppeared);
  EXPECT_FALSE(tray->IsTrayAvailable());
  EXPECT_FALSE(tray->CheckTrayAppeared());
  EXPECT_FALSE(tray->CheckTrayAppeared());
  scripted.present = true;
  EXPECT_TRUE(tray->CheckTrayAppeared());
  EXPECT_TRUE(tray->IsTrayAvailable());
  EXPECT_TRUE(tray->NativeIcon().isVisible());
  EXPECT_EQ(tray->TipText(), u"Almanex"_s);
  EXPECT_FALSE(tray->CheckTrayAppeared());
  EXPECT_EQ(appeared.count(), 1);
}

TEST_F(TrayIconTest, PresentTrayIsLookedAtOnlyNowAndThen) {
  ScriptedTray scripted;
  scripted.present = true;
  tray->SetTrayProbe(scripted.Probe());
  const int looksAtStart = scripted.looks;
  for (int call = 1; call < TTrayIcon::kPresentTrayLookInterval; ++call) EXPECT_FALSE(tray->CheckTrayAppeared());
  EXPECT_EQ(scripted.looks, looksAtStart);
  EXPECT_FALSE(tray->CheckTrayAppeared());
  EXPECT_EQ(scripted.looks, looksAtStart + 1);
}

TEST_F(TrayIconTest, RestartedPanelIsNoticedAndTheIconShownAgain) {
  ScriptedTray scripted;
  scripted.present = true;
  tray->SetTrayProbe(scripted.Probe());
  tray->AddIcon();
  QSignalSpy appeared(tray.get(), &TTrayIcon::TrayAppeared);
  scripted.present = false;  // the panel went away
  for (int call = 0; call < TTrayIcon::kPresentTrayLookInterval; ++call) EXPECT_FALSE(tray->CheckTrayAppeared());
  EXPECT_FALSE(tray->IsTrayAvailable());
  scripted.present = true;  // and came back: seen at the very next call
  EXPECT_TRUE(tray->CheckTrayAppeared());
  EXPECT_EQ(appeared.count(), 1);
  EXPECT_TRUE(tray->NativeIcon().isVisible());
}

TEST_F(TrayIconTest, TrayAppearingBeforeAddIconShowsNothingYet) {
  ScriptedTray scripted;
  tray->SetTrayProbe(scripted.Probe());
  scripted.present = true;
  EXPECT_TRUE(tray->CheckTrayAppeared());
  EXPECT_FALSE(tray->NativeIcon().isVisible());
}

TEST(TrayAvailability, OffscreenHasNoTray) {
  TTrayIcon tray(nullptr);
  EXPECT_FALSE(tray.IsTrayAvailable());
  EXPECT_FALSE(tray.CheckTrayAppeared());
}

}  // namespace
}  // namespace almanex

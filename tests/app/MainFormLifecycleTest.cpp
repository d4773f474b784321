// The main window's life behind its tray icon, state by state: Hidden, Shown, Ending.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSignalSpy>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>

#include "app/AlmanexApplication.h"
#include "app/MainForm.h"
#include "app/SingleInstance.h"
#include "editor/EventForm.h"
#include "grid/GridView.h"
#include "platform/TrayIconUnit.h"
#include "tests/common/Fakes.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

/// Passes every balloon on to `shown` but the first-run prompt, which the window shows whenever it opens
/// on an empty list (as every window here does); those are only counted.
class BalloonsBesidesTheFirstRunPrompt final : public BalloonSink {
 public:
  explicit BalloonsBesidesTheFirstRunPrompt(BalloonSink& shown) : shown_(shown) {}
  void ShowBalloon(const QString& text, const QString& title, BalloonKind kind) override {
    if (text == QString::fromLatin1(kFirstRunNotice)) {
      ++firstRunPrompts;
      return;
    }
    shown_.ShowBalloon(text, title, kind);
  }
  int firstRunPrompts = 0;

 private:
  BalloonSink& shown_;
};

class MainFormLifecycle : public ::testing::Test {
 protected:
  MainFormLifecycle() { setenv("XDG_CONFIG_HOME", tree.File("home-config").c_str(), 1); }
  ~MainFormLifecycle() override { SetProgramEnding(false); }

  std::unique_ptr<TFrmMain> Open() {
    auto form = std::make_unique<TFrmMain>(TFrmMain::Services{.clock = clock,
                                                              .settings = FormatSettings{},
                                                              .configPath = [this] { return config; },
                                                              .balloons = &balloonsBesidesPrompt,
                                                              .trayProbe = [this] { return trayExists; },
                                                              // The window opens on an empty list, so the
                                                              // first-run prompt comes up: it is cancelled.
                                                              .showEventDialog = [](TFrmEvent&) {}});
    return form;
  }
  std::string RegistryText() const {
    return test::ReadFileBytes(tree.File("home-config/Quorvel/Almanex/registry.reg"));
  }
  /// The stored placement: Height, Left, Top, Width.
  std::array<std::int32_t, 4> StoredPlacement() const {
    const std::string registry = RegistryText();
    std::array<std::int32_t, 4> values{};
    const char* names[] = {"\"Height\"=dword:", "\"Left\"=dword:", "\"Top\"=dword:", "\"Width\"=dword:"};
    for (std::size_t i = 0; i < values.size(); ++i) {
      const std::size_t at = registry.find(names[i]);
      if (at == std::string::npos) return {};
      values[i] = static_cast<std::int32_t>(std::stoul(registry.substr(at + std::strlen(names[i]), 8), nullptr, 16));
    }
    return values;
  }
  /// One run: start, show the window, let it settle, and exit.
  std::array<std::int32_t, 4> RunOnce(const std::function<void(TFrmMain&)>& whileShown = {}) {
    auto form = Open();
    form->ActionShow->trigger();
    QApplication::processEvents();
    if (whileShown) whileShown(*form);
    QApplication::processEvents();
    form->ActionExit->trigger();
    return StoredPlacement();
  }
  std::vector<std::string> BalloonTexts() const {
    std::vector<std::string> texts;
    for (const auto& balloon : balloons.shown) texts.push_back(balloon.title + ": " + balloon.text);
    return texts;
  }

  test::TempDir tree;
  std::string config = [this] {
    std::filesystem::create_directories(tree.File("Config"));
    return tree.File("Config/Config.INI");
  }();
  ManualClock clock{test::MakeDateTime(2026, 12, 25, 12)};
  test::RecordingBalloons balloons;
  BalloonsBesidesTheFirstRunPrompt balloonsBesidesPrompt{balloons};
  test::RecordingMessageBoxes boxes;
  test::RecordingFailureDialogs failures;
  bool trayExists = true;
};

const std::string kNotice = "Almanex: Double-click here to re-open Almanex software";

TEST_F(MainFormLifecycle, StartsHiddenBehindItsIconWithTheReopenNotice) {
  auto form = Open();
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(form->HasTray());
  EXPECT_TRUE(form->TrayIcon->IsIconAdded());
  EXPECT_TRUE(form->Timer1.isActive());
  EXPECT_EQ(form->Timer1.interval(), 1000);
  EXPECT_EQ(BalloonTexts(), std::vector<std::string>{kNotice});
  EXPECT_EQ(balloons.shown[0].kind, BalloonKind::Notice);
  EXPECT_EQ(form->StringGridMain->PrintTitle(), "Created by Almanex");
}

TEST_F(MainFormLifecycle, WalksThroughHiddenShownAndEnding) {
  auto form = Open();
  emit form->TrayIcon->DoubleClicked();  // Hidden -> Shown
  EXPECT_TRUE(form->isVisible());

  EXPECT_EQ(balloonsBesidesPrompt.firstRunPrompts, 1) << "the list is empty";
  form->close();  // the close box: Shown -> Hidden, with the notice again
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(BalloonTexts(), (std::vector<std::string>{kNotice, kNotice}));
  EXPECT_TRUE(form->Timer1.isActive()) << "reminders keep running while hidden";

  form->ActionShow->trigger();
  form->ActionHide->trigger();  // Shown -> Hidden
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(balloons.shown.size(), 3u);

  form->StringGridMain->SetColumnWidth(1, 200);
  form->ActionExit->trigger();  // Hidden -> Ending
  EXPECT_TRUE(form->bExitRequested);
  EXPECT_FALSE(form->Timer1.isActive());
  EXPECT_FALSE(form->TrayIcon->IsIconAdded());
  EXPECT_EQ(balloons.shown.size(), 3u) << "ending shows no notice";
  const std::string ini = test::ReadFileBytes(config);
  const std::string firstWidth = "ColWidth0=" + std::to_string(form->StringGridMain->ColumnWidth(0));
  EXPECT_EQ(ini.rfind("[GridSettings]\r\n" + firstWidth + "\r\nColWidth1=200\r\n", 0), 0u) << ini;
  EXPECT_NE(ini.find("ColWidth11="), std::string::npos);
  const std::string registry = RegistryText();
  for (const char* value : {"\"Height\"=dword:", "\"Left\"=dword:", "\"Top\"=dword:", "\"Width\"=dword:"}) {
    EXPECT_NE(registry.find(value), std::string::npos) << value << "\n" << registry;
  }
  EXPECT_NE(registry.find("Almanex\\Position]"), std::string::npos) << registry;

  // The next start restores the widths.
  form.reset();
  auto next = Open();
  EXPECT_EQ(next->StringGridMain->ColumnWidth(1), 200);
}

TEST_F(MainFormLifecycle, EndOfSessionEndsTheProgramAndTheFlagStaysSet) {
  auto form = Open();
  form->ActionShow->trigger();
  form->WMQueryEndSession();
  EXPECT_TRUE(form->bExitRequested);
  EXPECT_FALSE(form->isVisible());
  EXPECT_FALSE(form->Timer1.isActive());
  EXPECT_NE(test::ReadFileBytes(config).find("[GridSettings]"), std::string::npos);
}

TEST_F(MainFormLifecycle, TrayMenuAndTip) {
  auto form = Open();
  QStringList entries;
  for (const QAction* action : form->PopupMenuTrayIcon->actions()) {
    entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
  }
  EXPECT_EQ(entries,
            (QStringList{"&Show main window", "-", "Home &Page", "&Mail to Author", "-", "&About...", "-", "E&xit"}));
  EXPECT_EQ(form->GetTrayTipText(), "Almanex, my work partner.\r\n12/25/2026 12:00:00 PM, Friday");
  clock.Set(test::MakeDateTime(2026, 12, 26));
  EXPECT_EQ(form->GetTrayTipText(), "Almanex, my work partner.\r\n12/26/2026, Saturday") << "no time at midnight";
  clock.Set(test::MakeDateTime(2026, 12, 8, 23, 22, 33));
  form->Timer1Timer();  // the tip is rebuilt at every tick
  EXPECT_EQ(form->TrayIcon->TipText(), "Almanex, my work partner.\n12/8/2026 11:22:33 PM, Tuesday");
}

TEST_F(MainFormLifecycle, WithoutATrayTheWindowShowsClosingMinimisesAndExitIsInTheFileMenu) {
  trayExists = false;
  auto form = Open();
  EXPECT_FALSE(form->HasTray());
  QMenu* file = form->menuBar()->actions().at(0)->menu();
  EXPECT_TRUE(file->actions().contains(form->ActionExit));
  form->show();
  form->close();
  EXPECT_TRUE(form->isVisible()) << "a window without a tray icon must stay reachable";
  EXPECT_TRUE(form->isMinimized());

  EXPECT_TRUE(balloons.shown.empty()) << "no re-open notice without anything to double-click";

  trayExists = true;  // a panel started after us
  form->Timer1Timer();
  EXPECT_TRUE(form->HasTray());
  EXPECT_FALSE(file->actions().contains(form->ActionExit));
  form->close();
  EXPECT_FALSE(form->isVisible());
}

TEST_F(MainFormLifecycle, ATrayThatGoesAwaySwitchesToTheBehaviourWithoutATray) {
  auto form = Open();
  ASSERT_TRUE(form->HasTray());
  ASSERT_FALSE(form->isVisible());
  trayExists = false;  // the panel ended
  for (int tick = 0; tick < TTrayIcon::kPresentTrayLookInterval; ++tick) form->Timer1Timer();
  EXPECT_FALSE(form->HasTray());
  EXPECT_TRUE(form->isVisible()) << "the hidden window must come back within reach";
  QMenu* file = form->menuBar()->actions().at(0)->menu();
  EXPECT_TRUE(file->actions().contains(form->ActionExit));
  form->close();
  EXPECT_TRUE(form->isMinimized());
  EXPECT_EQ(balloons.shown.size(), 1u) << "only the notice of the start, when the tray was there";
}

TEST_F(MainFormLifecycle, ASecondStartBringsBackTheMinimisedWindowAndChangesNothingElse) {
  trayExists = false;
  auto form = Open();
  SingleInstance first(QString::fromStdString(tree.File("")));
  ASSERT_FALSE(first.IsPreviousInstanceRunning());
  QObject::connect(&first, &SingleInstance::ShowRequested, form->ActionShow, &QAction::trigger);
  form->show();
  form->close();
  ASSERT_TRUE(form->isMinimized());
  QSignalSpy asked(&first, &SingleInstance::ShowRequested);
  SingleInstance second(QString::fromStdString(tree.File("")));
  EXPECT_TRUE(second.IsPreviousInstanceRunning());
  ASSERT_TRUE(asked.wait(5000));
  EXPECT_TRUE(form->isVisible());
  EXPECT_FALSE(form->isMinimized());
  EXPECT_FALSE(form->bExitRequested);
  EXPECT_TRUE(form->Timer1.isActive());
}

TEST_F(MainFormLifecycle, AtTheEndOfTheSessionNoDialogHoldsTheProgram) {
  test::WriteFileBytes(config, "[GridSettings]\r\nColWidth1=200\r\n");
  chmod(config.c_str(), 0444);
  auto form = Open();
  form->ActionShow->trigger();
  testing::internal::CaptureStderr();
  form->WMQueryEndSession();
  const std::string stderrText = testing::internal::GetCapturedStderr();
  chmod(config.c_str(), 0644);
  EXPECT_TRUE(failures.messages.empty()) << "no failure dialog once the session ends";
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_TRUE(IsProgramEnding());
  EXPECT_NE(stderrText.find("Unable to write to " + config), std::string::npos) << stderrText;
  EXPECT_NE(RegistryText().find("\"Height\"=dword:"), std::string::npos) << "the placement is still saved";
  EXPECT_FALSE(form->isVisible());
  EXPECT_FALSE(form->Timer1.isActive());
}

TEST_F(MainFormLifecycle, AtTheEndOfTheSessionAMissingConfigFolderShowsNoBox) {
  config = tree.File("NoSuchFolder/Config.INI");
  auto form = Open();
  testing::internal::CaptureStderr();
  form->WMQueryEndSession();
  const std::string stderrText = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_NE(stderrText.find("Fail to create file " + config), std::string::npos) << stderrText;
}

TEST_F(MainFormLifecycle, MissingConfigFolderAtExitShowsTheCreationMessage) {
  config = tree.File("NoSuchFolder/Config.INI");
  auto form = Open();
  form->ActionExit->trigger();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].caption, "Information");
  EXPECT_EQ(boxes.boxes[0].text,
            "Fail to create file " + config + ".\rPlease make sure the disk is not full or corrupted.");
  EXPECT_FALSE(test::FileExists(tree.File("NoSuchFolder")));
}

TEST_F(MainFormLifecycle, FailedWriteOfTheReminderMarkReachesTheFailureHandlerAndTheProgramGoesOn) {
  test::WriteFileBytes(config,
                       "[Event1]\r\nTitle=Tom & <Jerry>\r\nDate=12/25/2000\r\nTime=12:00:00 AM\r\nTypeDesc=Birthday\r\n"
                       "RemindTime=9:00:00 AM\r\nReminded=0\r\nRPStartDate=1/1/2026\r\nRPRecurrenceType=0\r\n"
                       "RPInterval=1\r\n");
  chmod(config.c_str(), 0444);
  auto form = Open();
  for (int tick = 0; tick < 3; ++tick) {
    DeliverGuarded([&] {
      form->Timer1Timer();
      return true;
    });
    clock.AdvanceMilliseconds(1000);
  }
  // The first tick's reset finds every mark cleared already and writes nothing; the mark of the shown
  // reminder cannot be written, and that failure is shown once.
  EXPECT_EQ(failures.messages, std::vector<std::string>(1, "Unable to write to " + config));
  EXPECT_EQ(failures.quits, 0);
  ASSERT_GE(balloons.shown.size(), 2u);
  EXPECT_EQ(balloons.shown[1].title, "Tom & <Jerry>");
  EXPECT_EQ(balloons.shown[1].kind, BalloonKind::Reminder);
  EXPECT_TRUE(form->Timer1.isActive());
  chmod(config.c_str(), 0644);
}

TEST_F(MainFormLifecycle, PlacementSavedRestoredAndSavedAgainIsTheSame) {
  const auto first = RunOnce([](TFrmMain& form) { form.move(40, 30); });
  ASSERT_NE(first[0], 0);
  EXPECT_EQ(first[1], 40);
  EXPECT_EQ(first[2], 30);
  // The window is framed only once shown, after the restore: the next runs must not add the frame again.
  const auto second = RunOnce();
  EXPECT_EQ(second, first);
  EXPECT_EQ(RunOnce(), first);
}

TEST_F(MainFormLifecycle, WhileMaximisedTheNormalBoundsAreStored) {
  const auto normal = RunOnce([](TFrmMain& form) { form.move(40, 30); });
  const auto maximised = RunOnce([&normal](TFrmMain& form) {
    form.showMaximized();
    QApplication::processEvents();
    ASSERT_TRUE(form.isMaximized());
    ASSERT_NE(form.frameGeometry().size(), QSize(normal[3], normal[0]));
  });
  EXPECT_EQ(maximised, normal);
  EXPECT_EQ(RunOnce(), normal);
}

TEST_F(MainFormLifecycle, PlacementThatNoScreenShowsComesBackOntoTheScreen) {
  RunOnce([](TFrmMain& form) { form.move(20000, 15000); });
  ASSERT_EQ(StoredPlacement()[1], 20000);
  auto form = Open();
  form->ActionShow->trigger();
  QApplication::processEvents();
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_TRUE(screen.contains(form->frameGeometry())) << form->frameGeometry().x() << "," << form->frameGeometry().y();
}

}  // namespace
}  // namespace almanex

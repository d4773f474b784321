// One instance per session: a second start is refused; the lock of a dead instance is taken over.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QSignalSpy>
#include <QSysInfo>

#include "app/SingleInstance.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

TEST(SingleInstance, SecondInstanceIsRefusedWhileTheFirstRuns) {
  test::TempDir folder;
  const QString path = QString::fromStdString(folder.Path());
  SingleInstance first(path);
  ASSERT_FALSE(first.IsPreviousInstanceRunning());
  SingleInstance second(path);
  EXPECT_TRUE(second.IsPreviousInstanceRunning());
}

TEST(SingleInstance, SecondStartAsksTheFirstToShowItsWindow) {
  test::TempDir folder;
  const QString path = QString::fromStdString(folder.Path());
  SingleInstance first(path);
  ASSERT_FALSE(first.IsPreviousInstanceRunning());
  QSignalSpy shown(&first, &SingleInstance::ShowRequested);
  SingleInstance second(path);
  EXPECT_TRUE(second.IsPreviousInstanceRunning());
  EXPECT_TRUE(shown.wait(5000));  // delivered by the first instance's event loop
  EXPECT_EQ(shown.size(), 1);
}

TEST(SingleInstance, SocketLeftByACrashedInstanceIsTakenOver) {
  test::TempDir folder;
  test::WriteFileBytes(folder.File("Almanex.socket"), "left over");
  SingleInstance first(QString::fromStdString(folder.Path()));
  ASSERT_FALSE(first.IsPreviousInstanceRunning());
  QSignalSpy shown(&first, &SingleInstance::ShowRequested);
  SingleInstance second(QString::fromStdString(folder.Path()));
  EXPECT_TRUE(second.IsPreviousInstanceRunning());
  EXPECT_TRUE(shown.wait(5000));
}

TEST(SingleInstance, NextStartAfterTheFirstEndedIsAllowed) {
  test::TempDir folder;
  const QString path = QString::fromStdString(folder.Path());
  {
    SingleInstance first(path);
    ASSERT_FALSE(first.IsPreviousInstanceRunning());
  }
  SingleInstance next(path);
  EXPECT_FALSE(next.IsPreviousInstanceRunning());
}

TEST(SingleInstance, StaleLockOfACrashedInstanceDoesNotBlock) {
  test::TempDir folder;
  // A lock left by a process that is gone: its pid no longer runs.
  const pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  test::WriteFileBytes(folder.File("Almanex.lock"), std::to_string(child) + "\ntest_app_mainform\n" +
                                                        QSysInfo::machineHostName().toStdString() + "\n");
  SingleInstance instance(QString::fromStdString(folder.Path()));
  EXPECT_FALSE(instance.IsPreviousInstanceRunning());
}

TEST(SingleInstance, UnusableLockFolderDoesNotStopTheStart) {
  SingleInstance instance(QStringLiteral("/nonexistent/almanex-lock-folder"));
  EXPECT_FALSE(instance.IsPreviousInstanceRunning());
}

}  // namespace
}  // namespace almanex

// Opening links: which links are handed on and how, the error box for each result code, and the real
// xdg-open path run against fake openers on PATH.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/CommUnit.h"
#include "platform/ShellUnit.h"
#include "tests/common/Fakes.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

using test::TempDir;

/// Installs a box presenter and, when given, a launcher, for one test.
class ShellFixture : public ::testing::Test {
 protected:
  ~ShellFixture() override { SetShellLauncher(nullptr); }
  test::RecordingMessageBoxes presenter_;
};

std::string ExpectedBoxText(const std::string& reason, const std::string& file) {
  return reason + "\r\n\r\n\r\nTo success executing this application: \r\n1, please make sure that " + file +
         "\r\n   is not corrupted or deleted, or \r\n2, you have installed this application or component properly, "
         "or \r\n3, the file has been associated with the right application, or \r\n4, your computer is not "
         "locked.\r\n\r\nPlease take corrective actions and try again.";
}

TEST(ShellErrorText, OnlyTheThirteenErrorCodesHaveAText) {
  const std::vector<int> withText = {0, 2, 3, 5, 8, 11, 26, 27, 28, 29, 30, 31, 32};
  for (int code = -300; code <= 300; ++code) {
    const bool listed = std::find(withText.begin(), withText.end(), code) != withText.end();
    EXPECT_EQ(!ShellErrorText(code).empty(), listed) << code;
  }
  EXPECT_EQ(ShellErrorText(31), "There is no application associated with the given filename extension.");
  EXPECT_EQ(ShellErrorText(11), "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image).");
}

TEST_F(ShellFixture, NoApplicationForAMailLinkShowsTheErrorBoxWithTheChecklist) {
  ShowShellError(31, "MailTo: support@quorvel.example");
  ASSERT_EQ(presenter_.boxes.size(), 1U);
  EXPECT_EQ(presenter_.boxes[0].caption, "Error");
  EXPECT_EQ(presenter_.boxes[0].icon, MessageIcon::Stop);
  EXPECT_EQ(presenter_.boxes[0].text,
            ExpectedBoxText("There is no application associated with the given filename extension.",
                            "MailTo: support@quorvel.example"));
}

TEST_F(ShellFixture, SuccessAndCodesWithoutTextShowNothing) {
  for (const int code : {42, 33, 1, 4, 6, 25, -1}) ShowShellError(code, "https://x.example/");
  EXPECT_TRUE(presenter_.boxes.empty());
}

// ---- which links reach the opener --------------------------------------------------------------

struct LinkCase {
  const char* name;
  std::optional<std::string_view> verb;
  std::string file;
  std::optional<std::string> launched;  ///< nullopt: nothing may be run
  int boxCode;                          ///< the error box shown, -1 for none
};

void PrintTo(const LinkCase& testCase, std::ostream* out) { *out << testCase.name; }

class LinkRun : public ShellFixture, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(LinkRun, HandsOnOnlyWebAndMailLinks) {
  const LinkCase& testCase = GetParam();
  test::RecordingShellLauncher launcher;
  SetShellLauncher(&launcher);
  ShellRun(nullptr, testCase.verb, testCase.file, std::nullopt, std::nullopt, kShowNormal);
  if (testCase.launched) {
    EXPECT_EQ(launcher.links, std::vector<std::string>{*testCase.launched});
  } else {
    EXPECT_TRUE(launcher.links.empty()) << "ran " << launcher.links.front();
  }
  if (testCase.boxCode < 0) {
    EXPECT_TRUE(presenter_.boxes.empty());
  } else {
    ASSERT_EQ(presenter_.boxes.size(), 1U);
    EXPECT_EQ(presenter_.boxes[0].text, ExpectedBoxText(std::string(ShellErrorText(testCase.boxCode)), testCase.file));
  }
}

const LinkCase kLinkCases[] = {
    {"HomePage", "Open", std::string(kHomePageUrl), std::string(kHomePageUrl), -1},
    {"MailToAuthor", std::nullopt, MailToLink(kCommentsMailbox), "mailto:" + std::string(kCommentsMailbox), -1},
    {"MailSchemeInAnyCaseAndBlanks", std::nullopt, "MAILTO:   a@b.example", "mailto:a@b.example", -1},
    {"PlainMailLink", std::nullopt, "mailto:a@b.example?subject=Hi", "mailto:a@b.example?subject=Hi", -1},
    {"HttpInCapitals", "open", "HTTP://Example.org/x", "HTTP://Example.org/x", -1},
    {"DefaultVerbAsEmptyText", "", "https://example.org/", "https://example.org/", -1},
    {"LocalFileRefused", "Open", "file:///etc/passwd", std::nullopt, kShellAccessDenied},
    {"PathRefused", "Open", "/usr/bin/xterm", std::nullopt, kShellAccessDenied},
    {"OptionLookalikeRefused", "Open", "--help", std::nullopt, kShellAccessDenied},
    {"ScriptSchemeRefused", "Open", "javascript:alert(1)", std::nullopt, kShellAccessDenied},
    {"SchemeWithoutAddressRefused", "Open", "https://", std::nullopt, kShellAccessDenied},
    {"BlankInsideRefused", "Open", "https://a.example/ b", std::nullopt, kShellAccessDenied},
    {"LineBreakInMailRefused", std::nullopt, "mailto:a@b.example\n--x", std::nullopt, kShellAccessDenied},
    {"EmptyRefused", std::nullopt, "", std::nullopt, kShellAccessDenied},
    {"OtherVerbNotRun", "print", "https://example.org/", std::nullopt, kShellNoAssociation},
};

INSTANTIATE_TEST_SUITE_P(Cases, LinkRun, ::testing::ValuesIn(kLinkCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ShellFixture, AFailedLaunchNamesTheFileAsTheCallerGaveIt) {
  test::RecordingShellLauncher launcher;
  launcher.result = kShellNoAssociation;
  SetShellLauncher(&launcher);
  ShellRun(nullptr, std::nullopt, "MailTo: support@quorvel.example", std::nullopt, std::nullopt, kShowNormal);
  ASSERT_EQ(presenter_.boxes.size(), 1U);
  EXPECT_EQ(presenter_.boxes[0].text,
            ExpectedBoxText(std::string(ShellErrorText(31)), "MailTo: support@quorvel.example"));
}

// ---- xdg-open itself, faked on PATH ------------------------------------------------------------

/// A folder with an executable "xdg-open" of the test's choosing, first on PATH for one test.
class FakeOpener : public ShellFixture {
 protected:
  FakeOpener() : oldPath_(qgetenv("PATH")) { qputenv("PATH", QByteArray::fromStdString(dir_.Path())); }
  ~FakeOpener() override { qputenv("PATH", oldPath_); }

  void WriteOpener(const std::string& body) {
    const std::string path = dir_.File("xdg-open");
    test::WriteFileBytes(path, "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" > '" + Record() + "'\n" + body + "\n");
    chmod(path.c_str(), 0700);
  }
  /// What the opener was given: its argument count and first argument, one a line.
  std::string Record() const { return dir_.File("record"); }

  TempDir dir_;
  QByteArray oldPath_;
};

struct ExitCase {
  const char* name;
  std::string body;
  int code;
};

void PrintTo(const ExitCase& testCase, std::ostream* out) { *out << testCase.name; }

class OpenerExit : public FakeOpener, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(OpenerExit, ExitStatusBecomesTheShellCodeAndItsBox) {
  XdgOpenLauncher launcher(std::chrono::seconds(60));  // generous: these openers end at once
  SetShellLauncher(&launcher);
  WriteOpener(GetParam().body);
  ShellRun(nullptr, std::nullopt, MailToLink(kTechSupportMailbox), std::nullopt, std::nullopt, kShowNormal);
  EXPECT_EQ(test::ReadFileBytes(Record()), "1\nmailto:" + std::string(kTechSupportMailbox) + "\n")
      << "one argument: the link itself";
  const std::string_view reason = ShellErrorText(GetParam().code);
  if (reason.empty()) {
    EXPECT_TRUE(presenter_.boxes.empty());
  } else {
    ASSERT_EQ(presenter_.boxes.size(), 1U);
    EXPECT_EQ(presenter_.boxes[0].caption, "Error");
    EXPECT_EQ(presenter_.boxes[0].text, ExpectedBoxText(std::string(reason), MailToLink(kTechSupportMailbox)));
  }
  // The code itself, through the launcher alone.
  EXPECT_EQ(launcher.Launch("mailto:x@y.example"), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Cases, OpenerExit,
                         ::testing::Values(ExitCase{"Opened", "exit 0", kShellSuccess},
                                           ExitCase{"SyntaxError", "exit 1", kShellAssociationIncomplete},
                                           ExitCase{"FileNotFound", "exit 2", kShellFileNotFound},
                                           ExitCase{"NoToolFound", "exit 3", kShellNoAssociation},
                                           ExitCase{"ActionFailed", "exit 4", kShellNoAssociation},
                                           ExitCase{"UnknownStatus", "exit 9", kShellAssociationIncomplete},
                                           ExitCase{"Crashed", "kill -SEGV $$", kShellAssociationIncomplete}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FakeOpener, NoOpenerOnPathMeansNoApplication) {
  // PATH holds only the empty test folder, and the default launcher is in use.
  ShellRun(nullptr, "Open", std::string(kHomePageUrl), std::nullopt, std::nullopt, kShowNormal);
  ASSERT_EQ(presenter_.boxes.size(), 1U);
  EXPECT_EQ(presenter_.boxes[0].text, ExpectedBoxText(std::string(ShellErrorText(31)), std::string(kHomePageUrl)));
}

TEST_F(FakeOpener, AnOpenerStillRunningAtTheTimeoutCountsAsOpenedAndKeepsRunning) {
  // The opener blocks writing its id into a pipe until the test reads it, after the timeout.
  const std::string pipe = dir_.File("pid");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  WriteOpener("echo $$ > '" + pipe + "'\nexec sleep 600");
  XdgOpenLauncher launcher(std::chrono::milliseconds(300));
  EXPECT_EQ(launcher.Launch(std::string(kHomePageUrl)), kShellSuccess);
  // Waits for the opener's id; a killed opener never writes it, and the wait ends after 60 s.
  const int reader = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  pollfd ready{reader, POLLIN, 0};
  std::string pid;
  if (poll(&ready, 1, 60000) > 0) {
    char buffer[32] = {};
    const ssize_t count = read(reader, buffer, sizeof buffer - 1);
    if (count > 0) pid.assign(buffer, static_cast<std::size_t>(count));
  }
  close(reader);
  ASSERT_FALSE(pid.empty()) << "the opener was ended before it could answer";
  const pid_t id = static_cast<pid_t>(std::stol(pid));
  EXPECT_EQ(kill(id, 0), 0) << "the opener was ended at the timeout";
  kill(id, SIGTERM);  // the one process this test started
}

}  // namespace
}  // namespace almanex

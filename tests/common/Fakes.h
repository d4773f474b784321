#pragma once
// Recording stand-ins for the program's seams: boxes, the shell launcher, balloons, the failure dialog, the tray and
// the popup window, and the trace channel. Header-only, for tests that link the platform library.

#include <QString>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/CommUnit.h"
#include "platform/FailureHandler.h"
#include "platform/Notifier.h"
#include "platform/ShellUnit.h"
#include "tests/common/TraceFakes.h"

namespace almanex::test {

/// Records every message box instead of showing it; installed for its lifetime.
class RecordingMessageBoxes final : public MessageBoxPresenter {
 public:
  RecordingMessageBoxes() { SetMessageBoxPresenter(this); }
  ~RecordingMessageBoxes() override { SetMessageBoxPresenter(nullptr); }
  RecordingMessageBoxes(const RecordingMessageBoxes&) = delete;
  RecordingMessageBoxes& operator=(const RecordingMessageBoxes&) = delete;
  void Show(const MessageBoxRequest& request) override {
    boxes.push_back(request);
    if (onShow) onShow();
  }
  /// Records the question with the others and gives the first of `answers` (true Yes), or No when none is
  /// left.
  bool AskYesNo(const MessageBoxRequest& request) override {
    boxes.push_back(request);
    if (onShow) onShow();
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  }
  std::vector<MessageBoxRequest> boxes;
  /// The answers to the next questions, in order.
  std::vector<bool> answers;
  /// Called after each box is recorded, to note what else had happened by then.
  std::function<void()> onShow;
};

/// Records the links handed to the shell and answers each with `result`; install it with SetShellLauncher.
class RecordingShellLauncher final : public ShellLauncher {
 public:
  int Launch(const std::string& link) override {
    links.push_back(link);
    return result;
  }
  std::vector<std::string> links;
  int result = kShellSuccess;
};

/// Records every balloon (notice or reminder), its texts as UTF-8.
class RecordingBalloons final : public BalloonSink {
 public:
  struct Balloon {
    std::string text;
    std::string title;
    BalloonKind kind;
  };
  void ShowBalloon(const QString& text, const QString& title, BalloonKind kind) override {
    shown.push_back({text.toStdString(), title.toStdString(), kind});
  }
  /// Recorded like any reminder balloon; the actions are kept beside them, in the same order.
  void ShowReminder(const QString& text, const QString& title, const ReminderActions& reminderActions) override {
    ShowBalloon(text, title, BalloonKind::Reminder);
    actions.resize(shown.size());
    actions.back() = reminderActions;
  }
  std::vector<Balloon> shown;
  /// actions[i] belongs to shown[i] (empty for a balloon shown without any); may be shorter than shown.
  std::vector<ReminderActions> actions;
};

/// Records the unexpected-failure dialogs and gives `answer`; installed for its lifetime.
class RecordingFailureDialogs final : public FailureDialogPresenter {
 public:
  explicit RecordingFailureDialogs(FailureChoice answer = FailureChoice::Continue) : answer_(answer) {
    SetFailureDialogPresenter(this);
  }
  ~RecordingFailureDialogs() override { SetFailureDialogPresenter(nullptr); }
  RecordingFailureDialogs(const RecordingFailureDialogs&) = delete;
  RecordingFailureDialogs& operator=(const RecordingFailureDialogs&) = delete;
  FailureChoice Show(const FailureReport& report) override {
    messages.push_back(report.message);
    reports.push_back(report.Text());
    shown.push_back(report);
    threads.push_back(std::this_thread::get_id());
    return answer_;
  }
  void Quit() override { ++quits; }
  void Restart(RestartWay way) override { restarts.push_back(way); }
  std::vector<std::string> messages;
  /// The whole text of each report, as "Copy report" copies it.
  std::vector<std::string> reports;
  std::vector<FailureReport> shown;
  /// The thread each dialog was shown on.
  std::vector<std::thread::id> threads;
  int quits = 0;
  std::vector<RestartWay> restarts;

 private:
  FailureChoice answer_;
};

/// A message as the tray or the popup window was asked to show it.
struct ShownMessage {
  QString title;
  QString text;
  int timeoutMilliseconds;
};

/// A tray that is there or not (`present`), and records the messages it is asked to show.
class FakeTray final : public TrayPort {
 public:
  bool HasTray() override { return present; }
  void ShowTrayMessage(const QString& title, const QString& text, int timeoutMilliseconds) override {
    shown.push_back({title, text, timeoutMilliseconds});
  }
  bool present = false;
  std::vector<ShownMessage> shown;
};

/// Our popup window, able to show or not (`possible`); records what it shows.
class FakePopup final : public PopupPort {
 public:
  bool ShowPopup(const QString& title, const QString& text, int timeoutMilliseconds) override {
    if (!possible) return false;
    shown.push_back({title, text, timeoutMilliseconds});
    return true;
  }
  struct Reminder {
    QString title;
    QString text;
    ReminderActions actions;
  };
  bool ShowReminderPopup(const QString& title, const QString& text, const ReminderActions& actions) override {
    if (!possible) return false;
    reminders.push_back({title, text, actions});
    return true;
  }
  bool possible = true;
  std::vector<ShownMessage> shown;
  /// The reminders shown with actions, which a test may run as the buttons would.
  std::vector<Reminder> reminders;
};

}  // namespace almanex::test

#pragma once
// Recording stand-ins for the program's seams: boxes, balloons, the failure dialog and the trace
// channel. Header-only, for tests that link the platform library.

#include <QString>
#include <string>
#include <vector>

#include "base/Trace.h"
#include "platform/CommUnit.h"
#include "platform/FailureHandler.h"
#include "platform/Notifier.h"

namespace almanex::test {

/// Records every message box instead of showing it; installed for its lifetime.
class RecordingMessageBoxes final : public MessageBoxPresenter {
 public:
  RecordingMessageBoxes() { SetMessageBoxPresenter(this); }
  ~RecordingMessageBoxes() override { SetMessageBoxPresenter(nullptr); }
  void Show(const MessageBoxRequest& request) override { boxes.push_back(request); }
  std::vector<MessageBoxRequest> boxes;
};

/// Records every balloon (notice or reminder).
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
  std::vector<Balloon> shown;
};

/// Records the unexpected-failure dialogs and answers Continue; installed for its lifetime.
class RecordingFailureDialogs final : public FailureDialogPresenter {
 public:
  RecordingFailureDialogs() { SetFailureDialogPresenter(this); }
  ~RecordingFailureDialogs() override { SetFailureDialogPresenter(nullptr); }
  FailureChoice Show(const std::string& message, const std::string&) override {
    messages.push_back(message);
    return FailureChoice::Continue;
  }
  void Quit() override { ++quits; }
  std::vector<std::string> messages;
  int quits = 0;
};

/// A listener that takes every trace line; installed for its lifetime.
class RecordingTrace final : public TraceSink {
 public:
  struct Line {
    std::string source;
    std::string message;
  };
  RecordingTrace() { SetTracer(this); }
  ~RecordingTrace() override { SetTracer(nullptr); }
  bool Send(std::string_view source, FunctionRef<std::string()> message) override {
    lines.push_back({std::string(source), message()});
    return true;
  }
  std::vector<Line> lines;
};

}  // namespace almanex::test

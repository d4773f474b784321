#include "CommUnit.h"

#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <atomic>
#include <cstdio>

#include "WidgetsAvailable.h"
#include "platform/core/DebugAgentUnit.h"

namespace almanex {

namespace {

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Warning:
      return QMessageBox::Warning;
    case MessageIcon::Question:
      return QMessageBox::Question;
    case MessageIcon::Stop:
      return QMessageBox::Critical;
    case MessageIcon::Information:
      break;
  }
  return QMessageBox::Information;
}

class DefaultMessageBoxPresenter final : public MessageBoxPresenter {
 public:
  void Show(const MessageBoxRequest& request) override {
    const std::string text = BoxDisplayText(request.text);
    if (!CanShowWidgets()) {
      // Command-line tools have no desktop: the box goes to stderr, in one piece.
      const std::string line = request.caption + ": " + text + "\n";
      std::fwrite(line.data(), 1, line.size(), stderr);
      std::fflush(stderr);
      return;
    }
    // No parent: the box must come up even while the main window is hidden in the tray.
    QMessageBox box(ToQtIcon(request.icon), QString::fromStdString(request.caption), QString::fromStdString(text),
                    QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);  // a path or message with "<" in it is text, not markup
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.exec();
  }

  bool AskYesNo(const MessageBoxRequest& request) override {
    const std::string text = BoxDisplayText(request.text);
    if (!CanShowWidgets()) {
      // Nobody can answer: the question goes to stderr with its answer, No.
      const std::string line = request.caption + ": " + text + " No\n";
      std::fwrite(line.data(), 1, line.size(), stderr);
      std::fflush(stderr);
      return false;
    }
    QMessageBox box(ToQtIcon(request.icon), QString::fromStdString(request.caption), QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No);
    box.setTextFormat(Qt::PlainText);
    // The access keys are part of the box's keyboard use (Alt+Y, Alt+N), whatever the platform theme names
    // the buttons.
    box.button(QMessageBox::Yes)->setText(QStringLiteral("&Yes"));
    box.button(QMessageBox::No)->setText(QStringLiteral("&No"));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.exec();
    return box.clickedButton() == box.button(QMessageBox::Yes);
  }
};

DefaultMessageBoxPresenter& DefaultPresenter() {
  static DefaultMessageBoxPresenter presenter;
  return presenter;
}

std::atomic<MessageBoxPresenter*> installedPresenter{nullptr};

void ShowBox(const MessageBoxRequest& request) {
  try {
    CurrentMessageBoxPresenter().Show(request);
  } catch (...) {
    // A box that cannot be shown is ignored: the caller goes on with its fallback either way.
  }
}

}  // namespace

bool MessageBoxPresenter::AskYesNo(const MessageBoxRequest& request) {
  static_cast<void>(request);
  return false;
}

void SetMessageBoxPresenter(MessageBoxPresenter* presenter) { installedPresenter.store(presenter); }

MessageBoxPresenter& CurrentMessageBoxPresenter() {
  MessageBoxPresenter* presenter = installedPresenter.load();
  return presenter != nullptr ? *presenter : DefaultPresenter();
}

std::string BoxDisplayText(std::string_view text) {
  std::string display;
  display.reserve(text.size());
  for (std::size_t index = 0; index < text.size(); ++index) {
    if (text[index] == '\r') {
      display += '\n';
      if (index + 1 < text.size() && text[index + 1] == '\n') ++index;  // CR LF is one break
    } else {
      display += text[index];
    }
  }
  return display;
}

MessageBoxRequest MessageKindBox(int kind, std::string_view text) {
  struct KindRow {
    const char* caption;
    MessageIcon icon;
  };
  static constexpr KindRow kRows[] = {
      {"Information", MessageIcon::Information},  // 0 and everything outside 1..7
      {"Exclamation", MessageIcon::Warning},
      {"Warning", MessageIcon::Warning},
      {"Information", MessageIcon::Information},
      {"Question", MessageIcon::Question},
      {"Stop", MessageIcon::Stop},
      {"Error", MessageIcon::Stop},
      {"Stop Now", MessageIcon::Stop},
  };
  // Unsigned, so that every negative kind is a huge value and falls outside the table too.
  const auto index = static_cast<unsigned>(kind);
  const KindRow& row = index <= 7U ? kRows[index] : kRows[0];
  return MessageBoxRequest{std::string(text), row.caption, row.icon};
}

void CommShowException(std::string_view exceptionMessage, std::string_view context, std::string_view advice,
                       bool showBox, std::string& output) {
  try {
    std::string text;
    text.reserve(context.size() + exceptionMessage.size() + advice.size() + 64);
    text.append(context).append("\r\n").append("Reason: ").append(exceptionMessage);
    if (!advice.empty()) {
      text.append("\r\n\r\n")
          .append(advice)
          .append("\r\n\r\n")
          .append("Please take corrective actions and try again! ");
    }
    // The trace goes first, so that it is written even when the box cannot be shown.
    SendDebugAgentMsgLazy("Comm", [&text] { return "CommShowException: " + text; });
    if (showBox) ShowBox(MessageBoxRequest{text, "Warning", MessageIcon::Warning});
    output = std::move(text);
  } catch (...) {
    // Only allocation can fail here; the report is then lost, but the caller goes on.
  }
}

bool CommAskYesNo(std::string_view text, std::string_view caption) {
  try {
    return CurrentMessageBoxPresenter().AskYesNo(
        MessageBoxRequest{std::string(text), std::string(caption), MessageIcon::Question});
  } catch (...) {
    return false;  // a question nobody could answer is answered No
  }
}

void CommShowMessage(int kind, std::string_view text) {
  try {
    ShowBox(MessageKindBox(kind, text));
  } catch (...) {
  }
}

}  // namespace almanex

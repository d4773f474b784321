#pragma once
// Message boxes and error display shared by the whole program.

#include <exception>
#include <string>
#include <string_view>

namespace almanex {

enum class MessageIcon { Warning, Information, Question, Stop };

/// One box as the user would see it. `text` keeps the program's CR LF line breaks.
struct MessageBoxRequest {
  std::string text;
  std::string caption;
  MessageIcon icon = MessageIcon::Information;

  friend bool operator==(const MessageBoxRequest&, const MessageBoxRequest&) = default;
};

/// Shows boxes. The default shows an application-modal, topmost QMessageBox with one OK button;
/// without a QApplication (command-line tools), or off the user-interface thread, it writes
/// "caption: text" to stderr instead. Tests install one that records the boxes.
class MessageBoxPresenter {
 public:
  virtual ~MessageBoxPresenter() = default;
  /// Returns when the user has closed the box. May throw; callers catch.
  virtual void Show(const MessageBoxRequest& request) = 0;
  /// Asks a question with the buttons Yes and No, No the default (Enter) and the answer to Escape and to
  /// the close box; returns whether Yes was pressed. A presenter that cannot ask answers No, which is
  /// what this base does without showing anything. May throw; callers catch.
  virtual bool AskYesNo(const MessageBoxRequest& request);
};
/// Installs a presenter (nullptr restores the default). The presenter must outlive its use.
void SetMessageBoxPresenter(MessageBoxPresenter* presenter);
MessageBoxPresenter& CurrentMessageBoxPresenter();

/// Composes "context\r\nReason: message" (with advice: "\r\n\r\nadvice\r\n\r\nPlease take corrective
/// actions and try again! "), traces it as "CommShowException: " + text from "Comm", shows it in a
/// "Warning" box when showBox is set, and stores it in output. Never throws.
void CommShowException(std::string_view exceptionMessage, std::string_view context, std::string_view advice,
                       bool showBox, std::string& output);
/// The same for a caught exception: its what() is the message.
inline void CommShowException(const std::exception& exception, std::string_view context, std::string_view advice,
                              bool showBox, std::string& output) {
  CommShowException(std::string_view(exception.what()), context, advice, showBox, output);
}
/// Shows text in a box whose caption and icon follow the message kind (1..7; anything else is
/// "Information"). Never throws.
void CommShowMessage(int kind, std::string_view text);
/// Asks `text` under `caption` with the question icon, Yes and No, No the default, through the current
/// presenter; true only when Yes was pressed. A box that cannot be shown answers No. Never throws.
bool CommAskYesNo(std::string_view text, std::string_view caption);
/// The caption and icon of a message kind.
MessageBoxRequest MessageKindBox(int kind, std::string_view text);

/// The text as a box displays it: CR LF, and a lone CR or LF, become one "\n".
std::string BoxDisplayText(std::string_view text);

}  // namespace almanex

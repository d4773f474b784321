#pragma once
// Message boxes and error display shared by the whole program.

#include <string>
#include <string_view>

namespace almanex {

enum class MessageIcon { Warning, Information, Question, Stop };

/// One box as the user would see it.
struct MessageBoxRequest {
  std::string text;
  std::string caption;
  MessageIcon icon = MessageIcon::Information;
};

/// Shows boxes. The default shows an application-modal, topmost QMessageBox with one OK button;
/// tests install one that records the boxes.
class MessageBoxPresenter {
 public:
  virtual ~MessageBoxPresenter() = default;
  virtual void Show(const MessageBoxRequest& request) = 0;
};
/// Installs a presenter (nullptr restores the default). The presenter must outlive its use.
void SetMessageBoxPresenter(MessageBoxPresenter* presenter);
MessageBoxPresenter& CurrentMessageBoxPresenter();

/// Composes "context\r\nReason: message" (with advice: "\r\n\r\nadvice\r\n\r\nPlease take corrective
/// actions and try again! "), traces it as "CommShowException: " + text from "Comm", shows it in a
/// "Warning" box when showBox is set, and stores it in output. Never throws.
void CommShowException(std::string_view exceptionMessage, std::string_view context, std::string_view advice,
                       bool showBox, std::string& output);
/// Shows text in a box whose caption and icon follow the message kind (1..7; anything else is
/// "Information"). Never throws.
void CommShowMessage(int kind, std::string_view text);
/// The caption and icon of a message kind.
MessageBoxRequest MessageKindBox(int kind, std::string_view text);

}  // namespace almanex

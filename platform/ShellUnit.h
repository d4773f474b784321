#pragma once
// Opens web pages and mail links in the user's own programs, and explains in an "Error" box when that
// fails. Only http, https and mailto links are ever handed on; anything else is refused without running
// anything. The desktop's opener is xdg-open, whose exit status is mapped to the shell's result codes.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

class QWidget;

namespace almanex {

/// The maker's home page, and the mailboxes for comments and for technical support.
inline constexpr std::string_view kHomePageUrl = "https://almanex.quorvel.example/";
inline constexpr std::string_view kCommentsMailbox = "comments@quorvel.example";
inline constexpr std::string_view kTechSupportMailbox = "support@quorvel.example";
/// What a mail link shows before the mailbox, blank included.
inline constexpr std::string_view kMailToPrefix = "MailTo: ";

/// "MailTo: " + mailbox.
std::string MailToLink(std::string_view mailbox);

/// Result codes of a launch: above 32 means success, 0 to 32 an error (see ShellErrorText).
inline constexpr int kShellSuccess = 42;
inline constexpr int kShellFileNotFound = 2;
inline constexpr int kShellAccessDenied = 5;
inline constexpr int kShellAssociationIncomplete = 27;
inline constexpr int kShellNoAssociation = 31;
/// The show command of every launch: a normal window.
inline constexpr int kShowNormal = 1;

/// The text the error box names for a result code; empty for a code that has none (1, 4, 6, 7, 9, 10,
/// 12 to 25, everything above 32 and below 0).
std::string_view ShellErrorText(int code);

/// The link to hand to the opener: "MailTo: address" (any letter case, blanks after the colon) becomes
/// "mailto:address"; http:// and https:// links stay as they are. nullopt for anything else, and for
/// links with blanks or control characters in them.
std::optional<std::string> LaunchableLink(std::string_view file);

/// Opens one link that LaunchableLink accepted and answers with a result code. Tests install one that
/// records the links.
class ShellLauncher {
 public:
  virtual ~ShellLauncher() = default;
  virtual int Launch(const std::string& link) = 0;
};

/// Runs xdg-open with the link and waits at most `timeout` for it. Exit status 0 gives success, 1 (a
/// link it rejects) 27, 2 (file not found) 2, 3 (no tool for it) and 4 (the opener failed) 31, an opener
/// that cannot be started at all 31, a crash or any other status 27. An opener still running after the
/// timeout is taken for success (some open the browser in the foreground) and is left running.
class XdgOpenLauncher final : public ShellLauncher {
 public:
  static constexpr std::chrono::milliseconds kDefaultTimeout{3000};
  explicit XdgOpenLauncher(std::chrono::milliseconds timeout = kDefaultTimeout) : timeout_(timeout) {}
  int Launch(const std::string& link) override;

 private:
  std::chrono::milliseconds timeout_;
};

/// Installs a launcher (nullptr restores xdg-open). The launcher must outlive its use.
void SetShellLauncher(ShellLauncher* launcher);

/// Opens `file` with the verb ("Open", or nullopt for the default verb) and shows ShowShellError for
/// the result. A verb other than open gives 31, and a link that is not http, https or mailto gives 5,
/// both without running anything. `owner`, `parameters`, `directory` and `showCommand` are accepted for
/// the callers' sake; links need none of them.
void ShellRun(QWidget* owner, std::optional<std::string_view> verb, std::string_view file,
              std::optional<std::string_view> parameters, std::optional<std::string_view> directory, int showCommand);

/// For a code with an error text: an "Error" box with the stop icon, the text, three line breaks and the
/// checklist naming `file`. Nothing for any other code.
void ShowShellError(int code, std::string_view file);

}  // namespace almanex

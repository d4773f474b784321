#include "ShellUnit.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <atomic>

#include "CommUnit.h"
#include "base/Ascii.h"

namespace almanex {

namespace {

XdgOpenLauncher& DefaultLauncher() {
  static XdgOpenLauncher launcher;
  return launcher;
}

std::atomic<ShellLauncher*> installedLauncher{nullptr};

ShellLauncher& CurrentLauncher() {
  ShellLauncher* launcher = installedLauncher.load();
  return launcher != nullptr ? *launcher : DefaultLauncher();
}

bool HasBlankOrControl(std::string_view text) {
  for (const char c : text) {
    if (IsSpaceOrControl(c) || c == '\x7F') return true;
  }
  return false;
}

/// xdg-open's documented exit statuses, as the shell's result codes.
int CodeForExitStatus(int status) {
  switch (status) {
    case 0:
      return kShellSuccess;
    case 2:  // a file on the command line does not exist
      return kShellFileNotFound;
    case 3:  // no tool could be found for the link
    case 4:  // the tool failed, as when no program handles the scheme
      return kShellNoAssociation;
    default:  // 1, a link it rejects; anything else is an opener that misbehaves
      return kShellAssociationIncomplete;
  }
}

}  // namespace

std::string MailToLink(std::string_view mailbox) {
  std::string link(kMailToPrefix);
  link.append(mailbox);
  return link;
}

std::string_view ShellErrorText(int code) {
  switch (code) {
    case 0:
      return "The operating system is out of memory or resources.";
    case 2:
      return "The specified file was not found.";
    case 3:
      return "The specified path was not found.";
    case 5:
      return "The operating system denied access to the specified file.";
    case 8:
      return "There was not enough memory to complete the operation.";
    case 11:
      return "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image).";
    case 26:
      return "A sharing violation occurred.";
    case 27:
      return "The filename association is incomplete or invalid.";
    case 28:
      return "The DDE transaction could not be completed because the request timed out.";
    case 29:
      return "The DDE transaction failed.";
    case 30:
      return "The DDE transaction could not be completed because other DDE transactions were being processed.";
    case 31:
      return "There is no application associated with the given filename extension.";
    case 32:
      return "The specified dynamic-link library was not found.";
    default:
      return {};
  }
}

std::optional<std::string> LaunchableLink(std::string_view file) {
  constexpr std::string_view kMailScheme = "mailto:";
  if (StartsWithIgnoringAsciiCase(file, kMailScheme)) {
    const std::string_view address = TrimSpaceOrTab(file.substr(kMailScheme.size()));
    if (HasBlankOrControl(address)) return std::nullopt;
    return std::string(kMailScheme) + std::string(address);
  }
  if (HasBlankOrControl(file)) return std::nullopt;
  for (const std::string_view scheme : {std::string_view("http://"), std::string_view("https://")}) {
    if (StartsWithIgnoringAsciiCase(file, scheme) && file.size() > scheme.size()) return std::string(file);
  }
  return std::nullopt;
}

int XdgOpenLauncher::Launch(const std::string& link) {
  // On the heap and without a parent: an opener still running at the timeout must outlive this call,
  // and a QProcess destroyed while its child runs would kill the child.
  auto* process = new QProcess();
  process->setProgram(QStringLiteral("xdg-open"));
  process->setArguments(QStringList{QString::fromStdString(link)});
  process->setStandardInputFile(QProcess::nullDevice());
  process->setStandardOutputFile(QProcess::nullDevice());
  process->setStandardErrorFile(QProcess::nullDevice());
  process->start();
  // Starting is only the exec; an opener that is missing fails at once. The timeout is for its work.
  constexpr int kStartMilliseconds = 10000;
  if (!process->waitForStarted(kStartMilliseconds)) {
    delete process;
    return kShellNoAssociation;  // no opener on this machine at all
  }
  if (!process->waitForFinished(static_cast<int>(timeout_.count()))) {
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    return kShellSuccess;
  }
  const int code = process->exitStatus() == QProcess::NormalExit ? CodeForExitStatus(process->exitCode())
                                                                 : kShellAssociationIncomplete;
  delete process;
  return code;
}

void SetShellLauncher(ShellLauncher* launcher) { installedLauncher.store(launcher); }

void ShellRun(QWidget* /*owner*/, std::optional<std::string_view> verb, std::string_view file,
              std::optional<std::string_view> /*parameters*/, std::optional<std::string_view> /*directory*/,
              int /*showCommand*/) {
  int code = kShellNoAssociation;
  if (!verb || verb->empty() || (verb->size() == 4 && StartsWithIgnoringAsciiCase(*verb, "open"))) {
    const auto link = LaunchableLink(file);
    code = link ? CurrentLauncher().Launch(*link) : kShellAccessDenied;
  }
  ShowShellError(code, file);
}

void ShowShellError(int code, std::string_view file) {
  const std::string_view reason = ShellErrorText(code);
  if (reason.empty()) return;
  std::string text;
  text.append(reason)
      .append("\r\n\r\n\r\n")
      .append("To success executing this application: \r\n")
      .append("1, please make sure that ")
      .append(file)
      .append("\r\n")
      .append("   is not corrupted or deleted, or \r\n")
      .append("2, you have installed this application or component properly, or \r\n")
      .append("3, the file has been associated with the right application, or \r\n")
      .append("4, your computer is not locked.\r\n\r\n")
      .append("Please take corrective actions and try again.");
  CommShowMessage(6, text);  // kind 6: "Error" with the stop icon
}

}  // namespace almanex

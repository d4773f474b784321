#pragma once
// Reports of fatal signals. A crash (SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL) leaves a text file with
// the signal, the program's description, a backtrace and the mapped files in the crash report folder,
// and the process then dies of the signal as it would have without us (a core dump still comes). The
// next start offers to show the newest report it has not offered yet.

#include <string>
#include <vector>

namespace almanex {

/// $XDG_STATE_HOME/Almanex when that variable holds an absolute path, else $HOME/.local/state/Almanex.
std::string CrashReportFolder();

/// Creates the crash report folder (0700), prepares in fixed buffers everything the handler writes, gives
/// this thread an alternate signal stack (so that a stack overflow is reported too) and routes the fatal
/// signals to the handler. The handler uses only async-signal-safe calls; backtrace() is warmed up here so
/// that its library is loaded before any crash. Without a folder the report goes to stderr. False when a
/// handler could not be installed. Calling it again refreshes the prepared texts.
bool InstallFatalSignalHandler();
/// Gives SIGABRT its default action back: the terminate handler calls it once the user has seen the
/// failure, so that the abort that follows leaves no second report.
void ForgoAbortReport();
/// Writes "yyyy-mm-dd hh:mm:ss UTC" of a count of seconds since 1970 (years 0 to 9999) to `fd`, with
/// write(2) and arithmetic only, so that a signal handler may call it.
void WriteUtcTime(int fd, long long seconds);
/// "SIGSEGV" and so on; "signal" for a number it does not know.
const char* FatalSignalName(int signalNumber);

/// The reports in `folder` not offered yet ("crash-*.txt"), the newest first.
std::vector<std::string> UnseenCrashReports(const std::string& folder);

/// Shows one report's text. The default is a dialog with the text, "Copy report" and "Close". Tests
/// install one that records the calls.
class CrashReportViewer {
 public:
  virtual ~CrashReportViewer() = default;
  virtual void Show(const std::string& path, const std::string& text) = 0;
};
/// Installs a viewer (nullptr restores the default). The viewer must outlive its use.
void SetCrashReportViewer(CrashReportViewer* viewer);

/// The box text that announces a report.
std::string PreviousCrashNotice(const std::string& path);

/// Called at start once the main window exists: when the folder holds a report not offered yet, a box
/// says that the previous run ended abnormally and where its report is, then the newest report is shown.
/// Every report found is then marked as offered (renamed to *.seen), so each is offered once; of the
/// reports offered, the ten newest are kept. Returns
/// whether a report was offered. Never throws.
bool OfferPreviousCrashReport();

}  // namespace almanex

#pragma once
// The last line of defence: a failure that no handler caught is shown to the user, who may copy a
// report, continue, restart or quit. The program's own code never calls it for failures it expects.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace almanex {

/// The buttons of the failure dialog that close it ("Copy report" copies and leaves it open).
enum class FailureChoice { Continue, Restart, Quit };

/// What the failure dialog shows: the error text and its three pages.
struct FailureReport {
  std::string message;    ///< the error text
  std::string general;    ///< program, version, time, user, computer, Qt, operating system, process
  std::string callStack;  ///< one frame a line, with a first line that says where the stack was taken
  std::string modules;    ///< the files mapped into the process, one a line
  /// False after std::terminate: the program cannot go on, so the dialog offers no Continue.
  bool canContinue = true;

  /// The whole report, as "Copy report" copies it: a head with the error, then each page under its title.
  std::string Text() const;
};

/// How a restart is carried out.
enum class RestartWay {
  Orderly,  ///< the program ends as after Exit (placement and column widths saved), then starts again
  AtOnce,   ///< nothing can run any more (after std::terminate): the process image is replaced now
};

/// Shows the failure dialog. The default is a Qt dialog with the error text, pages for general
/// information, the call stack and the modules, and the buttons "Copy report", "Continue", "Restart" and
/// "Quit"; without a QApplication, or off the user-interface thread, it writes the report to stderr and
/// answers Continue. Tests install one that records the calls.
class FailureDialogPresenter {
 public:
  virtual ~FailureDialogPresenter() = default;
  virtual FailureChoice Show(const FailureReport& report) = 0;
  /// Ends the program after Quit. The default flushes the standard streams and ends the process with
  /// status 1 at once: after an unexpected failure nothing is trusted enough to run destructors.
  virtual void Quit();
  /// Starts the program again after Restart. The default calls RequestRestart(way).
  virtual void Restart(RestartWay way);
};
/// Installs a presenter (nullptr restores the default). The presenter must outlive its use.
void SetFailureDialogPresenter(FailureDialogPresenter* presenter);
/// Shows what the default presenter shows and returns the choice, without quitting or restarting.
FailureChoice ShowDefaultFailureDialog(const FailureReport& report);

/// The report of `message` with the stack given and the general page and modules of this process now.
FailureReport BuildFailureReport(std::string message, std::string callStack,
                                 std::chrono::system_clock::time_point now = std::chrono::system_clock::now());
/// The general page: program, version, time (left out without `now`), user, computer, Qt version,
/// operating system, process id.
std::string GeneralFailureInformation(std::optional<std::chrono::system_clock::time_point> now);
/// The mapped files of /proc/self/maps, each once, as "start-end path" lines in address order.
std::string LoadedModules();
/// The files of one /proc/<pid>/maps text, as LoadedModules lists them.
std::string ModulesOfMaps(std::string_view maps);
/// The return addresses of the calling stack, the innermost first (at most 64).
std::vector<void*> CaptureStack();
/// One frame a line: "#n 0xaddress module+0xoffset (symbol+0xoffset)", symbols demangled where known.
std::string FormatStack(const std::vector<void*>& frames);

/// Marks that the session end or a signal has asked the program to end: from now on no dialog may
/// hold the program up, since nobody may be there to answer it. The program never sets it back; tests
/// pass false to start afresh.
void SetProgramEnding(bool ending = true);
/// Whether SetProgramEnding was called.
bool IsProgramEnding();

/// Traces the failure ("ReportUnexpectedFailure: " + message, source "FailureHandler"), shows the
/// dialog and acts on the choice (Quit, Restart). Never throws. The stack is taken here, so the caller's
/// catch block is its innermost frame. Called off the user-interface thread, the report is posted to that
/// thread and shown there once its event loop runs; the caller goes on at once. Once the program is
/// ending, the report goes to stderr instead of a dialog, and the program goes on ending.
void ReportUnexpectedFailure(const std::string& message);

/// Installs a std::terminate handler that reports the exception in flight (or the bare terminate), with
/// the stack of the throw, and then aborts: after terminate the program cannot go on. A terminate in
/// another thread shows its dialog on the user-interface thread, while the failed thread waits.
void InstallTerminateHandler();

/// The whole layer at start: the terminate handler and the fatal-signal report (CrashReport.h).
void InstallFailureHandlers();

/// How the program ends in order, for an orderly restart (the main window's end-of-session close).
/// Without one, a restart ends the event loop at once.
void SetOrderlyEnd(std::function<void()> end);
/// Restarts the program: Orderly ends it through SetOrderlyEnd and starts /proc/self/exe again with the
/// same arguments once the process exits; AtOnce replaces the process image now.
void RequestRestart(RestartWay way);
/// Whether RequestRestart(Orderly) is waiting for the program to end.
bool IsRestartRequested();

}  // namespace almanex

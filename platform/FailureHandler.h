#pragma once
// The last line of defence: a failure that no handler caught is shown to the user, who may copy a
// report, continue or quit. The program's own code never calls it for failures it expects.

#include <string>
#include <string_view>

namespace almanex {

/// The buttons of the failure dialog that close it ("Copy report" copies and leaves it open).
enum class FailureChoice { Continue, Quit };

/// Shows the failure dialog. The default is a small Qt dialog with the error text and the buttons
/// "Copy report", "Continue" and "Quit"; without a QApplication, or off the user-interface thread, it
/// writes the report to stderr and answers Continue. Tests install one that records the calls.
class FailureDialogPresenter {
 public:
  virtual ~FailureDialogPresenter() = default;
  /// `message` is the error text; `report` what "Copy report" puts on the clipboard.
  virtual FailureChoice Show(const std::string& message, const std::string& report) = 0;
  /// Ends the program after Quit. The default flushes the standard streams and ends the process with
  /// status 1 at once: after an unexpected failure nothing is trusted enough to run destructors.
  virtual void Quit();
};
/// Installs a presenter (nullptr restores the default). The presenter must outlive its use.
void SetFailureDialogPresenter(FailureDialogPresenter* presenter);
/// Shows what the default presenter shows and returns the choice, without quitting.
FailureChoice ShowDefaultFailureDialog(const std::string& message, const std::string& report);

/// The text that "Copy report" copies.
std::string UnexpectedFailureReport(std::string_view message);

/// Marks that the session end or a signal has asked the program to end: from now on no dialog may
/// hold the program up, since nobody may be there to answer it. The program never sets it back; tests
/// pass false to start afresh.
void SetProgramEnding(bool ending = true);
/// Whether SetProgramEnding was called.
bool IsProgramEnding();

/// Traces the failure ("ReportUnexpectedFailure: " + message, source "FailureHandler"), shows the
/// dialog and quits when the user chose Quit. Never throws. Once the program is ending, the report goes
/// to stderr instead of a dialog, and the program goes on ending.
void ReportUnexpectedFailure(const std::string& message);

/// Installs a std::terminate handler that reports the exception in flight (or the bare terminate) with
/// ReportUnexpectedFailure and then aborts: after terminate the program cannot go on, whatever the choice.
void InstallTerminateHandler();

}  // namespace almanex

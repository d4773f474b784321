#pragma once
// Whether this process may show widgets now. Message boxes, the failure dialog and our own balloon
// popup all fall back to text on stderr when it may not (a command-line tool, a worker thread).

namespace almanex {

/// True when widgets may be created here: a QApplication (not a bare QCoreApplication or
/// QGuiApplication) exists and this is its thread.
bool CanShowWidgets();

}  // namespace almanex

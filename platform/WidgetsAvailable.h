#pragma once
// Whether this process may show widgets now. Message boxes, the failure dialog and our own balloon
// popup all fall back to text on stderr when it may not (a command-line tool, a worker thread).

namespace almanex {

/// True when widgets may be created here: a QApplication (not a bare QCoreApplication or
/// QGuiApplication) exists and this is its thread.
bool CanShowWidgets();

/// True when a display server can be reached before the application object is made: the platform named
/// by QT_QPA_PLATFORM needs none (offscreen, vnc, ...), or the Wayland socket or a local X display socket
/// accepts a connection, or DISPLAY names another host (reached over the network; not probed here).
/// Without one, Qt would abort the program when it starts.
bool IsDisplayReachable();

}  // namespace almanex

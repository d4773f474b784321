#pragma once
// The self-pipe that turns POSIX signals into something a poll loop or a QSocketNotifier can wait on:
// the handler does nothing but write one byte into a non-blocking pipe, which is all a signal handler
// may safely do; the loop watches the read end. Plain POSIX, no Qt, so a tool without a user
// interface can use it as well as the program.

#include <initializer_list>

namespace almanex {

/// One pipe per process, shared by every caller.
class SignalPipe {
 public:
  /// Creates the pipe (first call only; close-on-exec, non-blocking) and routes each of the signal numbers to
  /// it. False, with errno set, when the pipe or a handler cannot be made.
  static bool Install(std::initializer_list<int> numbers);
  /// Gives each of the signal numbers back its default action.
  static void Restore(std::initializer_list<int> numbers);
  /// The end to watch for reading; -1 before a successful Install.
  static int ReadEnd();
  /// Reads every byte that waits in the pipe, so that the next signal wakes the watcher again.
  static void Drain();
};

}  // namespace almanex

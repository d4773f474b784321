#pragma once
// A file-operations seam for atomic replaces (the store, the settings store, autostart): counts its
// system calls, fails one on request and sets the clock that ages left-over temporary files.

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "base/AtomicFile.h"

namespace almanex::test {

/// Counts the system calls of the commits (each atomic replace renames exactly once) and makes the chosen one
/// fail (with ENOSPC, EIO or EXDEV); by default none fails.
class FaultyOperations : public FileOperations {
 public:
  enum class Step { kNone, kWrite, kFsync, kRename };

  Step failStep = Step::kNone;
  int failCall = 1;                                  // which call of failStep fails, counted from 1
  std::size_t chunk = static_cast<std::size_t>(-1);  // at most this many bytes per write
  int writes = 0;
  int fsyncs = 0;
  int renames = 0;
  std::string lastRenamedFrom;  // the temporary file of the last rename
  /// The clock left-over temporary files are aged against; none: the wall clock.
  std::optional<std::chrono::system_clock::time_point> now;

  long Write(int fd, const void* data, std::size_t size) override {
    if (Fails(Step::kWrite, ++writes)) return Fail(ENOSPC);
    return FileOperations::Write(fd, data, size < chunk ? size : chunk);
  }
  int Fsync(int fd) override {
    if (Fails(Step::kFsync, ++fsyncs)) return static_cast<int>(Fail(EIO));
    return FileOperations::Fsync(fd);
  }
  int Rename(const char* from, const char* to) override {
    lastRenamedFrom = from;
    if (Fails(Step::kRename, ++renames)) return static_cast<int>(Fail(EXDEV));
    return FileOperations::Rename(from, to);
  }
  std::chrono::system_clock::time_point Now() override { return now ? *now : FileOperations::Now(); }

 private:
  bool Fails(Step step, int call) const { return failStep == step && failCall == call; }
  static long Fail(int error) {
    errno = error;
    return -1;
  }
};

}  // namespace almanex::test

// almanex-run-measured: runs one command with its standard output thrown away and prints
// "<wall microseconds> <CPU microseconds (user + system)> <peak resident KB>" for it alone, from wait4.
// The benchmark scripts call it for every run, so that no process of the script's own is counted.
//
// usage: almanex-run-measured COMMAND [ARGUMENTS...]
// Exit status: the command's, or 127 when it could not be started.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

namespace {

std::int64_t Microseconds(const timeval& time) { return std::int64_t{time.tv_sec} * 1000000 + time.tv_usec; }

std::int64_t NowMicroseconds() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return std::int64_t{now.tv_sec} * 1000000 + now.tv_nsec / 1000;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: almanex-run-measured COMMAND [ARGUMENTS...]\n", stderr);
    return 2;
  }
  const std::int64_t start = NowMicroseconds();
  const pid_t child = ::fork();
  if (child < 0) return 127;
  if (child == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) ::dup2(null, STDOUT_FILENO);
    ::execvp(argv[1], argv + 1);
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  if (::wait4(child, &status, 0, &usage) != child) return 127;
  const std::int64_t wall = NowMicroseconds() - start;
  std::printf("%lld %lld %ld\n", static_cast<long long>(wall),
              static_cast<long long>(Microseconds(usage.ru_utime) + Microseconds(usage.ru_stime)), usage.ru_maxrss);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

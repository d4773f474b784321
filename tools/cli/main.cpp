#include <signal.h>
#include <unistd.h>

#include "Cli.h"
#include "platform/core/SystemClock.h"

namespace {

/// The file is mapped while it is read; another program that truncates it in place makes a read past its
/// new end fault. Say so instead of dying without a word.
void OnBusError(int) {
  static constexpr char kMessage[] = "almanex-cli: the file was cut short while it was read\n";
  const ssize_t ignored = ::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
  static_cast<void>(ignored);
  ::_exit(almanex::cli::kExitFailure);
}

}  // namespace

int main(int argc, char** argv) {
  struct sigaction action {};
  action.sa_handler = OnBusError;
  ::sigaction(SIGBUS, &action, nullptr);
  const almanex::SystemClock clock;
  almanex::cli::FileOutput out(STDOUT_FILENO, true);
  almanex::cli::FileOutput err(STDERR_FILENO, false);
  const int status = almanex::cli::Run(std::vector<std::string>(argv + 1, argv + argc), out, err, clock);
  out.Flush();
  return status;
}

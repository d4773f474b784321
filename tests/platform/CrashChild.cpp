// A tiny program the crash report tests start as a child: it installs the fatal-signal handler and then
// crashes the way its argument names, or restarts itself through the failure handler.

#include <signal.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QTimer>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/CrashReport.h"
#include "platform/FailureHandler.h"

namespace {

/// Never returns normally: each call takes a frame of its own until the stack is used up.
[[gnu::noinline]] int Recurse(int depth) {
  volatile char frame[512];
  frame[0] = static_cast<char>(depth);
  if (frame[0] == 0 && depth < 0) return 0;  // never true; keeps the compiler from seeing an endless recursion
  return Recurse(depth + 1) + frame[0];
}

/// Restarts once through an orderly end; the started image says it was started again, with its arguments.
int RestartOnce(int argc, char** argv) {
  if (std::getenv("ALMANEX_TEST_RESTARTED") != nullptr) {
    std::printf("started again:");
    for (int index = 1; index < argc; ++index) std::printf(" %s", argv[index]);
    std::printf("\n");
    return 0;
  }
  setenv("ALMANEX_TEST_RESTARTED", "1", 1);
  QCoreApplication application(argc, argv);
  almanex::SetOrderlyEnd([] {
    std::printf("ended in order\n");
    QCoreApplication::quit();
  });
  QTimer::singleShot(0, [] { almanex::RequestRestart(almanex::RestartWay::Orderly); });
  const int status = QCoreApplication::exec();
  std::printf("event loop left, restart requested: %s\n", almanex::IsRestartRequested() ? "yes" : "no");
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const char* mode = argv[1];
  if (std::strcmp(mode, "restart") == 0) return RestartOnce(argc, argv);
  // The tests check the report, not a core file.
  const rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
  if (!almanex::InstallFatalSignalHandler()) return 3;
  if (std::strcmp(mode, "segv") == 0) {
    volatile int* nowhere = reinterpret_cast<volatile int*>(static_cast<std::uintptr_t>(argc) - 2);
    *nowhere = 1;
  } else if (std::strcmp(mode, "abort") == 0) {
    std::abort();
  } else if (std::strcmp(mode, "overflow") == 0) {
    return Recurse(argc);
  } else if (std::strcmp(mode, "bus") == 0) {
    raise(SIGBUS);
  } else if (std::strcmp(mode, "fpe") == 0) {
    raise(SIGFPE);
  } else if (std::strcmp(mode, "ill") == 0) {
    raise(SIGILL);
  }
  return 4;
}

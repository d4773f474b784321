#include "MappedReadGuard.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

namespace almanex {
namespace {

struct Mapping {
  std::atomic<std::uintptr_t> start{0};
  std::atomic<std::size_t> length{0};
};

std::array<Mapping, 16> mappings;
struct sigaction previousAction {};
std::uintptr_t pageSize = 4096;

/// SIGBUS: a page of a registered mapping is replaced by a page of zeros, and the read that faulted
/// runs again on it. Any other fault goes back to the handler before ours.
void OnBusError(int signal, siginfo_t* info, void*) {
  const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  if (info->si_code > 0) {  // raised by a fault, not sent by a program
    for (const Mapping& mapping : mappings) {
      const std::uintptr_t start = mapping.start.load(std::memory_order_acquire);
      const std::size_t length = mapping.length.load(std::memory_order_acquire);
      if (start == 0 || address < start || address - start >= length) continue;
      void* page = reinterpret_cast<void*>(address & ~(pageSize - 1));
      if (::mmap(page, pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) return;
    }
  }
  // Not ours: the handler before ours takes this fault (a fault runs again and faults again on return;
  // a signal sent by a program is sent again).
  ::sigaction(SIGBUS, &previousAction, nullptr);
  if (info->si_code <= 0) ::raise(signal);
}

}  // namespace

void GuardMappedReads() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &previousAction);
  });
}

namespace detail {

// Registrations take a lock among themselves; the handler only reads the slots, start last written
// and first cleared, so that it never sees a start without its length.
std::mutex registrationMutex;

void RegisterMapping(const void* start, std::size_t length) {
  const std::lock_guard<std::mutex> guard(registrationMutex);
  for (Mapping& mapping : mappings) {
    if (mapping.start.load(std::memory_order_relaxed) != 0) continue;
    mapping.length.store(length, std::memory_order_release);
    mapping.start.store(reinterpret_cast<std::uintptr_t>(start), std::memory_order_release);
    return;
  }
}

void UnregisterMapping(const void* start) {
  const std::lock_guard<std::mutex> guard(registrationMutex);
  for (Mapping& mapping : mappings) {
    if (mapping.start.load(std::memory_order_relaxed) != reinterpret_cast<std::uintptr_t>(start)) continue;
    mapping.start.store(0, std::memory_order_release);
    mapping.length.store(0, std::memory_order_release);
    return;
  }
}

}  // namespace detail
}  // namespace almanex

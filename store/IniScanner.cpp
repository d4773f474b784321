#include "IniScanner.h"

#include <sys/mman.h>

namespace almanex::ini_scan {

void* AllocateHugePages(std::size_t size) {
  constexpr std::size_t kHugePage = LargeBufferAllocator<char>::kHugePage;
  const std::size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
  void* memory = std::aligned_alloc(kHugePage, rounded);
  if (memory == nullptr) throw std::bad_alloc();
  ::madvise(memory, rounded, MADV_HUGEPAGE);  // a hint: without huge pages the buffer works the same
  return memory;
}

}  // namespace almanex::ini_scan

#include "FreedMemory.h"

#include <cstdlib>  // defines __GLIBC__ on the GNU C library

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace almanex {

void ReturnFreedMemory() {
#if defined(__GLIBC__)
  (void)::malloc_trim(0);
#endif
}

}  // namespace almanex

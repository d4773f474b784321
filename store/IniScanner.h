#pragma once
// The byte scanner under the profile-file parser: finding line breaks and an entry's first '=' many
// bytes at a time, and the allocator of the large buffers the file is read into.
//
// The scans are inline: the parser calls them once or twice per line of a file of some 300,000
// lines. Each has two bodies that give the same answers: one 16 bytes at a time with SSE2 (every
// x86-64 processor has it) and a portable one 8 bytes at a time, used where SSE2 is missing. Both are
// compiled wherever SSE2 exists, so that the tests hold each against a plain byte-by-byte reference.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The parser calls each scan in its loop over lines; out of line, the call and the reloaded SSE2
// constants cost a third of the parse. GCC would inline a function of one caller with internal
// linkage by itself, but not these, which the tests call too.
#define ALMANEX_SCAN_INLINE [[gnu::always_inline]] inline

namespace almanex::ini_scan {

/// Allocates at least size bytes on a 2 MiB boundary and asks for huge pages under them.
void* AllocateHugePages(std::size_t size);

/// Allocates buffers of 2 MiB and more on 2 MiB boundaries and asks for huge pages under them, so
/// that reading a file of many events costs a handful of page faults instead of one per 4 KiB.
/// An element made without a value is default-initialised, not zeroed: resizing the byte buffer
/// before read() fills it then costs no pass of zeroes over megabytes (every other element is made
/// from a value, so nothing is left undefined).
template <typename T>
struct LargeBufferAllocator {
  using value_type = T;
  static constexpr std::size_t kHugePage = 2 * 1024 * 1024;

  LargeBufferAllocator() = default;
  template <typename U>
  LargeBufferAllocator(const LargeBufferAllocator<U>&) {}  // NOLINT(google-explicit-constructor)

  T* allocate(std::size_t count) {
    const std::size_t size = count * sizeof(T);
    if (size < kHugePage) return std::allocator<T>().allocate(count);
    return static_cast<T*>(AllocateHugePages(size));
  }
  void deallocate(T* pointer, std::size_t count) {
    if (count * sizeof(T) < kHugePage) return std::allocator<T>().deallocate(pointer, count);
    std::free(pointer);
  }
  template <typename U>
  void construct(U* pointer) noexcept(std::is_nothrow_default_constructible_v<U>) {
    ::new (static_cast<void*>(pointer)) U;  // default-initialised: a char keeps what read() puts there
  }
  template <typename U, typename... Args>
  void construct(U* pointer, Args&&... args) {
    ::new (static_cast<void*>(pointer)) U(std::forward<Args>(args)...);
  }
  template <typename U>
  bool operator==(const LargeBufferAllocator<U>&) const {
    return true;
  }
};

/// Where a scan stops: at a line break, or at a line break or the '=' that ends an entry's key.
enum class Stop { kLineBreak, kLineBreakOrEquals };

template <Stop kStop>
ALMANEX_SCAN_INLINE bool StopsAt(char c) {
  return c == '\r' || c == '\n' || (kStop == Stop::kLineBreakOrEquals && c == '=');
}

/// The offset after the line break at lineEnd (<= size): a CR LF is one line break.
ALMANEX_SCAN_INLINE std::uint32_t AfterLineBreak(const char* data, std::uint32_t lineEnd, std::uint32_t size) {
  if (lineEnd == size) return size;
  return lineEnd + ((data[lineEnd] == '\r' && lineEnd + 1 < size && data[lineEnd + 1] == '\n') ? 2 : 1);
}

/// Where an entry line's key and value end.
struct EntryScan {
  std::uint32_t equals;    // the line's first '=', or lineEnd when the line has none
  std::uint32_t lineEnd;   // the line break, or the end of the bytes
  std::uint32_t nextLine;  // the offset after the line break
  bool operator==(const EntryScan&) const = default;
};

/// FindStop eight bytes at a time, the last few one by one, so no byte past size is read.
template <Stop kStop>
ALMANEX_SCAN_INLINE std::uint32_t FindStopPortable(const char* data, std::uint32_t position, std::uint32_t size) {
  // The zero-byte test on the word XORed with each stop character flags the bytes equal to it.
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  constexpr std::uint64_t kHighs = 0x8080808080808080ull;
  const auto flags = [](std::uint64_t word, char c) {
    const std::uint64_t x = word ^ (kOnes * static_cast<unsigned char>(c));
    return (x - kOnes) & ~x & kHighs;
  };
  while (size - position >= 8) {
    std::uint64_t word;
    std::memcpy(&word, data + position, 8);
    std::uint64_t found = flags(word, '\n') | flags(word, '\r');
    if constexpr (kStop == Stop::kLineBreakOrEquals) found |= flags(word, '=');
    // The lowest flagged byte is exact (a false flag can only stand above a true one); bytes are
    // loaded little-endian, so it is the first stop of the word.
    if (found != 0) {
      if constexpr (std::endian::native == std::endian::little) {
        return position + static_cast<std::uint32_t>(std::countr_zero(found) >> 3);
      }
      break;  // the byte loop below finds it exactly
    }
    position += 8;
  }
  while (position < size && !StopsAt<kStop>(data[position])) ++position;
  return position;
}

/// ScanEntryLine from FindStopPortable: the first stop, then the line break after a '='.
ALMANEX_SCAN_INLINE EntryScan ScanEntryLinePortable(const char* data, std::uint32_t position, std::uint32_t size) {
  const std::uint32_t stop = FindStopPortable<Stop::kLineBreakOrEquals>(data, position, size);
  if (stop == size || data[stop] != '=') return {stop, stop, AfterLineBreak(data, stop, size)};
  const std::uint32_t lineEnd = FindStopPortable<Stop::kLineBreak>(data, stop + 1, size);
  return {stop, lineEnd, AfterLineBreak(data, lineEnd, size)};
}

#if defined(__SSE2__)
/// FindStop sixteen bytes at a time, the last few one by one, so no byte past size is read.
template <Stop kStop>
ALMANEX_SCAN_INLINE std::uint32_t FindStopSse2(const char* data, std::uint32_t position, std::uint32_t size) {
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i equals = _mm_set1_epi8('=');
  while (size - position >= 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + position));
    __m128i hits = _mm_or_si128(_mm_cmpeq_epi8(chunk, cr), _mm_cmpeq_epi8(chunk, lf));
    if constexpr (kStop == Stop::kLineBreakOrEquals) hits = _mm_or_si128(hits, _mm_cmpeq_epi8(chunk, equals));
    const unsigned found = static_cast<unsigned>(_mm_movemask_epi8(hits));  // bit i: byte i stops the scan
    if (found != 0) return position + static_cast<std::uint32_t>(std::countr_zero(found));
    position += 16;
  }
  while (position < size && !StopsAt<kStop>(data[position])) ++position;
  return position;
}

/// ScanEntryLine in one pass over 16-byte chunks: a short entry's key, value and line break mostly lie
/// in one chunk.
ALMANEX_SCAN_INLINE EntryScan ScanEntryLineSse2(const char* data, std::uint32_t position, std::uint32_t size) {
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i equalsSign = _mm_set1_epi8('=');
  bool equalsFound = false;
  std::uint32_t equals = 0;
  while (size - position >= 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + position));
    // Bit i of each mask: byte position + i is a CR, an LF, a '='.
    const unsigned crs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, cr)));
    const unsigned lfs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, lf)));
    const unsigned breaks = crs | lfs;
    if (!equalsFound) {
      unsigned signs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, equalsSign)));
      if (breaks != 0) signs &= (breaks & (0u - breaks)) - 1;  // only those before the first break
      if (signs != 0) {
        equalsFound = true;
        equals = position + static_cast<std::uint32_t>(std::countr_zero(signs));
      }
    }
    if (breaks != 0) {
      const unsigned first = static_cast<unsigned>(std::countr_zero(breaks));  // [0, 15]
      const std::uint32_t lineEnd = position + first;
      // A CR with an LF right after it, both in the chunk, is a CR LF; a break in the chunk's last
      // byte is left to AfterLineBreak, which looks past the chunk.
      const std::uint32_t nextLine =
          first < 15 ? lineEnd + 1 + (((crs & (lfs >> 1)) >> first) & 1u) : AfterLineBreak(data, lineEnd, size);
      return {equalsFound ? equals : lineEnd, lineEnd, nextLine};
    }
    position += 16;
  }
  if (equalsFound) {
    const std::uint32_t lineEnd = FindStopSse2<Stop::kLineBreak>(data, position, size);
    return {equals, lineEnd, AfterLineBreak(data, lineEnd, size)};
  }
  const std::uint32_t stop = FindStopSse2<Stop::kLineBreakOrEquals>(data, position, size);
  if (stop == size || data[stop] != '=') return {stop, stop, AfterLineBreak(data, stop, size)};
  const std::uint32_t lineEnd = FindStopSse2<Stop::kLineBreak>(data, stop + 1, size);
  return {stop, lineEnd, AfterLineBreak(data, lineEnd, size)};
}
#endif

/// The offset of the first byte at or after position (<= size) where the scan stops, or size. No byte
/// past size is read.
template <Stop kStop>
ALMANEX_SCAN_INLINE std::uint32_t FindStop(const char* data, std::uint32_t position, std::uint32_t size) {
#if defined(__SSE2__)
  return FindStopSse2<kStop>(data, position, size);
#else
  return FindStopPortable<kStop>(data, position, size);
#endif
}

/// The offset of the first CR or LF at or after position, or size.
ALMANEX_SCAN_INLINE std::uint32_t FindLineBreak(const char* data, std::uint32_t position, std::uint32_t size) {
  return FindStop<Stop::kLineBreak>(data, position, size);
}

/// The first '=', the line break and the next line of the line that goes on at position (<= size).
ALMANEX_SCAN_INLINE EntryScan ScanEntryLine(const char* data, std::uint32_t position, std::uint32_t size) {
#if defined(__SSE2__)
  return ScanEntryLineSse2(data, position, size);
#else
  return ScanEntryLinePortable(data, position, size);
#endif
}

}  // namespace almanex::ini_scan

#undef ALMANEX_SCAN_INLINE

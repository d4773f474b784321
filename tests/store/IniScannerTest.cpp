// The byte scanner against a plain byte-by-byte reference: '=', CR, LF and CR LF slid across every offset
// of the 16-byte chunks (and of the 8-byte words of the portable scan), alone and in pairs, for buffers
// that end inside, at and just past a chunk. Both bodies of each scan are held against the reference:
// the SSE2 one where the processor has it, and the portable one everywhere.

#include "store/IniScanner.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace almanex {
namespace {

using ini_scan::EntryScan;
using ini_scan::Stop;

// ---- the reference: one byte at a time, as the file's syntax reads ----

bool IsStop(char c, bool withEquals) { return c == '\r' || c == '\n' || (withEquals && c == '='); }

std::uint32_t ReferenceFindStop(std::string_view bytes, std::uint32_t position, bool withEquals) {
  while (position < bytes.size() && !IsStop(bytes[position], withEquals)) ++position;
  return position;
}

std::uint32_t ReferenceAfterLineBreak(std::string_view bytes, std::uint32_t lineEnd) {
  if (lineEnd == bytes.size()) return lineEnd;
  if (bytes.substr(lineEnd, 2) == "\r\n") return lineEnd + 2;
  return lineEnd + 1;
}

EntryScan ReferenceScanEntryLine(std::string_view bytes, std::uint32_t position) {
  const std::uint32_t lineEnd = ReferenceFindStop(bytes, position, false);
  const std::uint32_t equals = std::min(ReferenceFindStop(bytes, position, true), lineEnd);
  return {equals, lineEnd, ReferenceAfterLineBreak(bytes, lineEnd)};
}

// ---- the scans under test ----

struct Scanner {
  const char* name;
  std::uint32_t (*findLineBreak)(const char*, std::uint32_t, std::uint32_t);
  std::uint32_t (*findLineBreakOrEquals)(const char*, std::uint32_t, std::uint32_t);
  EntryScan (*scanEntryLine)(const char*, std::uint32_t, std::uint32_t);
};

void PrintTo(const Scanner& scanner, std::ostream* out) { *out << scanner.name; }

const Scanner kScanners[] = {
    {"Portable", &ini_scan::FindStopPortable<Stop::kLineBreak>, &ini_scan::FindStopPortable<Stop::kLineBreakOrEquals>,
     &ini_scan::ScanEntryLinePortable},
#if defined(__SSE2__)
    {"Sse2", &ini_scan::FindStopSse2<Stop::kLineBreak>, &ini_scan::FindStopSse2<Stop::kLineBreakOrEquals>,
     &ini_scan::ScanEntryLineSse2},
#endif
    {"Chosen", &ini_scan::FindStop<Stop::kLineBreak>, &ini_scan::FindStop<Stop::kLineBreakOrEquals>,
     &ini_scan::ScanEntryLine},
};

/// A buffer whose last byte is the last byte before an inaccessible page: a scan that reads past the
/// end of what it was given crashes the test instead of passing by luck.
class GuardedBuffer {
 public:
  GuardedBuffer() {
    pageSize_ = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    void* memory = ::mmap(nullptr, 2 * pageSize_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) throw std::bad_alloc();
    memory_ = static_cast<char*>(memory);
    ::mprotect(memory_ + pageSize_, pageSize_, PROT_NONE);
  }
  ~GuardedBuffer() { ::munmap(memory_, 2 * pageSize_); }
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;

  /// The bytes placed right before the guard page.
  const char* Place(std::string_view bytes) {
    char* start = memory_ + pageSize_ - bytes.size();
    std::memcpy(start, bytes.data(), bytes.size());
    return start;
  }

 private:
  std::size_t pageSize_ = 0;
  char* memory_ = nullptr;
};

// Fillers that are no stop, among them the bytes one above and below each stop (0x0B, 0x0C, 0x0E,
// '<', '>'), which a word-at-a-time zero-byte test can flag by mistake, and bytes with the top bit set.
constexpr std::string_view kFillers = "a\x0B\x0C\x0E<>\xFF\x80 \t\x01z";
// What is slid: each stop alone, and CR LF (one line break).
const std::string_view kMarks[] = {"=", "\r", "\n", "\r\n"};
// Buffer lengths that end inside, at and just past a 16-byte chunk and an 8-byte word.
constexpr std::uint32_t kLengths[] = {1, 2, 7, 8, 9, 15, 16, 17, 23, 31, 32, 33, 40};
// Where the scan starts; the bytes before it are stops, which the scan must not see.
constexpr std::uint32_t kStarts[] = {0, 1, 5};

std::string Filled(std::uint32_t length, std::uint32_t start) {
  std::string bytes(length, ' ');
  for (std::uint32_t i = 0; i < length; ++i) {
    bytes[i] = i < start ? (i % 2 == 0 ? '=' : '\n') : kFillers[(i * 7) % kFillers.size()];
  }
  return bytes;
}

class IniScannerTest : public ::testing::TestWithParam<Scanner> {
 protected:
  /// Compares every scan with the reference on bytes, starting at start.
  void Check(const std::string& bytes, std::uint32_t start) {
    const Scanner& scanner = GetParam();
    const char* data = buffer_.Place(bytes);
    const auto size = static_cast<std::uint32_t>(bytes.size());
    ASSERT_EQ(scanner.findLineBreak(data, start, size), ReferenceFindStop(bytes, start, false))
        << Describe(bytes, start);
    ASSERT_EQ(scanner.findLineBreakOrEquals(data, start, size), ReferenceFindStop(bytes, start, true))
        << Describe(bytes, start);
    const EntryScan expected = ReferenceScanEntryLine(bytes, start);
    const EntryScan actual = scanner.scanEntryLine(data, start, size);
    ASSERT_TRUE(actual == expected) << Describe(bytes, start) << " equals/lineEnd/nextLine " << actual.equals << "/"
                                    << actual.lineEnd << "/" << actual.nextLine << ", expected " << expected.equals
                                    << "/" << expected.lineEnd << "/" << expected.nextLine;
    ++checked_;
  }

  static std::string Describe(std::string_view bytes, std::uint32_t start) {
    std::string text = "start " + std::to_string(start) + ", bytes:";
    for (const char c : bytes) {
      if (c == '\r') {
        text += " CR";
      } else if (c == '\n') {
        text += " LF";
      } else if (c == '=') {
        text += " =";
      } else {
        text += " .";
      }
    }
    return text;
  }

  GuardedBuffer buffer_;
  int checked_ = 0;
};

TEST_P(IniScannerTest, NoStopFindsTheEnd) {
  for (std::uint32_t length = 0; length <= 40; ++length) {
    for (const std::uint32_t start : kStarts) {
      if (start <= length) Check(Filled(length, std::min(start, length)), start);
    }
  }
}

TEST_P(IniScannerTest, OneMarkAtEveryOffsetMatchesTheReference) {
  for (const std::uint32_t length : kLengths) {
    for (const std::uint32_t start : kStarts) {
      if (start >= length) continue;
      for (const std::string_view mark : kMarks) {
        for (std::uint32_t at = start; at + mark.size() <= length; ++at) {
          std::string bytes = Filled(length, start);
          bytes.replace(at, mark.size(), mark);
          Check(bytes, start);
        }
      }
    }
  }
  EXPECT_GT(checked_, 1000);
}

// Two marks: an '=' after a line break belongs to the next line, a CR and an LF apart are two line
// breaks, and a CR LF split across two chunks is still one.
TEST_P(IniScannerTest, TwoMarksAtEveryPairOfOffsetsMatchTheReference) {
  for (const std::uint32_t length : {16u, 17u, 32u, 33u}) {
    for (const std::uint32_t start : {0u, 1u}) {
      for (const std::string_view first : kMarks) {
        for (const std::string_view second : kMarks) {
          for (std::uint32_t at = start; at + first.size() <= length; ++at) {
            for (std::uint32_t next = at + static_cast<std::uint32_t>(first.size()); next + second.size() <= length;
                 ++next) {
              std::string bytes = Filled(length, start);
              bytes.replace(at, first.size(), first);
              bytes.replace(next, second.size(), second);
              Check(bytes, start);
            }
          }
        }
      }
    }
  }
  EXPECT_GT(checked_, 10000);
}

INSTANTIATE_TEST_SUITE_P(Bodies, IniScannerTest, ::testing::ValuesIn(kScanners),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace almanex

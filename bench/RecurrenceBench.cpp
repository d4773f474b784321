// The reminder search's due-today pass over 10,000 events: open one snapshot of the file, then run the
// due test of every event section against today. Target: under 20 ms for the whole pass.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/common/EventsGenerator.h"
#include "datetime/DateTime.h"
#include "datetime/FormatSettings.h"
#include "recurrence/IniRecurrenceUnit.h"
#include "store/IniFile.h"

namespace {

using namespace almanex;

constexpr int kEvents = 10000;

// Tuesday 8 December 2026, 09:30; the search tests today's date at midnight.
const DateTime kToday = [] {
  return static_cast<DateTime>((std::chrono::sys_days{std::chrono::year{2026} / 12 / 8} -
                                std::chrono::sys_days{std::chrono::year{1899} / 12 / 30})
                                   .count());
}();
const DateTime kNow = kToday + 0.3958333333333333;

const std::string& EventsFile() { return bench::TenThousandEventsFile(); }

bool IsEventSection(const std::string& name) { return name.find("Event") != std::string::npos; }

// The whole pass as the scheduler makes it: parse once, list the sections, one due test each.
void BM_DueTodayPass(benchmark::State& state) {
  const std::string& path = EventsFile();
  const FormatSettings settings;
  int due = 0;
  for (auto _ : state) {
    const IniFile file(path);
    due = 0;
    for (const std::string& section : file.SectionNames()) {
      if (IsEventSection(section) && IsReminderDue(file, section, kToday, kNow, settings)) {
        ++due;
      }
    }
    benchmark::DoNotOptimize(due);
  }
  state.counters["events"] = kEvents;
  state.counters["due"] = due;
}
BENCHMARK(BM_DueTodayPass)->Unit(benchmark::kMillisecond);

// Only the parse: open the snapshot and list its sections.
void BM_OpenSnapshot(benchmark::State& state) {
  const std::string& path = EventsFile();
  for (auto _ : state) {
    const IniFile file(path);
    std::vector<std::string> sections = file.SectionNames();
    benchmark::DoNotOptimize(sections);
  }
}
BENCHMARK(BM_OpenSnapshot)->Unit(benchmark::kMillisecond);

// Only the 10,000 pattern reads from an open snapshot (no parse).
void BM_ReadPatterns(benchmark::State& state) {
  const IniFile file(EventsFile());
  const std::vector<std::string> sections = file.SectionNames();
  const FormatSettings settings;
  for (auto _ : state) {
    for (const std::string& section : sections) {
      RecurrencePattern pattern = ReadRecurrencePattern(file, section, kNow, settings);
      benchmark::DoNotOptimize(pattern);
    }
  }
}
BENCHMARK(BM_ReadPatterns)->Unit(benchmark::kMillisecond);

// Only the 10,000 due tests on patterns already read (no file access, no trace listener).
void BM_IsDueOnly(benchmark::State& state) {
  const IniFile file(EventsFile());
  const FormatSettings settings;
  std::vector<RecurrencePattern> patterns;
  for (const std::string& section : file.SectionNames()) {
    if (IsEventSection(section)) {
      patterns.push_back(ReadRecurrencePattern(file, section, kNow, settings));
    }
  }
  int due = 0;
  for (auto _ : state) {
    due = 0;
    for (const RecurrencePattern& pattern : patterns) {
      due += IsDue(pattern, kToday, settings) ? 1 : 0;
    }
    benchmark::DoNotOptimize(due);
  }
  state.counters["due"] = due;
}
BENCHMARK(BM_IsDueOnly)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

// The reminder scheduler over 10,000 events: a quiet tick, a search, a day-change reset and the
// whole day-change tick (reset then search). bench/README.md explains the figures.
//
// Counters: "file_opens" is the number of file operations per iteration (the scheduler asks for the
// configuration path once per snapshot it opens), "commits" the atomic replaces per iteration (counted
// at the rename that ends each one).

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "app/ReminderScheduler.h"
#include "bench/common/EventsGenerator.h"
#include "datetime/DateTime.h"
#include "store/IniFile.h"

namespace almanex {
namespace {

constexpr int kEvents = 10000;

// Tuesday 8 December 2026 at midnight.
const DateTime kToday = *TryEncodeDate(2026, 12, 8);

const std::string& EventsFile() { return bench::TenThousandEventsFile(); }

class SilentBalloons final : public BalloonSink {
 public:
  void ShowBalloon(const QString&, const QString&, BalloonKind) override { ++shown; }
  long shown = 0;
};

class CountingOperations final : public FileOperations {
 public:
  int Rename(const char* from, const char* to) override {
    ++commits;
    return FileOperations::Rename(from, to);
  }
  long commits = 0;
};

// A scheduler on the generated file with its own records and counters.
struct Rig {
  ManualClock clock;
  SilentBalloons balloons;
  CountingOperations operations;
  long opens = 0;
  TNextReminder next;
  TReminderWay way;
  ReminderScheduler scheduler{[this] {
                                ++opens;
                                return EventsFile();
                              },
                              clock,
                              FormatSettings{},
                              balloons,
                              next,
                              way,
                              &operations};

  void Report(benchmark::State& state, long opensBefore, long commitsBefore) {
    const double iterations = static_cast<double>(state.iterations());
    state.counters["file_opens"] = static_cast<double>(opens - opensBefore) / iterations;
    state.counters["commits"] = static_cast<double>(operations.commits - commitsBefore) / iterations;
    state.counters["pending"] = next.bFound ? 1 : 0;
  }
};

// A tick with nothing due: the first tick (reset and search) is made before timing. At midnight the
// reminders set for 12:00:00 AM are pending but not yet due (now must be strictly later).
void BM_QuietTick(benchmark::State& state) {
  Rig rig;
  rig.clock.Set(kToday);
  rig.scheduler.Tick();
  const long opens = rig.opens;
  const long commits = rig.operations.commits;
  for (auto _ : state) {
    rig.scheduler.Tick();
    benchmark::ClobberMemory();
  }
  rig.Report(state, opens, commits);
  state.counters["balloons"] = static_cast<double>(rig.balloons.shown);
}
BENCHMARK(BM_QuietTick)->Unit(benchmark::kNanosecond);

// SearchNextReminder over the 10,000 events at 09:30: one parse, one due test per section.
void BM_Search(benchmark::State& state) {
  Rig rig;
  rig.clock.Set(kToday + 9.5 / 24);
  for (auto _ : state) rig.scheduler.SearchNextReminder();
  rig.Report(state, 0, 0);
}
BENCHMARK(BM_Search)->Unit(benchmark::kMillisecond);

// ResetNotificationFlag over the 10,000 events: 10,000 writes into one snapshot, one atomic replace.
void BM_Reset(benchmark::State& state) {
  Rig rig;
  rig.clock.Set(kToday);
  for (auto _ : state) rig.scheduler.ResetNotificationFlag();
  rig.Report(state, 0, 0);
}
BENCHMARK(BM_Reset)->Unit(benchmark::kMillisecond);

// The first tick of a new day: reset, then search (at midnight nothing is due yet, so no balloon).
void BM_DayChangeTick(benchmark::State& state) {
  Rig rig;
  DateTime day = kToday;
  for (auto _ : state) {
    day += 1;
    rig.clock.Set(day);
    rig.scheduler.Tick();
  }
  rig.Report(state, 0, 0);
  state.counters["balloons"] = static_cast<double>(rig.balloons.shown);
}
BENCHMARK(BM_DayChangeTick)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace almanex

BENCHMARK_MAIN();

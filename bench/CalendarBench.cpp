// The iCalendar export of 10,000 events and its re-import into an empty file (bench/README.md,
// "Calendar"). Targets: each under 1 s.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/common/EventsGenerator.h"
#include "calendar/IcsExport.h"
#include "calendar/IcsImport.h"
#include "datetime/DateTime.h"
#include "datetime/FormatSettings.h"
#include "store/IniFile.h"

namespace {

using namespace almanex;

// Tuesday 8 December 2026, 09:30.
const DateTime kNow = [] {
  return static_cast<DateTime>((std::chrono::sys_days{std::chrono::year{2026} / 12 / 8} -
                                std::chrono::sys_days{std::chrono::year{1899} / 12 / 30})
                                   .count()) +
         0.3958333333333333;
}();

const std::string& ExportedText() {
  static const std::string text = calendar::ExportCalendar(IniFile(bench::TenThousandEventsFile()), kNow, {});
  return text;
}

/// The VEVENTs of a calendar without their DTSTAMP lines.
std::vector<std::string> EventsWithoutStamp(const std::string& ics) {
  std::vector<std::string> events;
  for (std::size_t at = 0; (at = ics.find("BEGIN:VEVENT\r\n", at)) != std::string::npos;) {
    const std::size_t end = ics.find("END:VEVENT\r\n", at) + 12;
    std::string event = ics.substr(at, end - at);
    const std::size_t stamp = event.find("\r\nDTSTAMP:");
    if (stamp != std::string::npos) event.erase(stamp, event.find("\r\n", stamp + 2) - stamp);
    events.push_back(std::move(event));
    at = end;
  }
  return events;
}

// Open the file (one parse) and export every event section.
void BM_ExportCalendar(benchmark::State& state) {
  const FormatSettings settings;
  std::size_t bytes = 0;
  for (auto _ : state) {
    const IniFile file(bench::TenThousandEventsFile());
    const std::string text = calendar::ExportCalendar(file, kNow, settings);
    bytes = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.counters["events"] = 10000;
  state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_ExportCalendar)->Unit(benchmark::kMillisecond);

// Only the reading: parse the exported calendar and map its VEVENTs, writing nothing (--dry-run).
void BM_ImportDryRun(benchmark::State& state) {
  const FormatSettings settings;
  const bench::GeneratedEventsFile target("");
  const std::string& text = ExportedText();
  for (auto _ : state) {
    IniFile file(target.Path());
    benchmark::DoNotOptimize(calendar::ImportCalendar(text, file, kNow, settings, false).added.size());
  }
}
BENCHMARK(BM_ImportDryRun)->Unit(benchmark::kMillisecond);

// Parse the exported calendar and write its 10,000 events into an empty file, one atomic write.
void BM_ImportCalendar(benchmark::State& state) {
  const FormatSettings settings;
  const bench::GeneratedEventsFile target("");
  const std::string& text = ExportedText();  // made before the timing starts
  std::size_t added = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::remove(target.Path().c_str());
    state.ResumeTiming();
    IniFile file(target.Path());
    const calendar::ImportReport report = calendar::ImportCalendar(text, file, kNow, settings, true);
    file.Flush();
    added = report.added.size();
  }
  state.counters["events"] = static_cast<double>(added);
}
BENCHMARK(BM_ImportCalendar)->Unit(benchmark::kMillisecond);

// Not timed for speed: export, import into an empty file, export again; the VEVENTs must be the same
// bytes apart from DTSTAMP. Reported as the counter "identical" (1 or an error).
void BM_RoundTripIdentity(benchmark::State& state) {
  const FormatSettings settings;
  const bench::GeneratedEventsFile target("");
  for (auto _ : state) {
    std::remove(target.Path().c_str());
    IniFile file(target.Path());
    calendar::ImportCalendar(ExportedText(), file, kNow, settings, true);
    file.Flush();
    const std::string again = calendar::ExportCalendar(IniFile(target.Path()), kNow, settings);
    if (EventsWithoutStamp(again) != EventsWithoutStamp(ExportedText())) {
      state.SkipWithError("the round trip changed a VEVENT");
      return;
    }
  }
  state.counters["identical"] = 1;
}
BENCHMARK(BM_RoundTripIdentity)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();

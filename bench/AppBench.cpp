// The main window with 10,000 events: loading the list, one quiet tick (refresh and repaint), and one
// tick that shows a reminder and marks it in the file.
//
// Runs offscreen; the repaint is real (Qt paints into the offscreen backing store). The figure
// "rss_mb" is the resident size of this process after the window has loaded and painted the list.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <fstream>
#include <memory>
#include <regex>
#include <string>

#include "app/EventListModel.h"
#include "app/MainForm.h"
#include "bench/common/EventsGenerator.h"
#include "grid/GridView.h"
#include "platform/Notifier.h"
#include "store/EventList.h"
#include "store/IniFile.h"

namespace almanex {
namespace {

constexpr int kEvents = 10000;

const std::string& EventsFile() {
  // Every reminder at the end of the day, so the ticks measured here show none: the scheduler's own
  // costs are measured by bench_scheduler.
  static const bench::GeneratedEventsFile file(
      std::regex_replace(bench::GenerateEventsIni(kEvents), std::regex("RemindTime=[^\r]*"), "RemindTime=11:59:59 PM"));
  return file.Path();
}

double ResidentMegabytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  }
  return 0;
}

constexpr DateTime kNow = 46016.5;  // 2025-12-25 12:00

void BM_LoadEventList(benchmark::State& state) {
  FormatSettings settings;
  EventListModel model(settings);
  for (auto _ : state) {
    const IniFile file(EventsFile());
    model.SetEvents(LoadEventList(file, kNow, settings));
    benchmark::DoNotOptimize(model.rowCount());
  }
  state.counters["events"] = model.rowCount();
}
BENCHMARK(BM_LoadEventList)->Unit(benchmark::kMillisecond);

void BM_Tick(benchmark::State& state) {
  ManualClock clock(kNow);
  TFrmMain form({clock, FormatSettings{}, [] { return EventsFile(); }});
  form.Timer1.stop();  // the benchmark drives the ticks itself
  form.show();
  form.Timer1Timer();
  form.repaint();
  QApplication::processEvents();
  for (auto _ : state) {
    clock.AdvanceMilliseconds(1000);
    form.Timer1Timer();
    form.repaint();
  }
  state.counters["events"] = form.Model().rowCount();
  state.counters["rss_mb"] = ResidentMegabytes();
}
BENCHMARK(BM_Tick)->Unit(benchmark::kMillisecond);

class CountingBalloons final : public BalloonSink {
 public:
  void ShowBalloon(const QString&, const QString&, BalloonKind kind) override {
    if (kind == BalloonKind::Reminder) ++reminders;
  }
  long reminders = 0;
};

// Every reminder at 00:00:00 and now at noon: after the first tick (the reset and the search) every
// event due today is overdue, so each later tick shows one reminder, writes its mark and searches again,
// the one-per-tick pace of the scheduler. The file is a fresh copy per run; "reminders" counts the
// balloons shown by the measured ticks and must equal the iterations.
void BM_ReminderTick(benchmark::State& state) {
  const bench::GeneratedEventsFile file(
      std::regex_replace(bench::GenerateEventsIni(kEvents), std::regex("RemindTime=[^\r]*"), "RemindTime=12:00:00 AM"));
  ManualClock clock(kNow);
  CountingBalloons balloons;
  TFrmMain form({clock, FormatSettings{}, [&file] { return file.Path(); }, {}, &balloons});
  form.Timer1.stop();
  form.show();
  form.Timer1Timer();  // the first tick: reset, search, and the first reminder
  form.repaint();
  QApplication::processEvents();
  const long before = balloons.reminders;
  for (auto _ : state) {
    clock.AdvanceMilliseconds(1000);
    form.Timer1Timer();
    form.repaint();
  }
  state.counters["reminders"] = static_cast<double>(balloons.reminders - before);
}
// Fewer reminders are due on the day than iterations a timing loop would take.
BENCHMARK(BM_ReminderTick)->Unit(benchmark::kMillisecond)->Iterations(200);

}  // namespace
}  // namespace almanex

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Almanex"));
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

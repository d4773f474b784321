// The store on a large configuration file: 10,000 event sections shaped like the dialog writes them.
// See bench/README.md, section "Store", for what each figure means.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "datetime/FormatSettings.h"
#include "store/ConfigFile.h"
#include "store/IniFile.h"

namespace {

constexpr int kEventCount = 10000;

std::string EventSection(int number) {
  const std::string n = std::to_string(number);
  std::string s;
  s += "[Event" + n + "]\r\n";
  s += "Title=Wedding anniversary of guest number " + n + "\r\n";
  s += "Date=6/" + std::to_string(1 + number % 28) + "/" + std::to_string(1950 + number % 70) + "\r\n";
  s += "Time=4:" + std::to_string(10 + number % 50) + ":00 PM\r\n";
  s += "DateChecked=1\r\nTimeChecked=" + std::to_string(number % 2) + "\r\nType=0\r\n";
  s += "TypeDesc=Anniversary\r\nForeGroundColor=0\r\nBackGroundColor=-16777211\r\n";
  s += "RemindMe=1\r\nRemindTime=9:00:00 AM\r\nReminded=0\r\n";
  s += "RPStartDate=12/8/2026\r\nRPEndDate=12/8/2026\r\nRPEndType=0\r\nRPRecurrenceType=5\r\n";
  s += "RPInterval=1\r\nRPDayOfWeekMask=62\r\nRPInstance=0\r\n";  // left from an earlier weekly pattern
  s += "RPMonthOfYear=5\r\nRPDayOfMonth=14\r\n";
  s += "RemindOfYears=1\r\nRemindOfMonths=1\r\nRemindOfWeeks=1\r\nRemindOfDays=1\r\n";
  s += "RemindOfHours=1\r\nRemindOfMinutes=1\r\nRemindOfSeconds=1\r\n";
  s += "LastSentence=Do not forget the flowers for anniversary " + n + ".\r\n";
  s += "FirstSentence=Dear, remember: event " + n + " is coming.\r\n";
  return s;
}

/// The generated file, written once per process into a private temporary folder.
class LargeConfigFile {
 public:
  /// tail: bytes appended after the GridSettings section.
  explicit LargeConfigFile(std::string_view tail = {}) {
    const char* root = std::getenv("TMPDIR");
    std::string pattern = std::string(root != nullptr ? root : "/tmp") + "/almanex-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    folder_ = pattern;
    path_ = folder_ + "/Config.INI";
    for (int i = 1; i <= kEventCount; ++i) bytes_ += EventSection(i);
    bytes_ += "[GridSettings]\r\n";
    for (int i = 0; i < 12; ++i) bytes_ += "ColWidth" + std::to_string(i) + "=80\r\n";
    bytes_ += tail;
    Restore();
  }
  ~LargeConfigFile() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  void Restore() const {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(bytes_.data(), static_cast<std::streamsize>(bytes_.size()));
  }
  const std::string& Path() const { return path_; }
  std::size_t Size() const { return bytes_.size(); }

 private:
  std::string folder_;
  std::string path_;
  std::string bytes_;
};

const LargeConfigFile& File() {
  static const LargeConfigFile file;
  return file;
}

/// The same file with the formats its dates and times are written in recorded at its end.
const LargeConfigFile& FileWithFormats() {
  static const LargeConfigFile file(
      "[Formats]\r\nShortDateFormat=\"m/d/yyyy\"\r\nLongTimeFormat=\"h:nn:ss ampm\"\r\nDateSeparator=\"/\"\r\n"
      "TimeSeparator=\":\"\r\nTimeAMString=\"AM\"\r\nTimePMString=\"PM\"\r\n");
  return file;
}

void Report(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(File().Size()));
  state.counters["MB"] = static_cast<double>(File().Size()) / 1e6;
  state.counters["sections"] = kEventCount + 1;
}

// Open and parse: read the file into one buffer and build the section and key index.
void BM_OpenParse(benchmark::State& state) {
  for (auto _ : state) {
    almanex::IniFile file(File().Path());
    benchmark::DoNotOptimize(file.SectionExists("GridSettings"));
  }
  Report(state);
}
BENCHMARK(BM_OpenParse)->Unit(benchmark::kMillisecond);

// Open, parse, list the sections and read the eight keys of a list row in every event section, as
// values (the store's share of a list load).
void BM_OpenParseReadListKeys(benchmark::State& state) {
  for (auto _ : state) {
    almanex::IniFile file(File().Path());
    std::size_t total = 0;
    for (const std::string& section : file.SectionNames()) {
      if (!almanex::IsEventSection(section)) continue;
      total += file.ReadString(section, "Title", "").size();
      total += file.ReadValue(section, "Date").value_or("").size();
      total += file.ReadValue(section, "Time").value_or("").size();
      total += file.ReadBool(section, "DateChecked", true);
      total += file.ReadBool(section, "TimeChecked", true);
      total += file.ReadString(section, "TypeDesc", "").size();
      total += static_cast<std::size_t>(file.ReadInteger(section, "ForeGroundColor", 0));
      total += static_cast<std::size_t>(file.ReadInteger(section, "BackGroundColor", -16777211));
    }
    benchmark::DoNotOptimize(total);
  }
  Report(state);
}
BENCHMARK(BM_OpenParseReadListKeys)->Unit(benchmark::kMillisecond);

// The same with Date and Time parsed in the user's formats, in a file that records none (path) or one
// that records the formats they are written in.
void ReadListKeysTyped(benchmark::State& state, const std::string& path) {
  const almanex::FormatSettings settings;
  for (auto _ : state) {
    almanex::IniFile file(path);
    double total = 0;
    for (const std::string& section : file.SectionNames()) {
      if (!almanex::IsEventSection(section)) continue;
      total += static_cast<double>(file.ReadString(section, "Title", "").size());
      total += file.ReadDate(section, "Date", 0, settings);
      total += file.ReadTime(section, "Time", 0, settings);
      total += file.ReadBool(section, "DateChecked", true);
      total += file.ReadBool(section, "TimeChecked", true);
      total += static_cast<double>(file.ReadString(section, "TypeDesc", "").size());
      total += file.ReadInteger(section, "ForeGroundColor", 0);
      total += file.ReadInteger(section, "BackGroundColor", -16777211);
    }
    benchmark::DoNotOptimize(total);
  }
  Report(state);
}
void BM_OpenParseReadListKeysTyped(benchmark::State& state) { ReadListKeysTyped(state, File().Path()); }
BENCHMARK(BM_OpenParseReadListKeysTyped)->Unit(benchmark::kMillisecond);
void BM_OpenParseReadListKeysTypedRecorded(benchmark::State& state) {
  ReadListKeysTyped(state, FileWithFormats().Path());
}
BENCHMARK(BM_OpenParseReadListKeysTypedRecorded)->Unit(benchmark::kMillisecond);

// 10,000 lookups of 10,000 different sections in a parsed file: the section index is hashed, so
// this stays far from 10,000 x 10,000 name comparisons.
void BM_SectionLookups(benchmark::State& state) {
  const almanex::IniFile file(File().Path());
  std::vector<std::string> names;
  for (int i = kEventCount; i >= 1; --i) names.push_back("event" + std::to_string(i));  // other case, reverse order
  for (auto _ : state) {
    std::size_t found = 0;
    for (const std::string& name : names) found += file.ReadValue(name, "Reminded").has_value();
    benchmark::DoNotOptimize(found);
  }
  state.counters["lookups"] = kEventCount;
}
BENCHMARK(BM_SectionLookups)->Unit(benchmark::kMillisecond);

// The scheduler's day-change reset: Reminded=0 written into every event section, one commit
// (temporary file, write, fsync, rename, folder fsync).
void BM_ResetAllReminded(benchmark::State& state) {
  for (auto _ : state) {
    almanex::IniFile file(File().Path());
    for (const std::string& section : file.SectionNames()) {
      if (almanex::IsEventSection(section)) file.WriteBool(section, "Reminded", false);
    }
    file.Flush();
  }
  File().Restore();
  Report(state);
}
BENCHMARK(BM_ResetAllReminded)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

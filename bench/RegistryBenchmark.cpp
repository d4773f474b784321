// The settings store (platform/Registry.h) on large registry.reg files: opening a key reads and parses
// the whole file, so these figures are the parse time at 10,000 and 100,000 values.
// See bench/README.md, section "Settings store", for what each figure means.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "platform/Registry.h"

namespace {

constexpr int kValuesPerKey = 10;

std::string KeyPath(int key) { return "Software\\Quorvel\\Almanex\\2.0\\Almanex\\Bench\\Key" + std::to_string(key); }

/// One value line: every other one a DWORD, the rest strings with escapes, as the program writes them.
std::string ValueLine(int value) {
  const std::string n = std::to_string(value);
  if (value % 2 == 0)
    return "\"Number" + n + "\"=dword:" + std::string(8 - std::min<std::size_t>(8, n.size()), '0') + n + "\n";
  return "\"Text" + n + "\"=\"Anniversary\\r\\nBirthday " + n + "\\r\\n\"\n";
}

/// A registry.reg of `values` values in a private temporary folder, written once per shape and size.
class LargeRegistryFile {
 public:
  /// valuesPerKey: how many values each key holds; the last key may hold fewer.
  LargeRegistryFile(int values, int valuesPerKey) {
    const char* root = std::getenv("TMPDIR");
    std::string pattern = std::string(root != nullptr ? root : "/tmp") + "/almanex-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    folder_ = pattern;
    path_ = folder_ + "/registry.reg";
    std::string bytes = "REGEDIT4\n";
    for (int value = 0; value < values; ++value) {
      if (value % valuesPerKey == 0) {
        lastKey_ = KeyPath(value / valuesPerKey);
        bytes += "\n[HKEY_CURRENT_USER\\" + lastKey_ + "]\n";
      }
      bytes += ValueLine(value);
    }
    lastValue_ = values - 1;
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    size_ = bytes.size();
  }
  ~LargeRegistryFile() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  LargeRegistryFile(const LargeRegistryFile&) = delete;
  LargeRegistryFile& operator=(const LargeRegistryFile&) = delete;

  const std::string& Path() const { return path_; }
  const std::string& LastKey() const { return lastKey_; }
  int LastValue() const { return lastValue_; }
  std::size_t Size() const { return size_; }

 private:
  std::string folder_;
  std::string path_;
  std::string lastKey_;
  int lastValue_ = 0;
  std::size_t size_ = 0;
};

const LargeRegistryFile& File(int values, int valuesPerKey) {
  static std::map<std::pair<int, int>, std::unique_ptr<LargeRegistryFile>> files;
  auto& file = files[{values, valuesPerKey}];
  if (!file) file = std::make_unique<LargeRegistryFile>(values, valuesPerKey);
  return *file;
}

// Opens the file's last key (one read and parse of the whole file) and reads its last value.
void OpenAndRead(benchmark::State& state, int valuesPerKey) {
  const int values = static_cast<int>(state.range(0));
  const LargeRegistryFile& file = File(values, valuesPerKey);
  const int last = file.LastValue();
  const std::string name = (last % 2 == 0 ? "Number" : "Text") + std::to_string(last);
  for (auto _ : state) {
    almanex::RegistryKey key;
    if (key.Open(file.LastKey(), false, file.Path()) != almanex::RegistryStatus::Ok) {
      state.SkipWithError("the generated file did not open");
      break;
    }
    std::string text;
    std::uint32_t number = 0;
    const almanex::RegistryStatus status = last % 2 == 0 ? key.ReadDword(name, number) : key.ReadString(name, text);
    if (status != almanex::RegistryStatus::Ok) {
      state.SkipWithError("the last value did not read back");
      break;
    }
    benchmark::DoNotOptimize(number);
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(file.Size()));
  state.counters["MB"] = static_cast<double>(file.Size()) / 1e6;
  state.counters["keys"] = (values + valuesPerKey - 1) / valuesPerKey;
}

// Ten values per key: the file holds values / 10 keys, each found through the key index.
void BM_ParseTenValuesPerKey(benchmark::State& state) { OpenAndRead(state, kValuesPerKey); }
BENCHMARK(BM_ParseTenValuesPerKey)->ArgName("values")->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Every value in one key: each value found through the key's value index.
void BM_ParseOneKey(benchmark::State& state) { OpenAndRead(state, static_cast<int>(state.range(0))); }
BENCHMARK(BM_ParseOneKey)->ArgName("values")->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

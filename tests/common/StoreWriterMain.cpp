// almanex_store_writer: a second process that commits the store and the settings store, for the tests of
// concurrent writers and of writers killed during a commit.
//
//   almanex_store_writer ini-increment FILE COUNT        COUNT times: read [Counter] Value, write it plus one
//   almanex_store_writer registry-increment FILE COUNT   the same through a settings-store key
//   almanex_store_writer crash-loop FILE                 commits version after version until killed
//   almanex_store_writer crash-commit FILE               one commit of the next version
//   almanex_store_writer crash-check FILE                prints the version the file holds; status 1 when
//                                                        its bytes are not exactly those of a version
//   almanex_store_writer mark-start FILE                 writes version 1 with a Mark of 0
//   almanex_store_writer mark-loop FILE                  flips [Crash] Mark between 0 and 1, each flip one
//                                                        commit (written in place), until killed
//   almanex_store_writer mark-check FILE                 prints the mark; status 1 when the bytes are not
//                                                        exactly version 1 with a mark of 0 or 1
//
// Version n of the crash file is "[Crash]", Counter=n, a Payload whose length and letters depend on n,
// and End=n, each line ended by CR LF: a torn or mixed file matches no version. Version 0 is no file.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/Registry.h"
#include "store/IniFile.h"

namespace {

using almanex::IniFile;
using almanex::IniLock;

constexpr const char* kCrashSection = "Crash";

/// Large enough that a kill often lands while the temporary file is written.
std::string Payload(std::int32_t version) {
  std::string payload(static_cast<std::size_t>(200000 + (version % 7) * 50000), ' ');
  for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>('a' + (i + version) % 26);
  return payload;
}

std::string VersionBytes(std::int32_t version) {
  const std::string number = std::to_string(version);
  return "[Crash]\r\nCounter=" + number + "\r\nPayload=" + Payload(version) + "\r\nEnd=" + number + "\r\n";
}

/// Version 1 with a Mark line before End: the file of the mark commands.
std::string MarkedBytes(char mark) {
  const std::string bytes = VersionBytes(1);
  const std::size_t end = bytes.rfind("End=");
  return bytes.substr(0, end) + "Mark=" + mark + "\r\n" + bytes.substr(end);
}

void FlipMark(const std::string& path) {
  IniFile file(path, nullptr, IniLock::kWholeOperation);
  file.WriteInteger(kCrashSection, "Mark", 1 - file.ReadInteger(kCrashSection, "Mark", 0));
  file.Flush();
}

int CheckMark(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream read;
  read << in.rdbuf();
  const std::string bytes = read.str();
  const std::size_t start = bytes.find("Mark=");
  std::printf("%c\n", start == std::string::npos ? '?' : bytes[start + 5]);
  return bytes == MarkedBytes('0') || bytes == MarkedBytes('1') ? 0 : 1;
}

void CommitNextVersion(const std::string& path) {
  IniFile file(path, nullptr, IniLock::kWholeOperation);
  const std::int32_t version = file.ReadInteger(kCrashSection, "Counter", 0) + 1;
  file.WriteInteger(kCrashSection, "Counter", version);
  file.WriteString(kCrashSection, "Payload", Payload(version));
  file.WriteInteger(kCrashSection, "End", version);
  file.Flush();
}

int CheckVersion(const std::string& path) {
  if (!std::filesystem::exists(path)) {
    std::printf("0\n");
    return 0;
  }
  std::ifstream in(path, std::ios::binary);
  std::ostringstream read;
  read << in.rdbuf();
  const std::string bytes = read.str();
  const std::size_t start = bytes.find("Counter=");
  const std::int32_t version = start == std::string::npos ? -1 : std::atoi(bytes.c_str() + start + 8);
  std::printf("%d\n", static_cast<int>(version));
  return version > 0 && bytes == VersionBytes(version) ? 0 : 1;
}

int IncrementIni(const std::string& path, int count) {
  for (int i = 0; i < count; ++i) {
    IniFile file(path, nullptr, IniLock::kWholeOperation);
    file.WriteInteger("Counter", "Value", file.ReadInteger("Counter", "Value", 0) + 1);
    file.Flush();
  }
  return 0;
}

int IncrementRegistry(const std::string& path, int count) {
  for (int i = 0; i < count; ++i) {
    almanex::RegistryKey key;
    if (key.Open("Software\\Counter", true, path) != almanex::RegistryStatus::Ok) return 1;
    std::uint32_t value = 0;
    key.ReadDword("Value", value);
    key.WriteDword("Value", value + 1);
    if (key.Close() != almanex::RegistryStatus::Ok) return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string command = argv[1];
  const std::string path = argv[2];
  try {
    if (command == "ini-increment" && argc == 4) return IncrementIni(path, std::atoi(argv[3]));
    if (command == "registry-increment" && argc == 4) return IncrementRegistry(path, std::atoi(argv[3]));
    if (command == "crash-commit") {
      CommitNextVersion(path);
      return 0;
    }
    if (command == "crash-loop") {
      for (;;) CommitNextVersion(path);
    }
    if (command == "crash-check") return CheckVersion(path);
    if (command == "mark-start") {
      std::ofstream(path, std::ios::binary | std::ios::trunc) << MarkedBytes('0');
      return 0;
    }
    if (command == "mark-loop") {
      for (;;) FlipMark(path);
    }
    if (command == "mark-check") return CheckMark(path);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "almanex_store_writer: %s\n", error.what());
    return 1;
  }
  return 2;
}

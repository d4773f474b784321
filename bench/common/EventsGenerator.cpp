#include "EventsGenerator.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace almanex::bench {
namespace {

// Kinds in the proportions a real list might have: mostly yearly, some monthly, weekly and daily.
constexpr int kKinds[] = {5, 5, 5, 5, 6, 2, 3, 1, 0, 7};

}  // namespace

std::string GenerateEventsIni(int count) {
  std::string ini;
  ini.reserve(static_cast<std::size_t>(count) * 640 + 256);
  for (int i = 1; i <= count; ++i) {
    const int month = 1 + i % 12;
    const int day = 1 + i % 28;
    const int year = 1950 + i % 75;
    const int kind = kKinds[i % 10];
    const std::string n = std::to_string(i);
    ini += "[Event" + n + "]\r\n";
    ini += "Title=Event number " + n + " of the benchmark, with a title of ordinary length\r\n";
    ini += "Date=" + std::to_string(month) + "/" + std::to_string(day) + "/" + std::to_string(year) + "\r\n";
    ini += "Time=" + std::to_string(1 + i % 12) + ":" + std::to_string(10 + i % 50) + ":00 " + (i % 2 ? "AM" : "PM") +
           "\r\n";
    ini += "DateChecked=1\r\nTimeChecked=" + std::string(i % 7 ? "1" : "0") + "\r\nType=0\r\n";
    ini += "TypeDesc=" + std::string(i % 3 ? "Birthday" : "Anniversary") + "\r\n";
    ini += "ForeGroundColor=0\r\nBackGroundColor=-16777211\r\nRemindMe=1\r\n";
    ini += "RemindTime=" + std::to_string(1 + i % 12) + ":00:00 AM\r\nReminded=0\r\n";
    ini += "RPStartDate=1/1/2020\r\nRPEndDate=12/31/2030\r\nRPEndType=" + std::string(i % 5 ? "0" : "2") + "\r\n";
    ini += "RPRecurrenceType=" + std::to_string(kind) + "\r\n";
    ini += "RPInterval=" + std::to_string(1 + i % 3) + "\r\n";
    ini += "RPDayOfWeekMask=" + std::to_string(1 + i % 127) + "\r\n";
    ini += "RPDayOfMonth=" + std::to_string(day) + "\r\nRPInstance=" + std::to_string(i % 5) + "\r\n";
    ini += "RPMonthOfYear=" + std::to_string(month - 1) + "\r\n";
    ini += "RPOnceDate=" + std::to_string(month) + "/" + std::to_string(day) + "/2026\r\n";
    ini +=
        "RemindOfYears=1\r\nRemindOfMonths=1\r\nRemindOfWeeks=0\r\nRemindOfDays=1\r\nRemindOfHours=0\r\n"
        "RemindOfMinutes=0\r\nRemindOfSeconds=0\r\n";
    ini += "LastSentence=Do not forget the present.\r\nFirstSentence=Hello!\r\n";
  }
  ini += "[GridSettings]\r\n";
  for (int column = 0; column < 12; ++column) ini += "ColWidth" + std::to_string(column) + "=0\r\n";
  return ini;
}

void WriteEventsIni(const std::string& path, int count) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << GenerateEventsIni(count);
}

GeneratedEventsFile::GeneratedEventsFile(const std::string& ini) {
  std::string pattern = (std::filesystem::temp_directory_path() / "almanex-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr) folder_ = pattern;
  file_ = folder_.empty() ? std::string("/dev/null") : folder_ + "/Config.INI";
  if (!folder_.empty()) std::ofstream(file_, std::ios::binary | std::ios::trunc) << ini;
}

GeneratedEventsFile::~GeneratedEventsFile() {
  std::error_code ignored;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

const std::string& TenThousandEventsFile() {
  static const GeneratedEventsFile file(GenerateEventsIni(10000));
  return file.Path();
}

}  // namespace almanex::bench

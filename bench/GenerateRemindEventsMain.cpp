// almanex-gen-remind-events COUNT INI_FILE REM_FILE: the same COUNT recurring events twice, as a
// configuration file (sections shaped like the event dialog's) and as a Remind script, for
// bench/compare-remind.sh. Only patterns on which both programs agree day for day are made:
//   yearly by date (days 1 to 28)       REM 14 Jun            RPRecurrenceType=5
//   yearly, n-th or last weekday        REM Mon 8 Jun         RPRecurrenceType=6 (one weekday)
//                                       REM Mon 1 Jul --7     (the last Monday of June)
//   monthly by day (days 1 to 28)       REM 15                RPRecurrenceType=2, interval 1
//   monthly, n-th or last weekday       REM Tue 8 / Tue 1 --7 RPRecurrenceType=3, interval 1
//   weekly on a weekday set             REM Mon Wed           RPRecurrenceType=1, interval 1 or 0
//   every k days from 1 January 2000    REM 1 Jan 2000 *k     RPRecurrenceType=0, interval k
//   once                                REM 25 Dec 2026       RPRecurrenceType=7
// Every pattern starts on 1/1/2000 and has no end (RPEndType=0), so the bounds never differ. The
// message of a reminder begins with the section name, then the event's title.

#include <array>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

namespace {

constexpr std::array<const char*, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<const char*, 7> kWeekdays{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

struct Pattern {
  int kind = 0;
  int interval = 1;
  int weekMask = 0;
  int dayOfMonth = 1;
  int instance = 0;     // 0 first .. 3 fourth, 4 last
  int monthOfYear = 0;  // 0 January
  int onceYear = 2026;
};

// The Remind trigger of an n-th (or last) weekday, in `month` (0-based) or, below 0, in every month.
std::string NthWeekday(int weekday, int instance, int month) {
  std::string trigger = std::string(kWeekdays[weekday]) + " ";
  if (instance < 4) {
    trigger += std::to_string(1 + 7 * instance);  // the first such weekday on or after that day
    if (month >= 0) trigger += std::string(" ") + kMonths[month];
    return trigger;
  }
  // The last one: the first such weekday of the next month, a week back.
  trigger += "1";
  if (month >= 0) trigger += std::string(" ") + kMonths[(month + 1) % 12];
  return trigger + " --7";
}

std::string RemindTrigger(const Pattern& p) {
  switch (p.kind) {
    case 5:
      return std::to_string(p.dayOfMonth) + " " + kMonths[p.monthOfYear];
    case 6:
      for (int w = 0; w < 7; ++w) {
        if (p.weekMask == 1 << w) return NthWeekday(w, p.instance, p.monthOfYear);
      }
      break;
    case 2:
      return std::to_string(p.dayOfMonth);
    case 3:
      for (int w = 0; w < 7; ++w) {
        if (p.weekMask == 1 << w) return NthWeekday(w, p.instance, -1);
      }
      break;
    case 1: {
      std::string days;
      for (int w = 0; w < 7; ++w) {
        if (p.weekMask & (1 << w)) days += std::string(days.empty() ? "" : " ") + kWeekdays[w];
      }
      return days;
    }
    case 0:
      return p.interval == 1 ? std::string() : "1 Jan 2000 *" + std::to_string(p.interval);
    case 7:
      return std::to_string(p.dayOfMonth) + " " + kMonths[p.monthOfYear] + " " + std::to_string(p.onceYear);
  }
  std::abort();  // every pattern made below has a trigger
}

Pattern PatternOf(int i) {
  Pattern p;
  const int spread = i / 10;  // varies the fields within one kind
  switch (i % 10) {
    case 0:
    case 1:
    case 2:
    case 3:  // four in ten yearly by date, as in a real list
      p.kind = 5;
      p.monthOfYear = i % 12;
      p.dayOfMonth = 1 + (i / 12) % 28;
      break;
    case 4:
      p.kind = 6;
      p.monthOfYear = spread % 12;
      p.weekMask = 1 << (spread % 7);
      p.instance = spread / 7 % 5;
      break;
    case 5:
      p.kind = 2;
      p.dayOfMonth = 1 + spread % 28;
      break;
    case 6:
      p.kind = 3;
      p.weekMask = 1 << (spread % 7);
      p.instance = spread / 7 % 5;
      break;
    case 7:
      p.kind = 1;
      p.weekMask = 1 + spread % 127;
      p.interval = spread % 2;  // 0: every week as well
      break;
    case 8:
      p.kind = 0;
      p.interval = 1 + spread % 3;
      break;
    default:
      p.kind = 7;
      p.monthOfYear = spread % 12;
      p.dayOfMonth = 1 + spread % 28;
      p.onceYear = 2026 + spread % 2;
      break;
  }
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: almanex-gen-remind-events COUNT INI_FILE REM_FILE\n";
    return 2;
  }
  const int count = std::atoi(argv[1]);
  std::string ini;
  std::string rem = "# The same events as the configuration file beside this one.\n";
  ini.reserve(static_cast<std::size_t>(count) * 700 + 256);
  for (int i = 1; i <= count; ++i) {
    const Pattern p = PatternOf(i);
    const std::string n = std::to_string(i);
    const std::string title = "Event number " + n + " of the comparison, with a title of ordinary length";
    const int hour = 1 + i % 12;  // remind time hour, AM

    ini += "[Event" + n + "]\r\nTitle=" + title + "\r\n";
    ini += "Date=" + std::to_string(1 + i % 12) + "/" + std::to_string(1 + i % 28) + "/" +
           std::to_string(1950 + i % 75) + "\r\nTime=" + std::to_string(hour) + ":30:00 PM\r\n";
    ini += "DateChecked=1\r\nTimeChecked=1\r\nType=0\r\nTypeDesc=" + std::string(i % 3 ? "Birthday" : "Anniversary") +
           "\r\n";
    ini += "ForeGroundColor=0\r\nBackGroundColor=-16777211\r\nRemindMe=1\r\n";
    ini += "RemindTime=" + std::to_string(hour) + ":00:00 AM\r\nReminded=0\r\n";
    ini += "RPStartDate=1/1/2000\r\nRPEndDate=12/31/2030\r\nRPEndType=0\r\n";
    ini += "RPRecurrenceType=" + std::to_string(p.kind) + "\r\nRPInterval=" + std::to_string(p.interval) + "\r\n";
    ini += "RPDayOfWeekMask=" + std::to_string(p.weekMask) + "\r\nRPDayOfMonth=" + std::to_string(p.dayOfMonth) +
           "\r\nRPInstance=" + std::to_string(p.instance) + "\r\nRPMonthOfYear=" + std::to_string(p.monthOfYear) +
           "\r\n";
    ini += "RPOnceDate=" + std::to_string(p.monthOfYear + 1) + "/" + std::to_string(p.dayOfMonth) + "/" +
           std::to_string(p.onceYear) + "\r\n";
    ini +=
        "RemindOfYears=1\r\nRemindOfMonths=1\r\nRemindOfWeeks=0\r\nRemindOfDays=1\r\nRemindOfHours=0\r\n"
        "RemindOfMinutes=0\r\nRemindOfSeconds=0\r\nLastSentence=Do not forget the present.\r\nFirstSentence=Hello!\r\n";

    std::string trigger = RemindTrigger(p);
    rem += "REM " + trigger + (trigger.empty() ? "" : " ") + "AT " + std::to_string(hour) + ":00 MSG Event" + n + " " +
           title + "\n";
  }
  ini += "[GridSettings]\r\n";
  for (int column = 0; column < 12; ++column) ini += "ColWidth" + std::to_string(column) + "=0\r\n";

  std::ofstream iniFile(argv[2], std::ios::binary | std::ios::trunc);
  std::ofstream remFile(argv[3], std::ios::binary | std::ios::trunc);
  iniFile << ini;
  remFile << rem;
  iniFile.close();
  remFile.close();
  if (!iniFile || !remFile) {
    std::cerr << "almanex-gen-remind-events: cannot write the files\n";
    return 1;
  }
  return 0;
}

#include "Cli.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "JsonLine.h"
#include "base/AtomicFile.h"
#include "base/UserFolders.h"
#ifdef ALMANEX_CLI_CALENDAR_ELSEWHERE
#include <unistd.h>
#else
#include "calendar/IcsExport.h"
#include "calendar/IcsImport.h"
#endif
#include "datetime/DateFormat.h"
#include "datetime/DateTimeUnit.h"
#include "datetime/IntervalReport.h"
#include "platform/core/LocaleCache.h"
#include "platform/core/VerInfoUnit.h"
#include "recurrence/IniRecurrenceUnit.h"
#include "recurrence/ReminderSearch.h"
#include "store/ConfigFile.h"
#include "store/EventKeys.h"
#include "store/EventList.h"
#include "store/EventRecord.h"
#include "store/IniFile.h"

namespace almanex::cli {
namespace {

constexpr const char* kUsage =
    "usage: almanex-cli list [--config FILE] [--now \"YYYY-MM-DD HH:MM:SS\"] [--locale NAME] [--json]\n"
    "       almanex-cli next [--config FILE] [--now \"YYYY-MM-DD HH:MM:SS\"] [--locale NAME] [--json]\n"
    "       almanex-cli due --day YYYY-MM-DD [--days N] [--config FILE] [--now \"YYYY-MM-DD HH:MM:SS\"] "
    "[--locale NAME] [--json]\n"
    "       almanex-cli sentence --section NAME [--config FILE] [--now \"YYYY-MM-DD HH:MM:SS\"] [--locale NAME]\n"
    "       almanex-cli report --section NAME [--config FILE] [--now \"YYYY-MM-DD HH:MM:SS\"] [--locale NAME]\n"
    "       almanex-cli export --ics FILE|- [--config FILE] [--now \"YYYY-MM-DD HH:MM:SS\"] [--locale NAME]\n"
    "       almanex-cli import --ics FILE [--dry-run] [--config FILE] [--now \"YYYY-MM-DD HH:MM:SS\"] [--locale NAME]\n"
    "       almanex-cli --help\n"
    "       almanex-cli --version\n";

/// What --help prints after the usage.
constexpr const char* kHelp =
    "\n"
    "  list      the event list: one line per event in file order, the twelve column texts separated by TAB\n"
    "  next      the reminder pending at --now (Reminded marks count): section, remind moment, title and\n"
    "            sentence, separated by TAB; nothing when none is pending\n"
    "  due       \"YYYY-MM-DD<TAB>section\" for every event due on each of N days from --day (N from 1 to\n"
    "            36600, default 1), days ascending, sections in file order; Reminded marks are ignored;\n"
    "            --now stands for a missing RPStartDate, RPEndDate or RPOnceDate\n"
    "  sentence  the reminder sentence the event would show at --now, with its own wording\n"
    "  report    the interval report between --now and the event, in plain text; its CR LF line breaks\n"
    "            are printed as LF\n"
    "  export    the events as an iCalendar file (RFC 5545), one VEVENT each, into FILE or, for -, stdout\n"
    "  import    the VEVENTs of an iCalendar file added as new events in one write: one line\n"
    "            \"<section><TAB><title>\" each, a \"note:\" line for each rule imported once only and why;\n"
    "            --dry-run writes nothing; a malformed file imports nothing (status 1, the line on stderr)\n"
    "\n"
    "For next and sentence, the event's date-time is its Date (default today; today when DateChecked=0) at\n"
    "its Time (default midnight; midnight when TimeChecked=0), as the reminders count it. For report it is\n"
    "what the event dialog's Details page shows: a missing or unreadable Date or Time is that of --now;\n"
    "DateChecked=0 is today and TimeChecked=0 midnight. Section names ignore letter case. --config defaults to the\n"
    "program's Config.INI, --now to the current time, --locale to the user's locale. The file is only\n"
    "read. Every output line ends with LF. Exit status 2: a bad argument, date or section name; 1: the\n"
    "report's calculation failed (the report is printed all the same).\n"
    "\n"
    "With --json, list, due and next print one JSON object per line instead: section, title, type, date and\n"
    "time as the grid shows them; moment (the event's date-time) and ahead (true when it is after --now);\n"
    "years, months, weeks, days, hours, minutes and seconds, the span to --now as numbers, and yearsText ...\n"
    "secondsText, the grid's texts of the same figures (null and \"\" when the span cannot be calculated);\n"
    "remind, the next reminder moment after --now (null when none within four years). due adds day; next\n"
    "gives its pending remind moment and adds sentence. Moments are \"YYYY-MM-DD HH:MM:SS\" local time.\n";

/// The form of --now, and of the moments the commands print.
constexpr const char* kIsoPattern = "yyyy-mm-dd hh:nn:ss";
/// The form of --day, and of the days `due` prints.
constexpr const char* kIsoDayPattern = "yyyy-mm-dd";

/// The flag that switches list, due and next to JSON lines.
constexpr std::string_view kJsonFlag = "--json";

/// Removes every `flag` from the arguments; true when there was one.
bool TakeFlag(std::vector<std::string>& arguments, std::string_view flag) {
  const auto kept = std::remove(arguments.begin() + 1, arguments.end(), flag);
  const bool found = kept != arguments.end();
  arguments.erase(kept, arguments.end());
  return found;
}

int ListJson(const std::vector<std::string>& arguments, Output& out, const Clock& clock);
int NextJson(const std::vector<std::string>& arguments, Output& out, const Clock& clock);
int DueJson(const std::vector<std::string>& arguments, Output& out, const Clock& clock);

/// A bad command line; its message goes to stderr with the usage.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// The options of one command line: "--name value" or "--name=value".
class Options {
 public:
  Options(const std::vector<std::string>& arguments, std::size_t first, std::initializer_list<std::string_view> known) {
    for (std::size_t i = first; i < arguments.size(); ++i) {
      std::string_view argument = arguments[i];
      if (argument.substr(0, 2) != "--") throw UsageError("unexpected argument '" + std::string(argument) + "'");
      std::string name(argument.substr(2));
      std::optional<std::string> value;
      if (const auto equals = name.find('='); equals != std::string::npos) {
        value = name.substr(equals + 1);
        name.erase(equals);
      }
      if (std::find(known.begin(), known.end(), name) == known.end()) throw UsageError("unknown option --" + name);
      if (!value) {
        if (i + 1 >= arguments.size()) throw UsageError("option --" + name + " needs a value");
        value = arguments[++i];
      }
      if (!values_.emplace(name, *value).second) throw UsageError("option --" + name + " given twice");
    }
  }

  std::optional<std::string> Get(const std::string& name) const {
    const auto found = values_.find(name);
    if (found == values_.end()) return std::nullopt;
    return found->second;
  }

 private:
  std::map<std::string, std::string> values_;
};

/// What every subcommand reads: the file, the moment and the regional formats.
struct Context {
  std::string configPath;
  DateTime now = 0;
  FormatSettings settings;
};

/// The value of an option the command cannot do without.
std::string Required(const Options& options, const std::string& name, std::string_view form) {
  auto value = options.Get(name);
  if (!value) throw UsageError("missing option --" + name + " " + std::string(form));
  return std::move(*value);
}

DateTime ParseNow(const std::string& text) {
  static const FormatSettings kIso;
  const auto value = ParseDateTime(kIsoPattern, text, kIso);
  if (!value) throw UsageError("--now must be \"YYYY-MM-DD HH:MM:SS\", not '" + text + "'");
  return *value;
}

/// The window's formats for --locale (nothing: the user's locale), from the cache of built formats; Qt
/// is loaded only when the cache has none that fit.
FormatSettings SettingsForLocale(const std::optional<std::string>& name) {
  try {
    return CachedFormatSettings(name, DefaultLocaleFormatsSource());
  } catch (const EUnknownLocale& error) {
    throw UsageError(error.what());
  }
}

Context ReadContext(const Options& options, const Clock& clock) {
  Context context;
  // The default path only without --config: finding it creates the user's data folder.
  const std::optional<std::string> config = options.Get("config");
  context.configPath = config ? *config : ConfigFilePath();
  context.now = options.Get("now") ? ParseNow(*options.Get("now")) : clock.Now();
  context.settings = SettingsForLocale(options.Get("locale"));
  return context;
}

/// A text as one field of an output line: every control character (TAB, CR, LF, ESC and the rest of
/// C0, DEL, and the C1 controls U+0080 to U+009F as UTF-8) becomes a blank, so that a title can neither
/// add fields or lines nor send escape sequences to the terminal.
std::string Field(std::string text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F) {
      text[i] = ' ';
    } else if (byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      text.replace(i, 2, " ");
    }
  }
  return text;
}

void WriteTabSeparated(Output& out, const std::array<std::string, 12>& texts) {
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i > 0) out << '\t';
    out << Field(texts[i]);
  }
  out << '\n';
}

int List(const std::vector<std::string>& arguments, Output& out, const Clock& clock) {
  if (std::vector<std::string> rest = arguments; TakeFlag(rest, kJsonFlag)) return ListJson(rest, out, clock);
  const Context context = ReadContext(Options(arguments, 1, {"config", "now", "locale"}), clock);
  // Each row is printed as it is read: no list of rows, so the memory does not grow with the file.
  const IniFile file(context.configPath, IniFile::ReadOnlyMapped{});
  file.ForEachSectionName([&](std::string_view section) {
    if (!IsEventSection(section)) return;
    WriteTabSeparated(
        out, RowTexts(ReadEventRow(file, section, context.now, context.settings), context.now, context.settings));
  });
  return kExitOk;
}

/// What the reminder search makes pending at --now, Reminded marks included, as
/// section, remind moment, title and the sentence built at --now; nothing when no reminder is pending.
/// Reads the file only: no mark is cleared or set.
int Next(const std::vector<std::string>& arguments, Output& out, const Clock& clock) {
  if (std::vector<std::string> rest = arguments; TakeFlag(rest, kJsonFlag)) return NextJson(rest, out, clock);
  const Context context = ReadContext(Options(arguments, 1, {"config", "now", "locale"}), clock);
  const IniFile file(context.configPath, IniFile::ReadOnlyMapped{});
  TNextReminder next;
  TReminderWay way;
  FindNextReminder(file, context.now, context.settings, next, way);
  if (!next.bFound) return kExitOk;
  static const FormatSettings kIso;
  const ManualClock at(context.now);
  out << Field(next.strSection) << '\t' << FormatDateTime(kIsoPattern, next.dtRemindTime, kIso) << '\t'
      << Field(next.strTitle) << '\t' << Field(BuildSpanSentence(next, way, at, context.settings)) << '\n';
  return kExitOk;
}

/// --day: exactly YYYY-MM-DD (a script's typo such as a two-digit year is refused, not guessed).
DateTime ParseDay(const std::string& text) {
  static const FormatSettings kIso;
  bool shaped = text.size() == 10 && text[4] == '-' && text[7] == '-';
  for (std::size_t i = 0; shaped && i < text.size(); ++i) {
    if (i != 4 && i != 7 && (text[i] < '0' || text[i] > '9')) shaped = false;
  }
  const auto value = shaped ? ParseDateTime(kIsoDayPattern, text, kIso) : std::nullopt;
  if (!value) throw UsageError("--day must be a date YYYY-MM-DD, not '" + text + "'");
  return *value;
}

/// --days: a whole number from 1 to kMaxDueDays; 1 when absent.
int ParseDays(const std::optional<std::string>& text) {
  if (!text) return 1;
  int days = 0;
  const char* const end = text->data() + text->size();
  const auto [stop, error] = std::from_chars(text->data(), end, days);
  if (error != std::errc() || stop != end || days < 1 || days > kMaxDueDays) {
    throw UsageError("--days must be a whole number from 1 to " + std::to_string(kMaxDueDays) + ", not '" + *text +
                     "'");
  }
  return days;
}

/// The options of due: the context, the first day (--day) and how many days (--days).
struct DueDays {
  Context context;
  DateTime first;
  int days;
};

DueDays ReadDueDays(const std::vector<std::string>& arguments, const Clock& clock) {
  const Options options(arguments, 1, {"config", "now", "locale", "day", "days"});
  DueDays due{ReadContext(options, clock), ParseDay(Required(options, "day", "YYYY-MM-DD")),
              ParseDays(options.Get("days"))};
  // first and the last day are midnights; the last one must still be a date the program can write.
  if (due.first + (due.days - 1) > kMaxDateTime) throw UsageError("--day and --days reach past 9999-12-31");
  return due;
}

/// The event sections whose patterns make each of N days from --day a reminder day. The file is parsed
/// once and each section's pattern read once; one day is tested as each pattern is read, more days on
/// the patterns kept.
int Due(const std::vector<std::string>& arguments, Output& out, const Clock& clock) {
  if (std::vector<std::string> rest = arguments; TakeFlag(rest, kJsonFlag)) return DueJson(rest, out, clock);
  const auto [context, first, days] = ReadDueDays(arguments, clock);

  static const FormatSettings kIso;
  const auto writeLine = [&out](std::string_view dayText, std::string_view field) {
    out << dayText << '\t' << field << '\n';
  };

  // The event sections in file order: fields[i] is the printed name of the one whose pattern is
  // patterns[i]. One day, the usual question, is answered while the patterns are read and keeps
  // neither (nor their fresh pages); more days keep them and test them day by day below.
  std::vector<std::string> fields;
  std::vector<RecurrencePattern> patterns;
  {
    const IniFile file(context.configPath, IniFile::ReadOnlyMapped{});
    const std::string firstText = FormatDateTime(kIsoDayPattern, first, kIso);
    file.ForEachSectionName([&](std::string_view section) {
      if (!IsEventSection(section)) return;
      const RecurrencePattern pattern = ReadRecurrencePattern(file, section, context.now, context.settings);
      if (days == 1) {
        if (IsDue(pattern, first, context.settings)) writeLine(firstText, Field(std::string(section)));
        return;
      }
      patterns.push_back(pattern);
      fields.push_back(Field(std::string(section)));
    });
  }

  // More than one day: every pattern tested on each day (patterns is empty for one day).
  for (int offset = 0; offset < days && !patterns.empty(); ++offset) {
    const DateTime day = first + offset;  // midnight: first is one and offset whole
    const std::string dayText = FormatDateTime(kIsoDayPattern, day, kIso);
    for (std::size_t i = 0; i < patterns.size(); ++i) {
      if (IsDue(patterns[i], day, context.settings)) writeLine(dayText, fields[i]);
    }
  }
  return kExitOk;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

/// The first event section named `name` in any letter case, spelt as in the file.
std::string FindEventSection(const IniFile& file, const std::string& name) {
  for (const std::string& section : file.SectionNames()) {
    if (EqualsIgnoringAsciiCase(section, name)) {
      if (!IsEventSection(section)) throw UsageError("'" + section + "' is not an event section");
      return section;
    }
  }
  throw UsageError("no event section '" + name + "' in " + file.Path());
}

/// The event of --section as a reminder shows it: its date-time and wording, read like the search does.
void ReadSectionEvent(const Options& options, const Context& context, TNextReminder& next, TReminderWay& way) {
  const std::string name = Required(options, "section", "NAME");
  const IniFile file(context.configPath, IniFile::ReadOnlyMapped{});
  ReadReminderEvent(file, FindEventSection(file, name), context.now, context.settings, next, way);
}

/// The reminder sentence of one event built at --now.
int Sentence(const std::vector<std::string>& arguments, Output& out, const Clock& clock) {
  const Options options(arguments, 1, {"config", "now", "locale", "section"});
  const Context context = ReadContext(options, clock);
  TNextReminder next;
  TReminderWay way;
  ReadSectionEvent(options, context, next, way);
  const ManualClock at(context.now);
  out << Field(BuildSpanSentence(next, way, at, context.settings)) << '\n';
  return kExitOk;
}

/// The interval report between --now and one event's date-time, the earlier of the two first, with the
/// report's CR LF line breaks written as LF.
int Report(const std::vector<std::string>& arguments, Output& out, Output& err, const Clock& clock) {
  const Options options(arguments, 1, {"config", "now", "locale", "section"});
  const Context context = ReadContext(options, clock);
  // The event's moment as the dialog's Details page counts it, on the dialog's defaults: a missing
  // Date or Time is now, where the reminder search would take today at midnight.
  const std::string name = Required(options, "section", "NAME");
  DateTime moment = 0;
  {
    const IniFile file(context.configPath, IniFile::ReadOnlyMapped{});
    const EventRecord record = ReadEventRecord(file, FindEventSection(file, name), context.now, context.settings);
    moment = GetEventDateTime(record, context.now);
  }
  const DateTime start = std::min(context.now, moment);
  const DateTime end = std::max(context.now, moment);
  const IntervalReport report = WriteIntervalReport(start, end, context.settings);

  const std::string text = IntervalReportText(report);
  std::string lines;
  lines.reserve(text.size() + 1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;  // the LF follows
    lines += text[i];
  }
  if (lines.empty() || lines.back() != '\n') lines += '\n';
  out << lines;
  if (report.failure) {
    err << "almanex-cli: " << kCalcFailureContext << " Reason: " << *report.failure << '\n';
    return kExitFailure;
  }
  return kExitOk;
}

// --json: one object per line, for status bars and scripts (members listed in kHelp).

/// How far ahead the next reminder moment is looked for: four years hold every yearly pattern's day.
constexpr int kRemindLookAheadDays = 4 * 366;

std::string IsoMoment(DateTime value) {
  static const FormatSettings kIso;
  return FormatDateTime(kIsoPattern, value, kIso);
}

/// The members that describe the event as the grid shows it at `now`.
void AddEventMembers(JsonLine& line, const EventRow& row, DateTime now, const FormatSettings& settings) {
  line.String("section", row.section)
      .String("title", row.title)
      .String("type", row.typeDesc)
      .String("date", row.dateText)
      .String("time", row.timeText);
  const DateTime target = SpanTarget(row, now);
  line.String("moment", IsoMoment(target)).Bool("ahead", WholeMilliseconds(target) > WholeMilliseconds(now));
  TTimeDeltaValueRecord record;
  const bool calculated = !CalcRowSpan(row, now, settings, record);
  const SpanUnits units = ConvertSpan(target > now ? target - now : now - target);
  const std::array<double, 7> numbers{units.years, units.months,  units.weeks,  units.days,
                                      units.hours, units.minutes, units.seconds};
  static constexpr std::array<std::string_view, 7> kNames{"years", "months",  "weeks",  "days",
                                                          "hours", "minutes", "seconds"};
  static constexpr std::array<std::string_view, 7> kTextNames{"yearsText", "monthsText",  "weeksText",  "daysText",
                                                              "hoursText", "minutesText", "secondsText"};
  const auto texts = SpanColumnTexts(record);
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    if (calculated) {
      line.Number(kNames[i], numbers[i]);
    } else {
      line.Null(kNames[i]);
    }
  }
  for (std::size_t i = 0; i < texts.size(); ++i) line.String(kTextNames[i], calculated ? *texts[i] : "");
}

void AddMoment(JsonLine& line, std::string_view name, std::optional<DateTime> moment) {
  if (moment) {
    line.String(name, IsoMoment(*moment));
  } else {
    line.Null(name);
  }
}

/// The first reminder moment of `section` strictly after `now`, marks ignored: a due day at the time of
/// day of its RemindTime (default now, as the search takes it). Nothing within kRemindLookAheadDays.
std::optional<DateTime> NextRemindMoment(const IniFile& file, const std::string& section, DateTime now,
                                         const FormatSettings& settings) {
  const RecurrencePattern pattern = ReadRecurrencePattern(file, section, now, settings);
  const DateTime remind = TimeOf(file.ReadTime(section, event_keys::kRemindTime, now, settings));
  const DateTime today = DateOf(now);
  for (int offset = 0; offset <= kRemindLookAheadDays && today + offset <= kMaxDateTime; ++offset) {
    const DateTime moment = today + offset + remind;
    if (WholeMilliseconds(moment) <= WholeMilliseconds(now)) continue;
    if (IsDue(pattern, today + offset, settings)) return moment;
  }
  return std::nullopt;
}

int ListJson(const std::vector<std::string>& arguments, Output& out, const Clock& clock) {
  const Context context = ReadContext(Options(arguments, 1, {"config", "now", "locale"}), clock);
  const IniFile file(context.configPath);
  const EventList list = LoadEventList(file, context.now, context.settings);
  for (const EventRow& row : list.rows) {
    JsonLine line;
    AddEventMembers(line, row, context.now, context.settings);
    AddMoment(line, "remind", NextRemindMoment(file, row.section, context.now, context.settings));
    out << std::move(line).Finish();
  }
  return kExitOk;
}

int NextJson(const std::vector<std::string>& arguments, Output& out, const Clock& clock) {
  const Context context = ReadContext(Options(arguments, 1, {"config", "now", "locale"}), clock);
  const IniFile file(context.configPath);
  TNextReminder next;
  TReminderWay way;
  FindNextReminder(file, context.now, context.settings, next, way);
  if (!next.bFound) return kExitOk;
  const EventList list = LoadEventList(file, context.now, context.settings);
  const auto row = std::find_if(list.rows.begin(), list.rows.end(),
                                [&](const EventRow& candidate) { return candidate.section == next.strSection; });
  if (row == list.rows.end()) return kExitOk;  // the search takes event sections only; the list holds them all
  const ManualClock at(context.now);
  JsonLine line;
  AddEventMembers(line, *row, context.now, context.settings);
  AddMoment(line, "remind", next.dtRemindTime);
  line.String("sentence", BuildSpanSentence(next, way, at, context.settings));
  out << std::move(line).Finish();
  return kExitOk;
}

int DueJson(const std::vector<std::string>& arguments, Output& out, const Clock& clock) {
  const auto [context, first, days] = ReadDueDays(arguments, clock);

  static const FormatSettings kIso;
  const IniFile file(context.configPath);
  const EventList list = LoadEventList(file, context.now, context.settings);
  std::vector<RecurrencePattern> patterns;
  std::vector<DateTime> remindTimes;
  patterns.reserve(list.rows.size());
  for (const EventRow& row : list.rows) {
    patterns.push_back(ReadRecurrencePattern(file, row.section, context.now, context.settings));
    remindTimes.push_back(TimeOf(file.ReadTime(row.section, event_keys::kRemindTime, context.now, context.settings)));
  }
  for (int offset = 0; offset < days; ++offset) {
    const DateTime day = first + offset;
    const std::string dayText = FormatDateTime(kIsoDayPattern, day, kIso);
    for (std::size_t i = 0; i < list.rows.size(); ++i) {
      if (!IsDue(patterns[i], day, context.settings)) continue;
      JsonLine line;
      AddEventMembers(line, list.rows[i], context.now, context.settings);
      line.String("day", dayText);
      AddMoment(line, "remind", day + remindTimes[i]);
      out << std::move(line).Finish();
    }
  }
  return kExitOk;
}

#ifdef ALMANEX_CLI_CALENDAR_ELSEWHERE
// The iCalendar commands need libical, which loads ICU: some 3 M instructions at every start of every
// command. They live in almanex-cli-calendar (the same commands, with the calendar linked), which this
// program becomes for export and import only.
int RunCalendarProgram(const std::vector<std::string>& arguments, Output& out, Output& err, const Clock&) {
  constexpr const char* kProgram = "almanex-cli-calendar";
  const std::string self = ExecutablePath();
  const std::string folder = self.substr(0, self.rfind('/'));
  for (const std::string& candidate : {folder + "/" + kProgram, folder + "/../lib/almanex/" + kProgram}) {
    if (::access(candidate.c_str(), X_OK) != 0) continue;
    std::vector<std::string> words{candidate};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    out.Flush();
    err.Flush();
    ::execv(candidate.c_str(), argv.data());
  }
  err << "almanex-cli: " << arguments[0] << " needs " << kProgram << " beside the program or in ../lib/almanex\n";
  return kExitFailure;
}
#else
/// The events as an iCalendar file, written in one atomic replace (or to stdout for "-").
int ExportIcs(const std::vector<std::string>& arguments, Output& out, Output& err, const Clock& clock) {
  const Options options(arguments, 1, {"config", "now", "locale", "ics"});
  const Context context = ReadContext(options, clock);
  const std::string target = Required(options, "ics", "FILE|-");
  const std::string text = calendar::ExportCalendar(IniFile(context.configPath), context.now, context.settings);
  if (target == "-") {
    out << text;
    return kExitOk;
  }
  std::string reason;
  if (!WriteFileAtomically(target, text, {}, &reason)) {
    err << "almanex-cli: cannot write " << target << ": " << reason << '\n';
    return kExitFailure;
  }
  return kExitOk;
}

/// The VEVENTs of an iCalendar file added to the events; --dry-run (a flag without value) writes nothing.
int ImportIcs(const std::vector<std::string>& arguments, Output& out, Output& err, const Clock& clock) {
  std::vector<std::string> rest;
  bool dryRun = false;
  for (const std::string& argument : arguments) {
    if (argument == "--dry-run") {
      dryRun = true;
    } else {
      rest.push_back(argument);
    }
  }
  const Options options(rest, 1, {"config", "now", "locale", "ics"});
  const Context context = ReadContext(options, clock);
  const std::string source = Required(options, "ics", "FILE");
  const calendar::ImportReport report =
      calendar::ImportCalendarFile(source, context.configPath, dryRun, context.now, context.settings);
  if (!report.ok()) {
    err << "almanex-cli: " << Field(source) << ": " << Field(report.error) << "; nothing imported\n";
    return kExitFailure;
  }
  for (const std::string& line : report.added) {
    const std::size_t tab = line.find('\t');  // "<section><TAB><title>"
    out << Field(line.substr(0, tab)) << '\t' << Field(tab == std::string::npos ? "" : line.substr(tab + 1)) << '\n';
  }
  for (const std::string& note : report.notes) out << "note: " << Field(note) << '\n';
  out << (dryRun ? "would import " : "imported ") << report.added.size() << " events into " << context.configPath
      << (dryRun ? " (dry run: nothing written)\n" : "\n");
  return kExitOk;
}
#endif

using Command = std::function<int(const std::vector<std::string>&, Output&, Output&, const Clock&)>;

/// A command that writes nothing on stderr itself (usage errors are thrown).
template <int (*command)(const std::vector<std::string>&, Output&, const Clock&)>
int WithoutErr(const std::vector<std::string>& arguments, Output& out, Output&, const Clock& clock) {
  return command(arguments, out, clock);
}

const std::map<std::string_view, Command>& Commands() {
  // clang-format off
  static const std::map<std::string_view, Command> commands{{"list", WithoutErr<List>},
                                                            {"next", WithoutErr<Next>},
                                                            {"due", WithoutErr<Due>},
                                                            {"sentence", WithoutErr<Sentence>},
                                                            {"report", Report},
#ifdef ALMANEX_CLI_CALENDAR_ELSEWHERE
                                                            {"export", RunCalendarProgram},
                                                            {"import", RunCalendarProgram}};
#else
                                                            {"export", ExportIcs},
                                                            {"import", ImportIcs}};
#endif
  // clang-format on
  return commands;
}

/// "almanex-cli 2.0 (Build 0.174)", from the version information of the executable.
int PrintVersion(const std::string& executablePath, Output& out, Output& err) {
  try {
    out << VersionLine("almanex-cli", executablePath) << '\n';
    return kExitOk;
  } catch (const std::exception& error) {
    err << "almanex-cli: " << error.what() << '\n';
    return kExitFailure;
  }
}

}  // namespace

int Run(const std::vector<std::string>& arguments, Output& out, Output& err, const Clock& clock,
        const std::string& executablePath) {
  try {
    if (arguments.empty()) throw UsageError("no command given");
    if (arguments[0] == "--help" || arguments[0] == "-h") {
      out << kUsage << kHelp;
      return kExitOk;
    }
    if (arguments[0] == "--version") {
      if (arguments.size() > 1) throw UsageError("unexpected argument '" + arguments[1] + "'");
      return PrintVersion(executablePath, out, err);
    }
    const auto command = Commands().find(arguments[0]);
    if (command == Commands().end()) throw UsageError("unknown command '" + arguments[0] + "'");
    return command->second(arguments, out, err, clock);
  } catch (const UsageError& error) {
    err << "almanex-cli: " << error.what() << '\n' << kUsage;
    return kExitUsage;
  } catch (const ELocaleFormatsUnavailable& error) {
    err << "almanex-cli: " << error.what() << '\n';
    return kExitFailure;
  }
}

}  // namespace almanex::cli

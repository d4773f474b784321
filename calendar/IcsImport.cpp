#include "calendar/IcsImport.h"

#include <libical/ical.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <unordered_set>
#include <utility>
#include <variant>

#include "calendar/IcsSupport.h"
#include "calendar/RecordProperties.h"
#include "recurrence/IniRecurrenceUnit.h"
#include "store/ConfigFile.h"
#include "store/EventKeys.h"
#include "store/EventRecord.h"
#include "store/IniFile.h"

namespace almanex::calendar {
namespace {

/// Occurrences a search for the next one or the last one walks at most.
constexpr int kMaxOccurrences = 100000;

struct ParserDeleter {
  void operator()(icalparser* parser) const { icalparser_free(parser); }
};

/// One content line after unfolding, with the physical line it starts on. The text is a view into the
/// file's text, or into Unfolded::folded for a line that was folded.
struct ContentLine {
  std::string_view text;
  int line = 0;
  bool folded = false;
};

struct Unfolded {
  std::vector<ContentLine> lines;
  std::deque<std::string> folded;  // a deque: its strings stay where they are as more are added
};

/// A fault of the file: its line and what is wrong.
struct Fault {
  int line = 0;
  std::string message;
};

std::string AsciiUpper(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}

std::string AsciiLower(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return result;
}

/// Splits at CR LF, LF or CR and joins folded lines (a line starting with a blank or a TAB continues the
/// one before, without that first character).
Unfolded Unfold(std::string_view text) {
  Unfolded result;
  std::vector<ContentLine>& lines = result.lines;
  int number = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find_first_of("\r\n", at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view physical = text.substr(at, end - at);
    ++number;
    if (!physical.empty() && (physical[0] == ' ' || physical[0] == '\t') && !lines.empty()) {
      ContentLine& last = lines.back();
      if (!last.folded) {
        result.folded.emplace_back(last.text);
        last.folded = true;
      }
      result.folded.back().append(physical.substr(1));
      last.text = result.folded.back();
    } else {
      lines.push_back({physical, number});
    }
    at = end;
    if (at < text.size() && text[at] == '\r') ++at;
    if (at < text.size() && text[at] == '\n' && (at == end || text[at - 1] == '\r')) ++at;
  }
  return result;
}

/// "BEGIN" or "END" and the component name, when the line is one of those.
std::optional<std::pair<std::string, std::string>> ComponentLine(std::string_view text) {
  if (text.empty() || (text[0] != 'B' && text[0] != 'b' && text[0] != 'E' && text[0] != 'e')) return std::nullopt;
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos) return std::nullopt;
  const std::string name = AsciiUpper(text.substr(0, colon));
  if (name != "BEGIN" && name != "END") return std::nullopt;
  std::string component = AsciiUpper(text.substr(colon + 1));
  while (!component.empty() && (component.back() == ' ' || component.back() == '\t')) component.pop_back();
  return std::make_pair(name, component);
}

std::string Shortened(std::string_view text) {
  return text.size() <= 60 ? std::string(text) : std::string(text.substr(0, 57)) + "...";
}

/// The first X-LIC-ERROR libical left in the component or below it.
const char* FirstParseError(icalcomponent* component) {
  if (icalproperty* error = icalcomponent_get_first_property(component, ICAL_XLICERROR_PROPERTY)) {
    return icalproperty_get_xlicerror(error);
  }
  for (icalcomponent* child = icalcomponent_get_first_component(component, ICAL_ANY_COMPONENT); child != nullptr;
       child = icalcomponent_get_next_component(component, ICAL_ANY_COMPONENT)) {
    if (const char* error = FirstParseError(child)) return error;
  }
  return nullptr;
}

/// A component directly inside a VCALENDAR: its name and its content lines [first, last].
struct Block {
  std::string name;
  std::size_t first = 0;
  std::size_t last = 0;
};

/// One VCALENDAR: the lines of its own properties and its components.
struct CalendarLines {
  std::vector<std::size_t> properties;
  std::vector<Block> blocks;
};

/// Feeds content lines to libical one at a time, so that a line it cannot read is known by number.
class LineParser {
 public:
  LineParser() : parser_(icalparser_new()) {}

  /// Adds one line; the fault when libical cannot read it. A finished top component is kept.
  std::optional<Fault> Add(std::string_view text, int line) {
    char* buffer = static_cast<char*>(icalmemory_new_buffer(text.size() + 1));
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    icalcomponent* done = icalparser_add_line(parser_.get(), buffer);
    const bool failed = icalparser_get_state(parser_.get()) == ICALPARSER_ERROR;
    icalmemory_free_buffer(buffer);
    if (done != nullptr) done_.reset(done);
    if (failed) return Fault{line, "not a valid iCalendar line: \"" + Shortened(text) + "\""};
    return std::nullopt;
  }
  /// The component the last END finished.
  ComponentPtr Take() { return std::move(done_); }

 private:
  std::unique_ptr<icalparser, ParserDeleter> parser_;
  ComponentPtr done_;
};

/// Checks that BEGIN and END nest inside VCALENDARs and splits each calendar into its parts.
std::variant<std::vector<CalendarLines>, Fault> Structure(const std::vector<ContentLine>& lines) {
  std::vector<CalendarLines> calendars;
  std::vector<std::pair<std::string, int>> open;  // components begun and not yet ended
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const ContentLine& line = lines[i];
    if (line.text.empty()) continue;  // blank lines carry nothing
    if (const auto component = ComponentLine(line.text)) {
      if (component->first == "BEGIN") {
        if (open.empty() && component->second != "VCALENDAR") {
          return Fault{line.line, "expected BEGIN:VCALENDAR, found \"" + Shortened(line.text) + "\""};
        }
        if (open.empty()) calendars.emplace_back();
        if (open.size() == 1) calendars.back().blocks.push_back({component->second, i, i});
        open.emplace_back(component->second, line.line);
      } else {
        if (open.empty() || open.back().first != component->second) {
          return Fault{line.line, open.empty()
                                      ? "END:" + component->second + " without its BEGIN"
                                      : "END:" + component->second + " where BEGIN:" + open.back().first + " of line " +
                                            std::to_string(open.back().second) + " is still open"};
        }
        open.pop_back();
        if (open.size() == 1) calendars.back().blocks.back().last = i;
      }
    } else if (open.empty()) {
      return Fault{line.line, "text outside BEGIN:VCALENDAR ... END:VCALENDAR: \"" + Shortened(line.text) + "\""};
    } else if (open.size() == 1) {
      calendars.back().properties.push_back(i);
    } else if (open.size() > 1) {
      calendars.back().blocks.back().last = i;
    }
  }
  if (!open.empty()) {
    return Fault{open.back().second, "BEGIN:" + open.back().first + " is never closed by END:" + open.back().first};
  }
  if (calendars.empty()) {
    return Fault{lines.empty() ? 1 : lines.front().line, "no BEGIN:VCALENDAR: not an iCalendar file"};
  }
  return calendars;
}

/// Reads the text with libical and calls visit(event, line of its BEGIN) for every VEVENT in order, each
/// in a calendar of its own with the time zones of its file, so that only one event's tree is held at
/// a time. The first fault ends the reading: a line libical cannot read, components that do not nest,
/// or the fault visit returns.
std::optional<Fault> ReadEvents(std::string_view text,
                                const std::function<std::optional<Fault>(icalcomponent*, int)>& visit) {
  if (text.find('\0') != std::string_view::npos) {
    const auto before = text.substr(0, text.find('\0'));
    return Fault{1 + static_cast<int>(std::count(before.begin(), before.end(), '\n')), "the file holds a NUL byte"};
  }
  const Unfolded unfolded = Unfold(text);
  const std::vector<ContentLine>& lines = unfolded.lines;
  auto structure = Structure(lines);
  if (const auto* fault = std::get_if<Fault>(&structure)) return *fault;
  const auto addRange = [&lines](LineParser& parser, const Block& block) -> std::optional<Fault> {
    for (std::size_t i = block.first; i <= block.last; ++i) {
      if (lines[i].text.empty()) continue;
      if (auto fault = parser.Add(lines[i].text, lines[i].line)) return fault;
    }
    return std::nullopt;
  };
  for (const CalendarLines& calendar : std::get<std::vector<CalendarLines>>(structure)) {
    // Everything but the events first: the calendar's properties, its time zones and other components.
    LineParser frame;
    if (auto fault = frame.Add("BEGIN:VCALENDAR", 0)) return fault;
    for (const std::size_t i : calendar.properties) {
      if (auto fault = frame.Add(lines[i].text, lines[i].line)) return fault;
    }
    std::vector<const Block*> zones;
    for (const Block& block : calendar.blocks) {
      if (block.name == "VEVENT") continue;
      if (block.name == "VTIMEZONE") zones.push_back(&block);
      if (auto fault = addRange(frame, block)) return fault;
    }
    frame.Add("END:VCALENDAR", 0);
    const ComponentPtr skeleton = frame.Take();
    if (skeleton != nullptr) {
      if (const char* error = FirstParseError(skeleton.get())) return Fault{0, error};
    }
    LineParser parser;  // one for every event: it starts afresh after each END:VCALENDAR
    for (const Block& block : calendar.blocks) {
      if (block.name != "VEVENT") continue;
      parser.Add("BEGIN:VCALENDAR", 0);
      for (const Block* zone : zones) addRange(parser, *zone);
      if (auto fault = addRange(parser, block)) return fault;
      parser.Add("END:VCALENDAR", 0);
      const ComponentPtr wrapped = parser.Take();
      icalcomponent* event =
          wrapped ? icalcomponent_get_first_component(wrapped.get(), ICAL_VEVENT_COMPONENT) : nullptr;
      if (event == nullptr) continue;
      if (const char* error = FirstParseError(event)) return Fault{lines[block.first].line, error};
      if (auto fault = visit(event, lines[block.first].line)) return fault;
    }
  }
  return std::nullopt;
}

/// A moment of the file as local wall time: the date, the time of day, and whether it is a date only.
struct LocalMoment {
  DateTime date = 0;
  DateTime time = 0;
  bool dateOnly = true;
};

std::optional<LocalMoment> ToLocal(icaltimetype time) {
  if (icaltime_is_null_time(time)) return std::nullopt;
  if (time.is_date) {
    const auto date = DateOfIcal(time);
    if (!date) return std::nullopt;
    return LocalMoment{*date, 0, true};
  }
  if (time.zone != nullptr) {
    // A time of a zone (UTC included) is shown at the local wall time of the same instant.
    const std::time_t instant = icaltime_as_timet_with_zone(time, time.zone);
    std::tm local{};
    if (localtime_r(&instant, &local) == nullptr) return std::nullopt;
    time.year = local.tm_year + 1900;
    time.month = local.tm_mon + 1;
    time.day = local.tm_mday;
    time.hour = local.tm_hour;
    time.minute = local.tm_min;
    time.second = local.tm_sec;
  }
  const auto date = TryEncodeDate(time.year, static_cast<unsigned>(time.month), static_cast<unsigned>(time.day));
  const auto clock = TryEncodeTime(static_cast<unsigned>(time.hour), static_cast<unsigned>(time.minute),
                                   static_cast<unsigned>(std::min(time.second, 59)), 0);
  if (!date || !clock) return std::nullopt;
  return LocalMoment{*date, *clock, false};
}

template <std::size_t N>
int Count(const short (&values)[N]) {
  int count = 0;
  while (count < static_cast<int>(N) && values[count] != ICAL_RECURRENCE_ARRAY_MAX) ++count;
  return count;
}

int WeekdayBit(int weekday) { return 1 << (weekday - 1); }

constexpr const char* kWeekdayCodes[] = {"", "SU", "MO", "TU", "WE", "TH", "FR", "SA"};

unsigned ShortestMonth(int month) { return month == 2 ? 28 : DaysInMonth(2001, static_cast<unsigned>(month)); }

/// The day of month of BYMONTHDAY (or the start's day) as the `RPDayOfMonth` of a kind that takes the
/// month's last day when the month is shorter; nothing when the rule skips shorter months instead.
/// `shortest` is the fewest days the months of the rule can have.
std::variant<int, std::string> DayOrLast(const icalrecurrencetype& rule, int startDay, unsigned shortest) {
  const int days = Count(rule.by_month_day);
  const int positions = Count(rule.by_set_pos);
  if (positions > 0) {
    // Our own shape: BYMONTHDAY=28,...,d;BYSETPOS=-1, the last of the days the month has.
    bool run = positions == 1 && rule.by_set_pos[0] == -1 && days >= 2 && rule.by_month_day[0] == 28;
    for (int i = 1; run && i < days; ++i) run = rule.by_month_day[i] == 28 + i;
    if (!run) return std::string("BYMONTHDAY with BYSETPOS other than the last of 28 to d");
    return 27 + days;
  }
  if (days > 1) return std::string("several days of the month");
  const int day = days == 1 ? rule.by_month_day[0] : startDay;
  if (day == -1) return 31;
  if (day >= 1 && day <= static_cast<int>(shortest)) return day;
  return "day " + std::to_string(day) + " is skipped in shorter months, where a pattern takes the last day";
}

/// The `RPInstance` of a BYSETPOS or BYDAY position: 1 to 4 the first to fourth, -1 the last, 6 to 31 the
/// sixth and later; nothing for the others (the fifth would be read as the last).
std::optional<int> InstanceOf(int position) {
  if (position >= 1 && position <= 4) return position - 1;
  if (position == -1) return 4;
  if (position >= 6 && position <= 31) return position - 1;
  return std::nullopt;
}

/// Maps the rule onto the record's pattern; the reason when no kind holds it.
std::optional<std::string> MapRule(const icalrecurrencetype& rule, const LocalMoment& start, DateTime today,
                                   EventRecord& record) {
  const auto date = DecodeDate(start.date);
  const int startWeekday = DayOfWeek(start.date);
  const int startDay = static_cast<int>(unsigned(date.day()));
  const int startMonth = static_cast<int>(unsigned(date.month()));
  const int days = Count(rule.by_day);
  const int monthDays = Count(rule.by_month_day);
  const int months = Count(rule.by_month);
  const int positions = Count(rule.by_set_pos);
  if (Count(rule.by_second) + Count(rule.by_minute) + Count(rule.by_hour) > 0) {
    return "it repeats within a day (BYHOUR, BYMINUTE or BYSECOND)";
  }
  if (Count(rule.by_year_day) + Count(rule.by_week_no) > 0) return "no pattern counts BYYEARDAY or BYWEEKNO";
  if (rule.freq == ICAL_SECONDLY_RECURRENCE || rule.freq == ICAL_MINUTELY_RECURRENCE ||
      rule.freq == ICAL_HOURLY_RECURRENCE) {
    return "it repeats more than once a day";
  }
  const int interval = std::max<int>(rule.interval, 1);
  int mask = 0;
  bool positional = false;
  for (int i = 0; i < days; ++i) {
    mask |= WeekdayBit(icalrecurrencetype_day_day_of_week(rule.by_day[i]));
    positional = positional || icalrecurrencetype_day_position(rule.by_day[i]) != 0;
  }
  record.startDate = start.date;
  record.interval = 1;
  switch (rule.freq) {
    case ICAL_DAILY_RECURRENCE:
      if (months + monthDays + positions > 0 || positional) return "FREQ=DAILY with BYMONTH, BYMONTHDAY or BYSETPOS";
      if (days == 0) {
        record.recurrenceType = kRecurDaily;
        record.interval = interval;
        record.dayOfWeekMask = WeekdayBit(startWeekday);
        return std::nullopt;
      }
      if (interval != 1) return "every " + std::to_string(interval) + " days on some weekdays only";
      record.recurrenceType = kRecurWeekly;
      record.dayOfWeekMask = mask;
      return std::nullopt;
    case ICAL_WEEKLY_RECURRENCE: {
      if (months + monthDays + positions > 0 || positional) return "FREQ=WEEKLY with BYMONTH, BYMONTHDAY or BYSETPOS";
      if (days == 0) mask = WeekdayBit(startWeekday);
      record.recurrenceType = kRecurWeekly;
      record.dayOfWeekMask = mask;
      record.interval = interval;
      if (interval == 1) return std::nullopt;
      // The pattern's weeks are seven-day blocks from its start: start them on the rule's first day of
      // the week. Days of that first week before DTSTART then become reminder days too, which is only
      // harmless when they lie before today.
      const int weekStart = rule.week_start == ICAL_NO_WEEKDAY ? 2 : static_cast<int>(rule.week_start);
      const int back = (startWeekday - weekStart + 7) % 7;
      for (int offset = 1; offset <= back; ++offset) {
        const DateTime day = start.date - offset;
        if ((mask & WeekdayBit(DayOfWeek(day))) != 0 && day >= today) {
          return std::string("every ") + std::to_string(interval) +
                 " weeks from a start in the middle of a week (WKST=" + kWeekdayCodes[weekStart] + ")";
        }
      }
      record.startDate = start.date - back;
      return std::nullopt;
    }
    case ICAL_MONTHLY_RECURRENCE:
      if (interval != 1) {
        return "every " + std::to_string(interval) + " calendar months; monthly patterns count months of 30.4375 days";
      }
      if (months > 0) return "FREQ=MONTHLY with BYMONTH";
      if (days == 0) {
        const auto day = DayOrLast(rule, startDay, 28);
        if (const auto* why = std::get_if<std::string>(&day)) return *why;
        record.recurrenceType = kRecurMonthlyByDay;
        record.dayOfMonth = std::get<int>(day);
        return std::nullopt;
      }
      if (monthDays > 0) return "BYDAY together with BYMONTHDAY";
      if (positional) {
        if (days != 1 || positions > 0) return "several weekdays each with its own position";
        const auto instance = InstanceOf(icalrecurrencetype_day_position(rule.by_day[0]));
        if (!instance) return "the fifth weekday of a month, which a pattern reads as the last";
        record.recurrenceType = kRecurMonthlyByWeekday;
        record.instance = *instance;
        record.dayOfWeekMask = mask;
        return std::nullopt;
      }
      if (positions == 0) {
        record.recurrenceType = kRecurWeekly;  // every such weekday of every month
        record.dayOfWeekMask = mask;
        return std::nullopt;
      }
      if (positions == 1) {
        const auto instance = InstanceOf(rule.by_set_pos[0]);
        if (!instance) return "BYSETPOS=" + std::to_string(rule.by_set_pos[0]) + " has no pattern";
        record.recurrenceType = kRecurMonthlyByWeekday;
        record.instance = *instance;
        record.dayOfWeekMask = mask;
        return std::nullopt;
      }
      return "several BYSETPOS values";
    case ICAL_YEARLY_RECURRENCE: {
      if (interval != 1) return "every " + std::to_string(interval) + " years";
      if (months > 1) return "several months of the year";
      const int month = months == 1 ? rule.by_month[0] : startMonth;
      if (month < 1 || month > 12) return "BYMONTH=" + std::to_string(month) + " is no month";
      record.monthOfYear = month - 1;
      if (days == 0) {
        const auto day = DayOrLast(rule, startDay, ShortestMonth(month));
        if (const auto* why = std::get_if<std::string>(&day)) return *why;
        record.recurrenceType = kRecurYearlyByDate;
        record.dayOfMonth = std::get<int>(day);
        return std::nullopt;
      }
      if (monthDays > 0) return "BYDAY together with BYMONTHDAY";
      if (months == 0) return "a weekday position counted over the whole year";
      std::optional<int> instance;
      if (positional && days == 1 && positions == 0) {
        instance = InstanceOf(icalrecurrencetype_day_position(rule.by_day[0]));
      } else if (!positional && positions == 1) {
        instance = InstanceOf(rule.by_set_pos[0]);
      } else {
        return "every such weekday of a month of the year";
      }
      if (!instance) return "the fifth weekday of a month, which a pattern reads as the last";
      record.recurrenceType = kRecurYearlyByWeekday;
      record.instance = *instance;
      record.dayOfWeekMask = mask;
      return std::nullopt;
    }
    default:
      return "an unknown FREQ";
  }
}

struct PendingEvent {
  std::string preferredName;  // X-ALMANEX-SECTION, empty for a foreign event
  std::string name;
  std::string title;
  std::vector<std::pair<const RecordKey*, std::string>> values;  // our own event
  std::optional<EventRecord> record;                             // a foreign event
  std::string note;                                              // why it was imported once only
};

/// Every occurrence date of the component (RRULE from DTSTART, RDATE, less EXDATE) from `from` on, in
/// order, until visit returns false or kMaxOccurrences were walked.
void ForEachOccurrence(icalcomponent* event, icaltimetype dtstart, DateTime from,
                       const std::function<bool(DateTime)>& visit) {
  std::set<DateTime> excluded;
  std::set<DateTime> dates;
  for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY); p != nullptr;
       p = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY)) {
    if (const auto local = ToLocal(icalproperty_get_exdate(p))) excluded.insert(local->date);
  }
  for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY); p != nullptr;
       p = icalcomponent_get_next_property(event, ICAL_RDATE_PROPERTY)) {
    const icaldatetimeperiodtype value = icalproperty_get_rdate(p);
    const icaltimetype time = icaltime_is_null_time(value.time) ? value.period.start : value.time;
    if (const auto local = ToLocal(time); local && local->date >= from) dates.insert(local->date);
  }
  if (const auto start = ToLocal(dtstart); start && start->date >= from) dates.insert(start->date);
  icalproperty* rrule = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY);
  std::optional<DateTime> ruleNext;
  IteratorPtr iterator;
  if (rrule != nullptr) iterator.reset(icalrecur_iterator_new(icalproperty_get_rrule(rrule), dtstart));
  int walked = 0;
  const auto advance = [&] {
    ruleNext.reset();
    while (iterator && walked < kMaxOccurrences) {
      const icaltimetype next = icalrecur_iterator_next(iterator.get());
      ++walked;
      if (icaltime_is_null_time(next)) break;
      const auto local = ToLocal(next);
      if (local && local->date >= from) {
        ruleNext = local->date;
        return;
      }
    }
    iterator.reset();
  };
  advance();
  std::optional<DateTime> previous;
  while (true) {
    std::optional<DateTime> next;
    if (!dates.empty()) next = *dates.begin();
    if (ruleNext && (!next || *ruleNext <= *next)) next = ruleNext;
    if (!next) return;
    if (ruleNext && *ruleNext == *next) advance();
    dates.erase(*next);
    if (excluded.count(*next) != 0 || (previous && *previous == *next)) continue;
    previous = next;
    if (!visit(*next)) return;
  }
}

std::string Describe(const icalrecurrencetype& rule) {
  icalrecurrencetype copy = rule;
  char* text = icalrecurrencetype_as_string_r(&copy);
  std::string result = text != nullptr ? text : "";
  icalmemory_free_buffer(text);
  return result;
}

/// The record of a foreign VEVENT, or the fault that makes the file unreadable.
std::variant<PendingEvent, Fault> ForeignEvent(icalcomponent* event, int line, DateTime now) {
  PendingEvent pending;
  const icaltimetype dtstart = icalcomponent_get_dtstart(event);
  const auto start = ToLocal(dtstart);
  if (!start) return Fault{line, "VEVENT without a readable DTSTART"};
  EventRecord record;
  if (const char* summary = icalcomponent_get_summary(event)) record.title = summary;
  std::string categories;
  for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_CATEGORIES_PROPERTY); p != nullptr;
       p = icalcomponent_get_next_property(event, ICAL_CATEGORIES_PROPERTY)) {
    if (const char* category = icalproperty_get_categories(p)) {
      if (!categories.empty()) categories += ", ";
      categories += category;
    }
  }
  record.typeDesc = categories;
  record.date = start->date;
  record.time = start->time;
  record.dateChecked = true;
  record.timeChecked = !start->dateOnly;
  record.remindMe = true;
  record.remindTime = start->time;
  // A display alarm relative to the start moves the reminder within the day.
  for (icalcomponent* alarm = icalcomponent_get_first_component(event, ICAL_VALARM_COMPONENT); alarm != nullptr;
       alarm = icalcomponent_get_next_component(event, ICAL_VALARM_COMPONENT)) {
    icalproperty* trigger = icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY);
    if (trigger == nullptr) continue;
    const icalparameter* related = icalproperty_get_first_parameter(trigger, ICAL_RELATED_PARAMETER);
    if (related != nullptr && icalparameter_get_related(related) == ICAL_RELATED_END) continue;
    const icaltriggertype value = icalproperty_get_trigger(trigger);
    if (!icaltime_is_null_time(value.time)) continue;
    const double at = start->time * 86400.0 + icaldurationtype_as_int(value.duration);
    if (at >= 0 && at < 86400) record.remindTime = EncodeTime(0, 0, static_cast<unsigned>(at));
    break;
  }
  record.startDate = start->date;
  record.recurrenceType = kRecurOnce;
  record.onceDate = start->date;
  record.dayOfWeekMask = WeekdayBit(DayOfWeek(start->date));
  record.dayOfMonth = static_cast<int>(unsigned(DecodeDate(start->date).day()));
  record.monthOfYear = static_cast<int>(unsigned(DecodeDate(start->date).month())) - 1;

  const DateTime today = DateOf(now);
  std::optional<std::string> why;
  icalproperty* rrule = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY);
  if (rrule != nullptr) {
    const icalrecurrencetype rule = icalproperty_get_rrule(rrule);
    if (icalcomponent_get_next_property(event, ICAL_RRULE_PROPERTY) != nullptr) {
      why = "it has more than one RRULE";
    } else if (icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY) != nullptr) {
      why = "it has RDATE dates besides its rule";
    } else if (icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY) != nullptr) {
      why = "it has EXDATE exceptions";
    } else if (icalcomponent_get_first_property(event, ICAL_EXRULE_PROPERTY) != nullptr) {
      why = "it has an EXRULE";
    } else {
      why = MapRule(rule, *start, today, record);
      if (why) {
        *why = Describe(rule) + ": " + *why;
      } else if (!icaltime_is_null_time(rule.until)) {
        if (const auto until = ToLocal(rule.until)) {
          record.endType = kRecurEndByDate;
          record.endDate = until->date;
        }
      } else if (rule.count > 0) {
        // The end is the day of the last of the COUNT occurrences.
        std::optional<DateTime> lastDay;
        IteratorPtr iterator(icalrecur_iterator_new(rule, dtstart));
        for (int i = 0; iterator && i < std::min(rule.count, kMaxOccurrences); ++i) {
          const icaltimetype next = icalrecur_iterator_next(iterator.get());
          if (icaltime_is_null_time(next)) break;
          if (const auto local = ToLocal(next)) lastDay = local->date;
        }
        if (lastDay) {
          record.endType = kRecurEndByDate;
          record.endDate = *lastDay;
        }
      }
    }
    if (why) {
      record.recurrenceType = kRecurOnce;
      record.startDate = start->date;
      record.endType = 0;
    }
  } else if (icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY) != nullptr) {
    why = "it has RDATE dates";
  }
  if (why) {
    std::optional<DateTime> next;
    ForEachOccurrence(event, dtstart, today, [&next](DateTime day) {
      next = day;
      return false;
    });
    if (next) {
      record.onceDate = *next;
      *why += "; imported as a once-only event on " + IsoDate(*next);
    } else {
      *why += "; no occurrence from today on, imported as a once-only event on its first day " + IsoDate(start->date);
    }
    record.startDate = std::min(record.startDate, record.onceDate);
    pending.note = *why;
  }
  pending.title = record.title;
  pending.record = std::move(record);
  return pending;
}

/// The record of a VEVENT of our own export, or the fault of a value that has not its key's form.
std::variant<PendingEvent, Fault> OwnEvent(icalcomponent* event, int line, std::string section) {
  PendingEvent pending;
  pending.preferredName = std::move(section);
  for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_X_PROPERTY); p != nullptr;
       p = icalcomponent_get_next_property(event, ICAL_X_PROPERTY)) {
    const char* name = icalproperty_get_x_name(p);
    const char* value = icalproperty_get_x(p);
    if (name == nullptr || value == nullptr) continue;
    const std::string upper = AsciiUpper(name);
    const auto key = std::find_if(kRecordKeys.begin(), kRecordKeys.end(),
                                  [&upper](const RecordKey& k) { return !k.property.empty() && k.property == upper; });
    if (key == kRecordKeys.end()) continue;
    if (!IsValidImportedValue(*key, value)) {
      return Fault{line, upper + " of the VEVENT has the value \"" + Shortened(value) + "\", which is not a " +
                             KeyFormName(key->form)};
    }
    if (key->key == event_keys::kTitle) pending.title = value;
    pending.values.emplace_back(&*key, value);
  }
  // Key order as the table has it, whatever the order of the properties.
  std::stable_sort(pending.values.begin(), pending.values.end(),
                   [](const auto& a, const auto& b) { return std::less<>()(a.first, b.first); });
  return pending;
}

/// The names an import gives: the event's own name when it is an event section name still free, else
/// the next free event name over the file's names and those given before.
class SectionNamer {
 public:
  explicit SectionNamer(const IniFile& file) {
    file.ForEachSectionName([this](std::string_view name) {
      taken_.insert(AsciiLower(name));
      if (IsEventSection(name)) ++eventCount_;
    });
  }

  std::string Name(const std::string& preferred) {
    std::string name;
    if (!preferred.empty() && IsEventSection(preferred) && taken_.count(AsciiLower(preferred)) == 0) {
      name = preferred;
    } else {
      // The last of Event1 .. Event<n + 1> not taken is the first free one counting down.
      for (long p = eventCount_ + 1; p >= 1 && name.empty(); --p) {
        if (taken_.count("event" + std::to_string(p)) == 0) name = "Event" + std::to_string(p);
      }
      for (long p = eventCount_ + 2; name.empty(); ++p) {
        if (taken_.count("event" + std::to_string(p)) == 0) name = "Event" + std::to_string(p);
      }
    }
    taken_.insert(AsciiLower(name));
    ++eventCount_;
    return name;
  }

 private:
  std::unordered_set<std::string> taken_;
  long eventCount_ = 0;
};

void Write(IniFile& file, const PendingEvent& event, const FormatSettings& settings) {
  if (event.record) {
    WriteEventRecord(file, event.name, *event.record, settings);
    return;
  }
  auto value = event.values.begin();
  for (const RecordKey& key : kRecordKeys) {
    if (key.key == event_keys::kReminded) {
      file.WriteBool(event.name, key.key, false);
    } else if (value != event.values.end() && value->first == &key) {
      WriteImportedValue(file, event.name, key, value->second, settings);
      ++value;
    }
  }
}

}  // namespace

ImportReport ImportCalendar(std::string_view text, IniFile& file, DateTime now, const FormatSettings& settings,
                            bool apply) {
  ImportReport report;
  const auto fail = [&report](const Fault& fault) {
    report.errorLine = fault.line;
    report.error = fault.line > 0 ? "line " + std::to_string(fault.line) + ": " + fault.message : fault.message;
    report.added.clear();
    report.notes.clear();
    return report;
  };
  std::vector<PendingEvent> events;
  const std::optional<Fault> fault = ReadEvents(text, [&](icalcomponent* event, int line) -> std::optional<Fault> {
    std::optional<std::string> section;
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_X_PROPERTY); p != nullptr && !section;
         p = icalcomponent_get_next_property(event, ICAL_X_PROPERTY)) {
      const char* name = icalproperty_get_x_name(p);
      if (name != nullptr && AsciiUpper(name) == kSectionProperty && icalproperty_get_x(p) != nullptr) {
        section = icalproperty_get_x(p);
      }
    }
    auto pending = section ? OwnEvent(event, line, *section) : ForeignEvent(event, line, now);
    if (auto* failure = std::get_if<Fault>(&pending)) return std::move(*failure);
    events.push_back(std::move(std::get<PendingEvent>(pending)));
    return std::nullopt;
  });
  if (fault) return fail(*fault);

  SectionNamer namer(file);
  for (PendingEvent& event : events) {
    event.name = namer.Name(event.preferredName);
    report.added.push_back(event.name + "\t" + event.title);
    if (!event.note.empty()) report.notes.push_back(event.name + " \"" + event.title + "\": " + event.note);
  }
  if (apply) {
    for (const PendingEvent& event : events) Write(file, event, settings);
  }
  return report;
}

ImportReport ImportCalendarFile(const std::string& icsPath, const std::string& configPath, bool dryRun, DateTime now,
                                const FormatSettings& settings) {
  ImportReport report;
  std::error_code ignored;
  std::ifstream in(icsPath, std::ios::binary);
  if (!in || std::filesystem::is_directory(icsPath, ignored)) {
    report.error = "cannot read " + icsPath;
    return report;
  }
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) {
    report.error = "cannot read " + icsPath;
    return report;
  }
  IniFile file(configPath);
  report = ImportCalendar(text, file, now, settings, !dryRun);
  if (!report.ok() || dryRun) return report;
  try {
    file.Flush();
  } catch (const EIniWriteError& error) {
    report.error = error.what();
    report.added.clear();
    report.notes.clear();
  }
  return report;
}

}  // namespace almanex::calendar

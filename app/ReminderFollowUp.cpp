#include "ReminderFollowUp.h"

#include <QString>
#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <utility>

#include "base/Trace.h"
#include "datetime/DateFormat.h"
#include "datetime/DateTimeUnit.h"
#include "platform/CommRegistry.h"
#include "platform/TrayIconUnit.h"
#include "store/ConfigFile.h"
#include "store/IniFile.h"

namespace almanex {
namespace {

constexpr std::string_view kReminderMemoryKey = "Reminders";

std::optional<std::int64_t> ParseMilliseconds(std::string_view text) {
  std::int64_t value = 0;
  const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || stop != text.data() + text.size()) return std::nullopt;
  return value;
}

DateTime FromMilliseconds(std::int64_t milliseconds) { return static_cast<double>(milliseconds) / kMillisecondsPerDay; }

/// Code points of a UTF-8 text: every byte that does not continue a sequence.
std::size_t CodePoints(std::string_view text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

}  // namespace

std::string RegistryReminderMemory::Read(std::string_view name) { return ReadRegistryString(kReminderMemoryKey, name); }

void RegistryReminderMemory::Write(std::string_view name, std::string_view value) {
  WriteRegistryString(kReminderMemoryKey, name, value);
}

std::string MissedRemindersText(const std::vector<MissedReminder>& missed, const FormatSettings& settings,
                                std::size_t maxCharacters) {
  // Room kept for the closing "and N more" line when the list does not fit.
  constexpr std::size_t kMoreLineRoom = 24;
  std::string text;
  std::size_t characters = 0;
  for (std::size_t i = 0; i < missed.size(); ++i) {
    const std::string line = FormatShortDate(missed[i].remindMoment, settings) + ": " + missed[i].title;
    const std::size_t separator = text.empty() ? 0 : 2;
    const std::size_t room = i + 1 == missed.size() ? maxCharacters : maxCharacters - kMoreLineRoom;
    if (characters + separator + CodePoints(line) > room) {
      if (!text.empty()) text += "\r\n";
      text += "and " + std::to_string(missed.size() - i) + " more";
      return text;
    }
    if (separator != 0) text += "\r\n";
    text += line;
    characters += separator + CodePoints(line);
  }
  return text;
}

ReminderFollowUp::ReminderFollowUp(std::function<std::string()> configPath, const Clock& clock, FormatSettings settings,
                                   BalloonSink& balloons, ReminderMemory& memory, std::function<void()> openMainWindow,
                                   FileOperations* operations)
    : configPath_(std::move(configPath)),
      clock_(clock),
      settings_(std::move(settings)),
      balloons_(balloons),
      memory_(memory),
      openMainWindow_(std::move(openMainWindow)),
      operations_(operations),
      self_(std::make_shared<ReminderFollowUp*>(this)) {
  // A line that does not read (a hand-edited store) is dropped; the others stay.
  const std::string stored = memory_.Read(kSnoozedValueName);
  std::string_view rest = stored;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos || tab + 1 == line.size()) continue;
    const auto due = ParseMilliseconds(line.substr(0, tab));
    if (due) snoozes_.push_back({*due, std::string(line.substr(tab + 1))});
  }
  std::stable_sort(snoozes_.begin(), snoozes_.end(), [](const PendingSnooze& a, const PendingSnooze& b) {
    return a.dueMilliseconds < b.dueMilliseconds;
  });
}

ReminderFollowUp::~ReminderFollowUp() {
  if (previousTick_) RecordLastRun(*previousTick_);
}

void ReminderFollowUp::Tick(DateTime now) {
  const std::int64_t nowMilliseconds = WholeMilliseconds(now);
  if (!previousTick_) {
    const auto stored = ParseMilliseconds(memory_.Read(kLastRunValueName));
    if (stored) ShowMissed(FromMilliseconds(*stored), now);
    RecordLastRun(now);
  } else if (nowMilliseconds - WholeMilliseconds(*previousTick_) > kClockJumpMilliseconds) {
    ShowMissed(*previousTick_, now);
    RecordLastRun(now);
  }
  previousTick_ = now;

  bool changed = false;
  while (!snoozes_.empty() && snoozes_.front().dueMilliseconds <= nowMilliseconds) {
    const std::string section = std::move(snoozes_.front().section);
    snoozes_.erase(snoozes_.begin());
    changed = true;
    ShowSnoozed(section);
  }
  if (changed) StoreSnoozes();

  // Also when the clock went back: the stored moment must not stay ahead of the real one for long.
  if (std::llabs(nowMilliseconds - lastRecorded_) >= kLastRunRecordMilliseconds) RecordLastRun(now);
}

ReminderActions ReminderFollowUp::ActionsFor(const std::string& section) {
  std::weak_ptr<ReminderFollowUp*> weak = self_;
  ReminderActions actions;
  actions.snooze = [weak, section] {
    if (const auto self = weak.lock()) (*self)->Snooze(section);
  };
  actions.open = [weak] {
    if (const auto self = weak.lock()) {
      if ((*self)->openMainWindow_) (*self)->openMainWindow_();
    }
  };
  return actions;
}

void ReminderFollowUp::Snooze(const std::string& section) {
  const std::int64_t due = WholeMilliseconds(clock_.Now()) + kSnoozeMilliseconds;
  std::erase_if(snoozes_, [&](const PendingSnooze& snooze) { return snooze.section == section; });
  const auto at =
      std::upper_bound(snoozes_.begin(), snoozes_.end(), due,
                       [](std::int64_t value, const PendingSnooze& snooze) { return value < snooze.dueMilliseconds; });
  snoozes_.insert(at, {due, section});
  StoreSnoozes();
  Trace(kReminderTraceSource, "Snooze: " + section);
}

void ReminderFollowUp::RecordLastRun(DateTime now) {
  lastRecorded_ = WholeMilliseconds(now);
  memory_.Write(kLastRunValueName, std::to_string(lastRecorded_));
}

void ReminderFollowUp::ShowMissed(DateTime since, DateTime now) {
  const DateTime today = DateOf(now);
  const DateTime from = std::max(since, today - kMissedDaysBack);
  if (WholeMilliseconds(from) >= WholeMilliseconds(today)) return;
  const IniFile file(configPath_(), IniFile::ReadOnlyMapped{});
  const std::vector<MissedReminder> missed = FindMissedReminders(file, from, today, now, settings_);
  if (missed.empty()) return;
  ReminderActions actions;
  actions.open = ActionsFor(std::string()).open;  // nothing to snooze: the days are gone
  balloons_.ShowReminder(QString::fromStdString(MissedRemindersText(
                             missed, settings_, static_cast<std::size_t>(kBalloonTextMaxCharacters))),
                         QString::fromLatin1(kMissedRemindersTitle), actions);
}

void ReminderFollowUp::ShowSnoozed(const std::string& section) {
  const IniFile file(configPath_(), IniFile::ReadOnlyMapped{});
  // An event erased since the snooze is not reminded of.
  if (!IsEventSection(section) || !file.SectionExists(section)) return;
  TNextReminder next;
  TReminderWay way;
  ReadReminderEvent(file, section, clock_.Now(), settings_, next, way);
  next.bFound = true;
  const std::string text = BuildSpanSentence(next, way, clock_, settings_);
  balloons_.ShowReminder(QString::fromStdString(text), QString::fromStdString(next.strTitle), ActionsFor(section));
}

void ReminderFollowUp::StoreSnoozes() {
  std::string value;
  for (const PendingSnooze& snooze : snoozes_) {
    if (!value.empty()) value += '\n';
    value += std::to_string(snooze.dueMilliseconds) + '\t' + snooze.section;
  }
  memory_.Write(kSnoozedValueName, value);
}

}  // namespace almanex

#pragma once
// What happens to reminders beyond the day the scheduler keeps: snoozes and the reminders missed while
// Almanex was not running (or the computer slept).
//
// Snooze: a reminder offers "Snooze 10 minutes"; ten minutes after the choice the event's reminder comes
// back, with its sentence built at that moment from the event as the file then holds it (an event erased
// in between is dropped). Pending snoozes are kept in the settings store, so a restart does not lose them.
//
// Missed reminders: the moment the scheduler last ran is kept in the settings store. At the first tick,
// and at a tick that follows the one before it by more than kClockJumpMilliseconds (a resume from sleep,
// a clock set forward), the reminder days that fell between that moment and the start of today, at most
// kMissedDaysBack days back, are listed once, in one reminder titled "Missed while Almanex was not
// running". Today's reminders stay with the scheduler, which shows every one whose moment has passed.
//
// Everything runs on the user-interface thread, inside the scheduler's tick and the balloon's actions.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "datetime/Clock.h"
#include "datetime/DateTime.h"
#include "datetime/FormatSettings.h"
#include "platform/Notifier.h"
#include "recurrence/ReminderSearch.h"

namespace almanex {

class FileOperations;

/// The title of the list of missed reminders.
inline constexpr char kMissedRemindersTitle[] = "Missed while Almanex was not running";
/// How long a snooze lasts.
inline constexpr std::int64_t kSnoozeMilliseconds = 10 * 60 * 1000;
/// How many days before today missed reminders are looked for.
inline constexpr int kMissedDaysBack = 31;
/// A gap between two ticks longer than this is a jump of the clock: the computer slept, or the clock
/// was set forward.
inline constexpr std::int64_t kClockJumpMilliseconds = 5000;
/// How often the moment of the last run is written while nothing else writes it.
inline constexpr std::int64_t kLastRunRecordMilliseconds = 60 * 1000;

/// The values kept between runs. Read and Write never throw: a store that fails reads as empty.
class ReminderMemory {
 public:
  virtual ~ReminderMemory() = default;
  /// The text stored as `name`; empty when there is none or the store cannot be read.
  virtual std::string Read(std::string_view name) = 0;
  virtual void Write(std::string_view name, std::string_view value) = 0;
};

/// The settings store (platform/CommRegistry.h): string values of the product key's sub-key "Reminders".
class RegistryReminderMemory final : public ReminderMemory {
 public:
  std::string Read(std::string_view name) override;
  void Write(std::string_view name, std::string_view value) override;
};

/// The names of the stored values. "LastRun": the moment as whole milliseconds since 1899-12-30 in
/// local time. "Snoozed": one line per snooze, its moment in the same milliseconds, TAB, the section.
inline constexpr std::string_view kLastRunValueName = "LastRun";
inline constexpr std::string_view kSnoozedValueName = "Snoozed";

/// Snoozes and missed reminders; owned beside the scheduler, which calls Tick at the end of its own.
class ReminderFollowUp {
 public:
  /// `clock`, `balloons` and `memory` must outlive this object; `openMainWindow` is the "Open Almanex"
  /// action; `operations` (may be null) is handed to every IniFile opened. Reads the pending snoozes.
  ReminderFollowUp(std::function<std::string()> configPath, const Clock& clock, FormatSettings settings,
                   BalloonSink& balloons, ReminderMemory& memory, std::function<void()> openMainWindow,
                   FileOperations* operations = nullptr);
  /// Records the moment of the last tick, when there was one.
  ~ReminderFollowUp();
  ReminderFollowUp(const ReminderFollowUp&) = delete;
  ReminderFollowUp& operator=(const ReminderFollowUp&) = delete;

  /// At the first tick, and after a jump of the clock, the missed reminders; then every snooze whose
  /// moment has come (now at or after it), oldest first; then the record of this run.
  void Tick(DateTime now);
  /// The actions of a reminder of `section`: snooze it, or open the main window. Safe to run after this
  /// object is gone (they do nothing then).
  ReminderActions ActionsFor(const std::string& section);
  /// Brings the reminder of `section` back kSnoozeMilliseconds after the clock's now; a snooze of the
  /// same section that was pending is replaced. Stored at once.
  void Snooze(const std::string& section);
  /// Stores `now` as the moment of the last run.
  void RecordLastRun(DateTime now);

  struct PendingSnooze {
    std::int64_t dueMilliseconds;
    std::string section;
  };
  const std::vector<PendingSnooze>& PendingSnoozes() const { return snoozes_; }

 private:
  void ShowMissed(DateTime since, DateTime now);
  void ShowSnoozed(const std::string& section);
  void StoreSnoozes();

  std::function<std::string()> configPath_;
  const Clock& clock_;
  FormatSettings settings_;
  BalloonSink& balloons_;
  ReminderMemory& memory_;
  std::function<void()> openMainWindow_;
  FileOperations* operations_;
  std::vector<PendingSnooze> snoozes_;  ///< ordered by moment
  std::optional<DateTime> previousTick_;
  std::int64_t lastRecorded_ = 0;
  /// Points at this object while it lives; the actions hold it weakly.
  std::shared_ptr<ReminderFollowUp*> self_;
};

/// The text of the missed-reminders balloon: one line per reminder, "<short date>: <title>", joined by
/// CR LF, as many as fit in `maxCharacters` code points; when some do not fit, the last line says
/// "and N more".
std::string MissedRemindersText(const std::vector<MissedReminder>& missed, const FormatSettings& settings,
                                std::size_t maxCharacters);

}  // namespace almanex

#pragma once
// The reminder scheduler of the main window: it keeps one pending reminder (the earliest of today's
// due and not yet reminded events), shows it as a balloon when the clock has passed its moment, marks
// the event as reminded in the configuration file and looks for the next one. At the first tick and at
// the first tick of every new day it clears every reminded mark first.
//
// Costs: a tick compares two date-times and touches no file unless the date changed or a reminder
// fell due. A search maps the file once and reads every event section from it, and keeps the sections
// that can still fall due today; after a shown reminder, whose mark is one byte written in place, the
// search picks among those unless another program changed the file. A reset clears the marks set in
// place, or, when some cannot go in place, writes every mark with one atomic replace. The search itself
// (recurrence/ReminderSearch.h) belongs to the core; the scheduler adds the clock, the marks and the balloon.

#include <functional>
#include <string>
#include <vector>

#include "datetime/Clock.h"
#include "datetime/DateTime.h"
#include "datetime/DateTimeUnit.h"
#include "datetime/FormatSettings.h"
#include "platform/Notifier.h"
#include "recurrence/ReminderSearch.h"
#include "store/IniFile.h"

namespace almanex {

class FileOperations;
class IniFile;
class ReminderFollowUp;

/// The scheduler, owned by the main window and driven by its one-second timer.
///
/// Every file operation asks `configPath` once for the path and opens the file once; nothing of the
/// file is kept between operations. Everything runs on the user-interface thread.
class ReminderScheduler {
 public:
  /// Works on the program-wide theNextReminder and theReminderWay. `clock` and `balloons` must outlive
  /// the scheduler; `settings` is copied.
  ReminderScheduler(std::function<std::string()> configPath, const Clock& clock, FormatSettings settings,
                    BalloonSink& balloons);
  /// Works on the given records (tests use their own); `operations` (not owned, may be null) is handed
  /// to every IniFile the scheduler opens.
  ReminderScheduler(std::function<std::string()> configPath, const Clock& clock, FormatSettings settings,
                    BalloonSink& balloons, TNextReminder& next, TReminderWay& way,
                    FileOperations* operations = nullptr);

  /// One timer tick after the span refresh: when the date differs from the date of the pending remind
  /// time (always at the first tick), ResetNotificationFlag() then SearchNextReminder(); then, when now
  /// is strictly later than the remind time (compared to the millisecond), shows the pending reminder
  /// and searches again. A jump of the clock (sleep, resume, a change of the system time) is simply one
  /// tick at the new time.
  /// Throws EIniWriteError when a mark cannot be written. A failed reset does not stop the search of
  /// that tick (the error is thrown after it), so a read-only file raises once per day, not once a
  /// second; a failed mark leaves nothing pending until the next search, as the balloon has been shown.
  void Tick();
  /// Recomputes the pending reminder and its wording from the file (one snapshot). Sends the trace line
  /// "SearchNextReminder: Start to search next reminders. " first. Never writes.
  void SearchNextReminder();
  /// Writes `Reminded`=0 into every event section, one commit for all; a missing file stays missing.
  /// Then sends "ResetNotificationFlag: Reset the Notification Flag. ". Throws EIniWriteError.
  void ResetNotificationFlag();
  /// When a reminder is pending: builds its sentence now, shows it under the event's title as a reminder
  /// balloon, clears bFound, and writes `Reminded`=1 into its section. A section that no longer exists
  /// in the file (or a file that no longer exists) is not created again. Throws EIniWriteError after the
  /// balloon has been shown and bFound cleared.
  void ShowReminderNotification();

  /// Hands snoozes and missed reminders to `followUp` (not owned; null: none): its Tick runs at the end
  /// of every tick, every reminder shown offers its actions, and the moment is recorded after each one.
  void SetFollowUp(ReminderFollowUp* followUp) { followUp_ = followUp; }

  const TNextReminder& NextReminder() const { return next_; }
  const TReminderWay& ReminderWay() const { return way_; }

 private:
  /// The clock's now rounded to the millisecond, the resolution of every comparison made here.
  DateTime Now() const;
  /// The whole search on a snapshot of its own; it lists the candidates anew.
  void Search(DateTime now);
  /// Shows the pending reminder, marks it and searches again, on one mapped read of the file: the mark
  /// written in place, the search over the candidates of the last search when they still hold.
  void ShowAndSearchAgain(DateTime now);
  /// The search after a shown reminder, on the snapshot its mark left: over the candidates of the last
  /// search, less the section just `marked`, when they still hold (candidatesHold) and no trace
  /// listener wants the whole search.
  void SearchAgain(const IniFile& file, DateTime now, bool candidatesHold, const std::string& marked);
  /// Shows the pending reminder as a balloon (with its actions when follow-ups are set) and clears bFound.
  void ShowReminderBalloon();
  /// Writes `Reminded`=1 into the section and commits it, unless the section is gone from the file.
  static void WriteMark(IniFile& file, const std::string& section);
  std::function<std::string()> configPath_;
  const Clock& clock_;
  FormatSettings settings_;
  BalloonSink& balloons_;
  TNextReminder& next_;
  TReminderWay& way_;
  FileOperations* operations_;
  ReminderFollowUp* followUp_ = nullptr;
  /// What the last search found able to fall due later today, and the file's state it was found in,
  /// as left by the marks written since.
  std::vector<ReminderCandidate> candidates_;
  IniFileStamp candidatesStamp_;
  bool candidatesValid_ = false;
};

}  // namespace almanex

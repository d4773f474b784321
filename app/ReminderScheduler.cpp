#include "ReminderScheduler.h"

#include <QString>
#include <exception>
#include <utility>

#include "ReminderFollowUp.h"
#include "base/Trace.h"
#include "platform/core/FreedMemory.h"
#include "store/ConfigFile.h"
#include "store/EventKeys.h"
#include "store/IniFile.h"

namespace almanex {

ReminderScheduler::ReminderScheduler(std::function<std::string()> configPath, const Clock& clock,
                                     FormatSettings settings, BalloonSink& balloons)
    : ReminderScheduler(std::move(configPath), clock, std::move(settings), balloons, theNextReminder, theReminderWay) {}

ReminderScheduler::ReminderScheduler(std::function<std::string()> configPath, const Clock& clock,
                                     FormatSettings settings, BalloonSink& balloons, TNextReminder& next,
                                     TReminderWay& way, FileOperations* operations)
    : configPath_(std::move(configPath)),
      clock_(clock),
      settings_(std::move(settings)),
      balloons_(balloons),
      next_(next),
      way_(way),
      operations_(operations) {
  // A new scheduler is a new start: nothing pending, no search made yet.
  next_ = TNextReminder{};
  way_ = TReminderWay{};
}

DateTime ReminderScheduler::Now() const {
  return static_cast<double>(WholeMilliseconds(clock_.Now())) / kMillisecondsPerDay;
}

void ReminderScheduler::Tick() {
  const DateTime now = Now();
  // A new day (or the first tick, while dtRemindTime is still 0): yesterday's marks and yesterday's
  // pending reminder are gone.
  if (DayNumber(now) != DayNumber(next_.dtRemindTime)) {
    // The search runs even when the marks could not be written, so that the day check holds from now
    // on and a read-only file is reported once instead of at every tick.
    std::exception_ptr resetFailure;
    try {
      ResetNotificationFlag();
    } catch (const EIniWriteError&) {
      resetFailure = std::current_exception();
    }
    Search(now);
    if (resetFailure) std::rethrow_exception(resetFailure);
  }
  // Strictly later: a reminder set for 09:00:00 shows at the first tick after 09:00:00.000. When nothing
  // is pending the remind time is the end of today, which only a new day passes, and the day check above
  // has replaced it by then.
  if (next_.dtRemindTime > 0 && WholeMilliseconds(now) > WholeMilliseconds(next_.dtRemindTime)) {
    next_.dtRemindTime = EndOfDay(now);
    if (next_.bFound) {
      ShowAndSearchAgain(now);
    } else {
      Search(now);
    }
  }
  if (followUp_ != nullptr) followUp_->Tick(now);
}

void ReminderScheduler::SearchNextReminder() { Search(Now()); }

void ReminderScheduler::Search(DateTime now) {
  Trace(kReminderTraceSource, "SearchNextReminder: Start to search next reminders. ");
  {
    const IniFile file(configPath_(), IniFile::ReadOnlyMapped{});
    FindNextReminder(file, now, settings_, next_, way_, &candidates_);
    candidatesStamp_ = file.Stamp();
    candidatesValid_ = true;
  }
  // Every file operation of a tick ends with this search: the snapshots' buffers of the tick go back
  // to the system instead of staying in the window's resident size.
  ReturnFreedMemory();
}

void ReminderScheduler::ShowAndSearchAgain(DateTime now) {
  const std::string section = next_.strSection;
  // The mark and the search after it share one mapped read of the file.
  IniFile file(configPath_(), IniFile::InPlaceOnly{}, operations_);
  // Only the marks of this scheduler changed the file since the last search: its candidates hold.
  const bool candidatesHold = candidatesValid_ && file.Stamp() == candidatesStamp_;
  candidatesValid_ = false;  // until the search below, in case the mark fails
  ShowReminderBalloon();
  if (!file.SectionExists(section)) {
    SearchAgain(file, now, false, section);  // erased meanwhile: nothing to mark
    return;
  }
  // "0" becomes "1": one byte written in place.
  file.WriteBool(section, event_keys::kReminded, true);
  if (file.FlushInPlace()) {
    SearchAgain(file, now, candidatesHold, section);
    return;
  }
  // The mark cannot go in place (no Reminded key yet, another spelling, a linked file): it is committed
  // the atomic way, and the whole search reads what that commit left.
  IniFile whole(configPath_(), operations_, IniLock::kWholeOperation);
  WriteMark(whole, section);
  SearchAgain(whole, now, false, section);
}

void ReminderScheduler::WriteMark(IniFile& file, const std::string& section) {
  // An event erased (or a file removed) by another program since the search is not brought back as a
  // section holding nothing but its mark.
  if (!file.SectionExists(section)) return;
  file.WriteBool(section, event_keys::kReminded, true);
  file.Flush();
}

void ReminderScheduler::SearchAgain(const IniFile& file, DateTime now, bool candidatesHold, const std::string& marked) {
  // With a listener the whole search runs, so that the trace shows every due test as ever.
  const bool listened = Trace(kReminderTraceSource, "SearchNextReminder: Start to search next reminders. ");
  if (candidatesHold && !listened) {
    // The section just marked, named as the search listed it, is the one candidate that changed.
    std::erase_if(candidates_, [&marked](const ReminderCandidate& candidate) { return candidate.section == marked; });
    FindNextReminderAmong(file, candidates_, now, settings_, next_, way_);
  } else {
    FindNextReminder(file, now, settings_, next_, way_, &candidates_);
  }
  candidatesStamp_ = file.Stamp();
  candidatesValid_ = true;
}

void ReminderScheduler::ResetNotificationFlag() {
  {
    // Mostly every mark already reads 0, or those set are "1" lines as the scheduler wrote them: each
    // is cleared in place, one byte, through a mapped snapshot, with no copy of the file. A mark
    // cleared is right alone, so a crash between two of them leaves nothing wrong.
    IniFile file(configPath_(), IniFile::InPlaceOnly{}, operations_);
    std::vector<std::string> marked;
    file.ForEachSectionName([&](std::string_view section) {
      if (IsEventSection(section) && !file.HoldsLine(section, event_keys::kReminded, "0")) {
        marked.emplace_back(section);
      }
    });
    for (const std::string& section : marked) file.WriteBool(section, event_keys::kReminded, false);
    if (file.FlushInPlace()) {
      Trace(kReminderTraceSource, "ResetNotificationFlag: Reset the Notification Flag. ");
      return;
    }
  }
  // Some mark cannot be cleared in place (no Reminded key yet, another spelling, a file that is a link
  // or changed meanwhile): one commit writes every mark.
  // Locked from the read: a section another process erases meanwhile does not come back as its mark.
  IniFile file(configPath_(), operations_, IniLock::kWholeOperation);
  for (const std::string& section : file.SectionNames()) {
    if (IsEventSection(section)) file.WriteBool(section, event_keys::kReminded, false);
  }
  // One commit for every section; with no event section (or no file) nothing is written or created.
  file.Flush();
  Trace(kReminderTraceSource, "ResetNotificationFlag: Reset the Notification Flag. ");
}

void ReminderScheduler::ShowReminderNotification() {
  if (!next_.bFound) return;
  candidatesValid_ = false;
  const std::string section = next_.strSection;
  ShowReminderBalloon();
  IniFile file(configPath_(), operations_, IniLock::kWholeOperation);
  WriteMark(file, section);
}

void ReminderScheduler::ShowReminderBalloon() {
  const std::string text = BuildSpanSentence(next_, way_, clock_, settings_);
  if (followUp_ != nullptr) {
    balloons_.ShowReminder(QString::fromStdString(text), QString::fromStdString(next_.strTitle),
                           followUp_->ActionsFor(next_.strSection));
    followUp_->RecordLastRun(Now());  // a reminder shown is never listed as missed after a restart
  } else {
    balloons_.ShowBalloon(QString::fromStdString(text), QString::fromStdString(next_.strTitle), BalloonKind::Reminder);
  }
  next_.bFound = false;
}

}  // namespace almanex

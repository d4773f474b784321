#pragma once
// The event list as an iCalendar file (RFC 5545): one VEVENT per event section, in file order.
//
// A VEVENT states the event's reminder days exactly as the due test of recurrence/ decides them:
// - DTSTART is the first reminder day on or after the start date (an all-day date);
// - every n days is FREQ=DAILY;INTERVAL=n;
// - weekly is FREQ=WEEKLY;INTERVAL=n;BYDAY=the weekday set, with WKST the start date's weekday, so that
//   the weeks are the seven-day blocks counted from the start date;
// - day d of the month, or the month's last day when the month is shorter, is BYMONTHDAY=d, or
//   BYMONTHDAY=28,...,d;BYSETPOS=-1 for d above 28 (monthly every month; yearly with BYMONTH);
// - the k-th day of a weekday set is BYDAY=the set;BYSETPOS=k, -1 for the last (monthly every month;
//   yearly with BYMONTH);
// - months counted in blocks of 30.4375 days with an interval above 1 have no rule that says them: their
//   reminder days up to 20 years after the export day are listed as RDATEs;
// - the end date is UNTIL (or the last listed date);
// - a pattern that is never due has no RRULE, RDATE or VALARM: its DTSTART is the start date, excluded by
//   an EXDATE of the same day, so that no reader shows an occurrence.
// A VALARM shows the title at the reminder time on every reminder day. SUMMARY is the title, CATEGORIES
// the type, X-ALMANEX-SECTION the section name and X-ALMANEX-* the keys of the section
// (calendar/RecordProperties.h), from which an import restores the record.

#include <string>
#include <string_view>

#include "datetime/DateTime.h"
#include "datetime/FormatSettings.h"

namespace almanex {
class IniFile;
}

namespace almanex::calendar {

/// The whole calendar, CR LF line breaks. `now` is the moment the export is made: DTSTAMP, the
/// default of a missing date or reminder time (as every reader takes it) and the start of the 20 years
/// of listed dates.
std::string ExportCalendar(const IniFile& file, DateTime now, const FormatSettings& settings);

/// One event section as a VEVENT, from BEGIN:VEVENT to END:VEVENT.
std::string ExportEvent(const IniFile& file, std::string_view section, DateTime now, const FormatSettings& settings);

}  // namespace almanex::calendar

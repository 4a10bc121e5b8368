// Dates as feeds write them (RFC 822 in RSS, ISO 8601 in Atom and dc:date, and the faults real
// feeds have in either), turned into one form: RFC 3339 text in UTC.
#pragma once

#include <string>
#include <string_view>

namespace FeedDates {

// The moment text names, as "2026-12-07T08:30:00Z" (fractions of a second dropped), or empty
// when text is not a date this reads: a day that does not exist, a time out of range, an unknown
// zone name, anything left over. Accepts RFC 822 dates with or without the weekday, with one or
// two digit days, two, three or four digit years, seconds or not, named zones (GMT, UT, EST,
// CET, ...), numeric ones (+0200, +02:00, GMT+2) or none (taken as UTC); and ISO 8601 dates
// (2026-12-07, with a time after "T" or a space, optional seconds and fraction, and Z, +hh:mm,
// +hhmm, +hh or no zone). Blank space around it is ignored.
std::string ToRfc3339(std::string_view text);

}  // namespace FeedDates

#include "FeedDates.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <optional>

namespace FeedDates {
namespace {

using namespace std::chrono;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// A left-to-right reader over the text; every step either consumes what it expects or nothing.
class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}

  bool AtEnd() const { return at_ == text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[at_]; }
  bool Eat(char c) {
    if (Peek() != c) return false;
    ++at_;
    return true;
  }
  // True when at least one blank was skipped.
  bool SkipBlanks() {
    const std::size_t start = at_;
    while (!AtEnd() && IsBlank(text_[at_])) ++at_;
    return at_ != start;
  }
  // A run of minDigits to maxDigits digits, no more; count receives how many there were.
  std::optional<int> Number(int minDigits, int maxDigits, int* count = nullptr) {
    int digits = 0, value = 0;
    while (digits < maxDigits && IsDigit(Peek())) {
      value = value * 10 + (text_[at_++] - '0');
      ++digits;
    }
    if (digits < minDigits || IsDigit(Peek())) return std::nullopt;
    if (count) *count = digits;
    return value;
  }
  std::string_view Word() {
    const std::size_t start = at_;
    while (!AtEnd() && IsLetter(text_[at_])) ++at_;
    return text_.substr(start, at_ - start);
  }
  void SkipDigits() {
    while (IsDigit(Peek())) ++at_;
  }
  // Skips a parenthesised comment, "(PST)"; false when one is opened and never closed.
  bool SkipComment() {
    if (!Eat('(')) return true;
    while (!AtEnd() && text_[at_] != ')') ++at_;
    return Eat(')');
  }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

struct Moment {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  int offsetMinutes = 0;  // the zone's offset east of UTC
};

// "+0200", "+02:00", "+02", "+2", "-0530": minutes east of UTC.
std::optional<int> NumericOffset(Cursor& in) {
  const char sign = in.Peek();
  if (sign != '+' && sign != '-') return std::nullopt;
  in.Eat(sign);
  int digits = 0;
  std::optional<int> first = in.Number(1, 4, &digits);
  if (!first) return std::nullopt;
  int hours = *first, minutes = 0;
  if (digits == 4 || digits == 3) {
    hours = *first / 100;
    minutes = *first % 100;
  } else if (in.Eat(':')) {
    std::optional<int> second = in.Number(2, 2);
    if (!second) return std::nullopt;
    minutes = *second;
  }
  if (hours > 23 || minutes > 59) return std::nullopt;
  const int offset = hours * 60 + minutes;
  return sign == '-' ? -offset : offset;
}

struct NamedZone {
  std::string_view name;
  int offsetMinutes;
};

// The zones RFC 822 names, and the abbreviations feeds use most beside them. Ambiguous ones
// (IST: India, Ireland or Israel) are left out: a date hours off is worse than none.
constexpr std::array<NamedZone, 33> kNamedZones = {{
    {"GMT", 0},      {"UT", 0},       {"UTC", 0},      {"Z", 0},        {"WET", 0},
    {"WEST", 60},    {"BST", 60},     {"CET", 60},     {"MET", 60},     {"CEST", 120},
    {"MEST", 120},   {"EET", 120},    {"EEST", 180},   {"MSK", 180},    {"EST", -300},
    {"EDT", -240},   {"CST", -360},   {"CDT", -300},   {"MST", -420},   {"MDT", -360},
    {"PST", -480},   {"PDT", -420},   {"AKST", -540},  {"AKDT", -480},  {"HST", -600},
    {"JST", 540},    {"KST", 540},    {"HKT", 480},    {"SGT", 480},    {"AWST", 480},
    {"AEST", 600},   {"AEDT", 660},   {"NZST", 720},
}};

// What follows the time of an RFC 822 date: nothing (UTC), a numeric zone, a name, or a name
// with an offset after it ("GMT+2", "UTC-05:00"); then perhaps a comment.
bool RfcZone(Cursor& in, Moment& moment) {
  in.SkipBlanks();
  if (in.AtEnd()) return true;
  if (std::optional<int> offset = NumericOffset(in)) {
    moment.offsetMinutes = *offset;
  } else {
    const std::string_view name = in.Word();
    if (name.empty()) return false;
    const NamedZone* found = nullptr;
    for (const NamedZone& zone : kNamedZones) {
      if (SameLetters(zone.name, name)) found = &zone;
    }
    if (!found) return false;
    moment.offsetMinutes = found->offsetMinutes;
    if (found->offsetMinutes == 0 && (in.Peek() == '+' || in.Peek() == '-')) {
      std::optional<int> after = NumericOffset(in);
      if (!after) return false;
      moment.offsetMinutes = *after;
    }
  }
  in.SkipBlanks();
  return in.SkipComment();
}

constexpr std::array<std::string_view, 12> kMonths = {"january", "february", "march",     "april",
                                                      "may",     "june",     "july",      "august",
                                                      "september", "october", "november", "december"};

// A month as "Dec", "dec", "December" or "Sept"; 0 for anything else.
int MonthNumber(std::string_view word) {
  for (std::size_t index = 0; index < kMonths.size(); ++index) {
    const std::string_view full = kMonths[index];
    if (SameLetters(word, full) || SameLetters(word, full.substr(0, 3)) ||
        (index == 8 && SameLetters(word, "sept"))) {
      return static_cast<int>(index) + 1;
    }
  }
  return 0;
}

bool IsWeekday(std::string_view word) {
  static constexpr std::array<std::string_view, 7> kDays = {"monday", "tuesday", "wednesday", "thursday",
                                                            "friday", "saturday", "sunday"};
  for (const std::string_view day : kDays) {
    if (SameLetters(word, day) || SameLetters(word, day.substr(0, 3))) return true;
  }
  return false;
}

// hh:mm or hh:mm:ss, the hour in one or two digits.
bool ClockTime(Cursor& in, Moment& moment) {
  std::optional<int> hour = in.Number(1, 2);
  if (!hour || !in.Eat(':')) return false;
  std::optional<int> minute = in.Number(2, 2);
  if (!minute) return false;
  moment.hour = *hour;
  moment.minute = *minute;
  if (in.Eat(':')) {
    std::optional<int> second = in.Number(2, 2);
    if (!second) return false;
    moment.second = *second;
  }
  return true;
}

// [Weekday[,]] d[d] Mon[.] yy[yy] [hh:mm[:ss]] [zone] [(comment)], day, month and year also
// joined by '-' as in RFC 850 ("Monday, 07-Dec-26").
bool ReadRfc822(Cursor& in, Moment& moment) {
  if (IsLetter(in.Peek())) {
    if (!IsWeekday(in.Word())) return false;
    in.Eat(',');
    in.SkipBlanks();
  }
  std::optional<int> day = in.Number(1, 2);
  if (!day) return false;
  const bool dashed = in.Eat('-');
  if (!dashed && !in.SkipBlanks()) return false;
  const int month = MonthNumber(in.Word());
  if (month == 0) return false;
  in.Eat('.');
  if (dashed ? !in.Eat('-') : !in.SkipBlanks()) return false;
  int digits = 0;
  std::optional<int> year = in.Number(2, 4, &digits);
  if (!year) return false;
  // Two-digit years as RFC 2822 reads them; three digits count from 1900.
  if (digits == 2) *year += *year < 50 ? 2000 : 1900;
  if (digits == 3) *year += 1900;
  moment.year = *year;
  moment.month = month;
  moment.day = *day;
  in.SkipBlanks();
  if (IsDigit(in.Peek()) && !ClockTime(in, moment)) return false;
  return RfcZone(in, moment);
}

// yyyy-mm-dd, then perhaps "T" or a space and hh:mm[:ss[.fraction]], then Z, a numeric zone or
// none.
bool ReadIso8601(Cursor& in, Moment& moment) {
  std::optional<int> year = in.Number(4, 4);
  if (!year || !in.Eat('-')) return false;
  std::optional<int> month = in.Number(1, 2);
  if (!month || !in.Eat('-')) return false;
  std::optional<int> day = in.Number(1, 2);
  if (!day) return false;
  moment.year = *year;
  moment.month = *month;
  moment.day = *day;
  if (in.AtEnd()) return true;
  if (!in.Eat('T') && !in.Eat('t') && !in.Eat(' ')) return false;
  if (!ClockTime(in, moment)) return false;
  if (in.Eat('.') || in.Eat(',')) {
    if (!IsDigit(in.Peek())) return false;
    in.SkipDigits();
  }
  if (in.Eat('Z') || in.Eat('z')) return true;
  if (in.AtEnd() || IsBlank(in.Peek())) return true;
  std::optional<int> offset = NumericOffset(in);
  if (!offset) return false;
  moment.offsetMinutes = *offset;
  return true;
}

std::string InUtc(const Moment& moment) {
  const year_month_day date{year{moment.year}, month{static_cast<unsigned>(moment.month)},
                            day{static_cast<unsigned>(moment.day)}};
  // A leap second is shown as the last second before it.
  const int second = moment.second == 60 ? 59 : moment.second;
  if (!date.ok() || moment.hour > 23 || moment.minute > 59 || moment.second > 60) return {};
  const sys_seconds local = sys_days{date} + hours{moment.hour} + minutes{moment.minute} + seconds{second};
  const sys_seconds utc = local - minutes{moment.offsetMinutes};
  const sys_days utcDay = floor<days>(utc);
  const year_month_day utcDate{utcDay};
  const hh_mm_ss<seconds> clock{utc - utcDay};
  const int utcYear = static_cast<int>(utcDate.year());
  if (utcYear < 1 || utcYear > 9999) return {};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", utcYear,
                static_cast<unsigned>(utcDate.month()), static_cast<unsigned>(utcDate.day()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()));
  return text;
}

}  // namespace

std::string ToRfc3339(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  // ISO dates start with four digits and a dash; everything else is tried as RFC 822.
  const bool iso = text.size() > 4 && IsDigit(text[0]) && IsDigit(text[1]) && IsDigit(text[2]) &&
                   IsDigit(text[3]) && text[4] == '-';
  Cursor in(text);
  Moment moment;
  if (!(iso ? ReadIso8601(in, moment) : ReadRfc822(in, moment))) return {};
  in.SkipBlanks();
  if (!in.AtEnd()) return {};
  return InUtc(moment);
}

}  // namespace FeedDates

#pragma once
// Time stamps as a day count with the time of day as the fraction (day 0 = 1899-12-30),
// the form the result writer compares minute stamps in, and the one calendar rule every
// reader of a date applies: no 31 April, no 29 February outside a leap year.

#include <optional>
#include <string>
#include <string_view>

namespace waveharm {

struct CivilDateTime {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

struct DateTime {
    double serial = 0.0;  ///< days since 1899-12-30; 0 is the "zero time" of unknown files

    bool isZero() const { return serial == 0.0; }
    /// Calendar fields, rounded to the nearest second.
    CivilDateTime civil() const;
    /// The time of calendar fields, which must name a real day and time of day
    /// (isValidCivil); impossible fields roll over into the next month or day.
    static DateTime fromCivil(const CivilDateTime& c);
    /// The same, or nothing when the fields name no real day and time of day.
    static std::optional<DateTime> fromValidCivil(const CivilDateTime& c);
    /// Adds a number of hours (the time-difference correction).
    DateTime plusHours(double hours) const;
    friend bool operator<(DateTime a, DateTime b) { return a.serial < b.serial; }
    friend bool operator==(DateTime a, DateTime b) { return a.serial == b.serial; }
};

/// True when the fields name a real day (month 1–12, day within the month, leap years
/// as the Gregorian calendar has them) and time of day (00:00:00 to 23:59:59).
bool isValidCivil(const CivilDateTime& c);

/// The full year of a two-digit year as recorders and result files write it: 00–29 are
/// 2000–2029, 30–99 are 1930–1999.
int fullYear(int twoDigitYear);

/// Parses a recorder date text: yy-mm-dd or yyyy-mm-dd with "-", "/" or "." as the
/// separator (leading/trailing blanks ignored). Two-digit years 00–29 are 2000–2029,
/// 30–99 are 1930–1999. Returns nothing when the text is not a valid date.
std::optional<CivilDateTime> parseDateText(std::string_view text);

/// Parses "hh:mm:ss" (or "hh:mm"); nothing when the text is not a valid time.
std::optional<CivilDateTime> parseTimeText(std::string_view text);

/// "yy/mm/dd(aaa)" with the Japanese weekday in brackets, e.g. "18/12/12(水)".
std::string formatDateText(DateTime t);
/// "hh:mm:ss".
std::string formatTimeText(DateTime t);
/// "yyyy/mm/dd hh:mm:ss", the general date-time text of folder listings.
std::string formatDateTimeText(DateTime t);

}  // namespace waveharm

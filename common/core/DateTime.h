#pragma once
// The one date-time value of the whole code base.
//
// Meters of both families send calendar fields without a time zone, and the
// programs show them as they came, so this is a plain local ("naive") moment
// with millisecond resolution. An explicit empty value stands for "no date":
// every packed date codec maps the packed value 0 to it and back.

#include <cstdint>
#include <optional>
#include <string>

namespace common {

struct CivilDate {
    int year = 0, month = 0, day = 0;
};

class DateTime {
public:
    DateTime() = default;  // empty: no date

    // Calendar-checked construction; nullopt when a field is out of range
    // (month 13, 30 February, hour 24 and the like). Years 1..9999.
    static std::optional<DateTime> make(int year, int month, int day, int hour = 0, int minute = 0,
                                        int second = 0, int msec = 0);
    // Same, but an invalid field yields the empty value.
    static DateTime makeOrEmpty(int year, int month, int day, int hour = 0, int minute = 0,
                                int second = 0, int msec = 0);
    // The computer's current local date and time.
    static DateTime now();

    static bool isValidDate(int year, int month, int day);
    static bool isValidTime(int hour, int minute, int second, int msec = 0);
    static bool isLeapYear(int year);
    static int daysInMonth(int year, int month);

    bool isEmpty() const { return empty_; }
    explicit operator bool() const { return !empty_; }

    int year() const;
    int month() const;
    int day() const;
    int hour() const;
    int minute() const;
    int second() const;
    int msec() const;
    // 1 = Monday .. 7 = Sunday.
    int dayOfWeek() const;
    CivilDate date() const;
    DateTime dateOnly() const;

    DateTime addMSecs(std::int64_t ms) const;
    DateTime addSecs(std::int64_t s) const { return addMSecs(s * 1000); }
    DateTime addDays(std::int64_t d) const { return addMSecs(d * 86400000LL); }
    // Milliseconds from this moment to other (other - this). Both must be non-empty.
    std::int64_t msecsTo(const DateTime& other) const { return other.ms_ - ms_; }

    // Milliseconds since 1970-01-01 00:00 of the same (local) calendar; for
    // arithmetic and storage only.
    std::int64_t toMSecsSinceEpoch() const { return ms_; }
    static DateTime fromMSecsSinceEpoch(std::int64_t ms);

    // "YYYY-MM-DDTHH:MM:SS" (and ".zzz" when msec != 0); empty string for no date.
    std::string toIsoString() const;
    // Parses "YYYY-MM-DD", "YYYY-MM-DDTHH:MM" or "YYYY-MM-DDTHH:MM:SS" (a blank may stand for 'T').
    static std::optional<DateTime> fromIsoString(const std::string& text);

    friend bool operator==(const DateTime& a, const DateTime& b) {
        return a.empty_ == b.empty_ && (a.empty_ || a.ms_ == b.ms_);
    }
    friend bool operator<(const DateTime& a, const DateTime& b) {
        if (a.empty_ || b.empty_) return a.empty_ && !b.empty_;
        return a.ms_ < b.ms_;
    }
    friend bool operator<=(const DateTime& a, const DateTime& b) { return !(b < a); }
    friend bool operator>(const DateTime& a, const DateTime& b) { return b < a; }
    friend bool operator>=(const DateTime& a, const DateTime& b) { return !(a < b); }

private:
    std::int64_t ms_ = 0;
    bool empty_ = true;
};

}  // namespace common

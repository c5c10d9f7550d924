#include "DateTime.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace common {
namespace {

constexpr std::int64_t kMsPerDay = 86400000LL;

// Days from 1970-01-01 in the proleptic Gregorian calendar (H. Hinnant's algorithm).
std::int64_t daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + static_cast<unsigned>(d) - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

CivilDate civilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return CivilDate{static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

std::int64_t msOfDay(std::int64_t ms) { return ms - floorDiv(ms, kMsPerDay) * kMsPerDay; }

}  // namespace

bool DateTime::isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DateTime::daysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

bool DateTime::isValidDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= daysInMonth(year, month);
}

bool DateTime::isValidTime(int hour, int minute, int second, int msec) {
    return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60 &&
           msec >= 0 && msec < 1000;
}

std::optional<DateTime> DateTime::make(int year, int month, int day, int hour, int minute,
                                       int second, int msec) {
    if (!isValidDate(year, month, day) || !isValidTime(hour, minute, second, msec))
        return std::nullopt;
    DateTime t;
    t.empty_ = false;
    t.ms_ = daysFromCivil(year, month, day) * kMsPerDay +
            ((hour * 60LL + minute) * 60LL + second) * 1000LL + msec;
    return t;
}

DateTime DateTime::makeOrEmpty(int year, int month, int day, int hour, int minute, int second,
                               int msec) {
    auto t = make(year, month, day, hour, minute, second, msec);
    return t ? *t : DateTime{};
}

DateTime DateTime::now() {
    using namespace std::chrono;
    const auto tp = system_clock::now();
    const std::time_t tt = system_clock::to_time_t(tp);
    std::tm local{};
    localtime_r(&tt, &local);
    const int ms = static_cast<int>(duration_cast<milliseconds>(tp.time_since_epoch()).count() % 1000);
    return makeOrEmpty(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                       local.tm_min, local.tm_sec > 59 ? 59 : local.tm_sec, ms < 0 ? 0 : ms);
}

DateTime DateTime::fromMSecsSinceEpoch(std::int64_t ms) {
    DateTime t;
    t.empty_ = false;
    t.ms_ = ms;
    return t;
}

CivilDate DateTime::date() const {
    if (empty_) return {};
    return civilFromDays(floorDiv(ms_, kMsPerDay));
}

int DateTime::year() const { return date().year; }
int DateTime::month() const { return date().month; }
int DateTime::day() const { return date().day; }
int DateTime::hour() const { return empty_ ? 0 : static_cast<int>(msOfDay(ms_) / 3600000); }
int DateTime::minute() const { return empty_ ? 0 : static_cast<int>(msOfDay(ms_) / 60000 % 60); }
int DateTime::second() const { return empty_ ? 0 : static_cast<int>(msOfDay(ms_) / 1000 % 60); }
int DateTime::msec() const { return empty_ ? 0 : static_cast<int>(msOfDay(ms_) % 1000); }

int DateTime::dayOfWeek() const {
    if (empty_) return 0;
    // 1970-01-01 was a Thursday (4).
    const std::int64_t days = floorDiv(ms_, kMsPerDay);
    const std::int64_t w = ((days % 7) + 7 + 3) % 7;  // 0 = Monday
    return static_cast<int>(w) + 1;
}

DateTime DateTime::dateOnly() const {
    if (empty_) return {};
    return fromMSecsSinceEpoch(floorDiv(ms_, kMsPerDay) * kMsPerDay);
}

DateTime DateTime::addMSecs(std::int64_t ms) const {
    if (empty_) return {};
    return fromMSecsSinceEpoch(ms_ + ms);
}

std::string DateTime::toIsoString() const {
    if (empty_) return {};
    const CivilDate d = date();
    char buf[40];
    if (msec() != 0)
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", d.year, d.month, d.day,
                      hour(), minute(), second(), msec());
    else
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", d.year, d.month, d.day,
                      hour(), minute(), second());
    return buf;
}

std::optional<DateTime> DateTime::fromIsoString(const std::string& text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char sep = 0;
    int consumed = 0;
    const char* c = text.c_str();
    if (std::sscanf(c, "%4d-%2d-%2d%n", &y, &mo, &d, &consumed) != 3) return std::nullopt;
    if (consumed != 10) return std::nullopt;
    if (text.size() == 10) return make(y, mo, d);
    sep = text[10];
    if (sep != 'T' && sep != ' ') return std::nullopt;
    int rest = 0;
    if (std::sscanf(c + 11, "%2d:%2d:%2d%n", &h, &mi, &s, &rest) == 3) {
        if (11 + static_cast<std::size_t>(rest) != text.size() || rest != 8) return std::nullopt;
        return make(y, mo, d, h, mi, s);
    }
    rest = 0;
    if (std::sscanf(c + 11, "%2d:%2d%n", &h, &mi, &rest) == 2 && rest == 5 &&
        11 + static_cast<std::size_t>(rest) == text.size())
        return make(y, mo, d, h, mi, 0);
    return std::nullopt;
}

}  // namespace common

#include "FormatSettings.h"

#include <cstdio>

namespace common {

namespace {

FormatSettings& Current() {
    static FormatSettings f;
    return f;
}

void Number(std::string& out, int value, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, value);
    out += buf;
}

}  // namespace

const FormatSettings& Formats() { return Current(); }
void SetFormats(const FormatSettings& f) { Current() = f; }

std::string FormatSettings::Format(const DateTime& t, const std::string& pattern) const {
    if (t.isEmpty()) return {};
    std::string out;
    const bool twelveHour = pattern.find_first_of("Aa") != std::string::npos && pattern.find('h') != std::string::npos;
    for (std::size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        if (c == '\'') {  // literal text; '' is a quote
            std::size_t j = i + 1;
            if (j < pattern.size() && pattern[j] == '\'') {
                out += '\'';
                i += 2;
                continue;
            }
            for (; j < pattern.size(); ++j) {
                if (pattern[j] != '\'') {
                    out += pattern[j];
                } else if (j + 1 < pattern.size() && pattern[j + 1] == '\'') {
                    out += '\'';
                    ++j;
                } else {
                    break;
                }
            }
            i = j + 1;
            continue;
        }
        std::size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c) ++run;
        switch (c) {
            case 'd':
                if (run > 2) {
                    out.append(pattern, i, run);  // day names are not used by the programs
                } else {
                    Number(out, t.day(), static_cast<int>(run));
                }
                break;
            case 'M':
                if (run >= 3) out += LongMonthNames[static_cast<std::size_t>(t.month() - 1)];
                else Number(out, t.month(), static_cast<int>(run));
                break;
            case 'y':
                if (run >= 4) Number(out, t.year(), 4);
                else if (run == 2) Number(out, t.year() % 100, 2);
                else out.append(pattern, i, run);
                break;
            case 'H': Number(out, t.hour(), run >= 2 ? 2 : 1); break;
            case 'h': {
                int h = t.hour();
                if (twelveHour) h = h % 12 == 0 ? 12 : h % 12;
                Number(out, h, run >= 2 ? 2 : 1);
                break;
            }
            case 'm': Number(out, t.minute(), run >= 2 ? 2 : 1); break;
            case 's': Number(out, t.second(), run >= 2 ? 2 : 1); break;
            case 'z': Number(out, run >= 3 ? t.msec() : t.msec() / 100, run >= 3 ? 3 : 1); break;
            case 'A':
            case 'a':
                if (i + 1 < pattern.size() && (pattern[i + 1] == 'P' || pattern[i + 1] == 'p')) {
                    const bool pm = t.hour() >= 12;
                    out += c == 'A' ? (pm ? "PM" : "AM") : (pm ? "pm" : "am");
                    run = 2;
                } else {
                    out.append(pattern, i, run);
                }
                break;
            default: out.append(pattern, i, run);
        }
        i += run;
    }
    return out;
}

std::string FormatSettings::Date(const DateTime& d) const { return Format(d, ShortDateFormat); }

std::string FormatSettings::Time(const DateTime& t) const { return Format(t, LongTimeFormat); }

std::string FormatSettings::DateAndTime(const DateTime& t) const {
    if (t.isEmpty()) return {};
    if (t.hour() == 0 && t.minute() == 0 && t.second() == 0 && t.msec() == 0) return Date(t);
    return Date(t) + ' ' + Time(t);
}

std::string FormatSettings::Fixed(double value, int decimals) const {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    std::string s = buf;
    if (DecimalSeparator != ".") {
        const auto dot = s.find('.');
        if (dot != std::string::npos) s.replace(dot, 1, DecimalSeparator);
    }
    return s;
}

}  // namespace common

#pragma once
// Text for JSON output of the command-line tools.

#include <cstdio>
#include <string>

namespace common {

// s as a JSON string body (UTF-8 passes through; control characters escaped).
inline std::string JsonEscape(const std::string& s) {
    std::string out;
    out.reserve(s.size() + 2);
    for (unsigned char c : s) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out;
}

// s as a quoted JSON string.
inline std::string JsonString(const std::string& s) { return "\"" + JsonEscape(s) + "\""; }

}  // namespace common

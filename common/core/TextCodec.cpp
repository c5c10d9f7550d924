#include "TextCodec.h"

#include <cstdint>

namespace common {

namespace {

// Code points of bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in order.
constexpr char16_t kHigh[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C,
    0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122, 0x0459, 0x203A,
    0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9,
    0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 sequence at s[i]; returns the code point (U+FFFD when
// malformed) and advances i.
char32_t NextCodePoint(const std::string& s, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    int extra = b0 < 0x80 ? 0 : (b0 >> 5) == 0x6 ? 1 : (b0 >> 4) == 0xE ? 2 : (b0 >> 3) == 0x1E ? 3 : -1;
    if (extra < 0) {
        ++i;
        return 0xFFFD;
    }
    char32_t cp = extra == 0 ? b0 : extra == 1 ? (b0 & 0x1F) : extra == 2 ? (b0 & 0x0F) : (b0 & 0x07);
    std::size_t j = i + 1;
    for (int k = 0; k < extra; ++k, ++j) {
        if (j >= s.size() || (static_cast<unsigned char>(s[j]) & 0xC0) != 0x80) {
            i = j;
            return 0xFFFD;
        }
        cp = (cp << 6) | (static_cast<unsigned char>(s[j]) & 0x3F);
    }
    i = j;
    static constexpr char32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0xFFFD;
    return cp;
}

}  // namespace

std::string Cp1251ToUtf8(const std::string& in) {
    std::string out;
    out.reserve(in.size() * 2);
    for (unsigned char b : in) {
        if (b < 0x80) out += static_cast<char>(b);
        else if (b >= 0xC0) AppendUtf8(out, 0x0410 + (b - 0xC0));
        else AppendUtf8(out, kHigh[b - 0x80]);
    }
    return out;
}

std::string Utf8ToCp1251(const std::string& in) {
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size();) {
        const char32_t cp = NextCodePoint(in, i);
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp >= 0x0410 && cp <= 0x044F) {
            out += static_cast<char>(0xC0 + (cp - 0x0410));
        } else {
            char c = '?';
            for (int k = 0; k < 64; ++k)
                if (kHigh[k] == cp && cp != 0xFFFD) c = static_cast<char>(0x80 + k);
            out += c;
        }
    }
    return out;
}

}  // namespace common

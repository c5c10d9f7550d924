#include "Fields.h"

#include <algorithm>
#include <type_traits>

#include "IniFile.h"

namespace common {

namespace {

// Next code point of UTF-8 text (0xFFFD for a broken sequence), lower-cased
// for Latin and Cyrillic letters.
char32_t NextLower(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    char32_t cp = 0xFFFD;
    int extra = b0 < 0x80 ? 0 : (b0 >> 5) == 0x6 ? 1 : (b0 >> 4) == 0xE ? 2 : (b0 >> 3) == 0x1E ? 3 : -1;
    if (extra < 0) {
        ++i;
        return cp;
    }
    cp = extra == 0 ? b0 : extra == 1 ? (b0 & 0x1F) : extra == 2 ? (b0 & 0x0F) : (b0 & 0x07);
    ++i;
    for (int k = 0; k < extra; ++k, ++i) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 0xFFFD;
        cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
    }
    if (cp >= 'A' && cp <= 'Z') return cp + 32;
    if (cp >= 0x0410 && cp <= 0x042F) return cp + 32;  // А..Я
    if (cp == 0x0401) return 0x0451;                    // Ё
    return cp;
}

long long Get(const Field& f) {
    return std::visit(
        [](auto* p) -> long long {
            using T = std::remove_pointer_t<decltype(p)>;
            if constexpr (std::is_same_v<T, std::string>) return 0;
            else return static_cast<long long>(*p);
        },
        f.target);
}

void Put(const Field& f, long long v) {
    std::visit(
        [v](auto* p) {
            using T = std::remove_pointer_t<decltype(p)>;
            if constexpr (std::is_same_v<T, bool>) *p = v != 0;
            else if constexpr (!std::is_same_v<T, std::string>) *p = static_cast<T>(v);
        },
        f.target);
}

}  // namespace

Field Field::Integer(std::string name, int& v, long long lo, long long hi) {
    Field f;
    f.name = std::move(name);
    f.kind = FieldKind::Integer;
    f.target = &v;
    f.lo = lo;
    f.hi = hi;
    return f;
}

Field Field::Integer(std::string name, long long& v, long long lo, long long hi) {
    Field f;
    f.name = std::move(name);
    f.kind = FieldKind::Integer;
    f.target = &v;
    f.lo = lo;
    f.hi = hi;
    return f;
}

Field Field::Tick(std::string name, bool& v) {
    Field f;
    f.name = std::move(name);
    f.kind = FieldKind::Tick;
    f.target = &v;
    f.lo = 0;
    f.hi = 1;
    return f;
}

Field Field::Choice(std::string name, int& index, std::span<const char* const> items) {
    Field f;
    f.name = std::move(name);
    f.kind = FieldKind::Choice;
    f.target = &index;
    f.items = items;
    f.lo = -1;
    f.hi = static_cast<long long>(items.size()) - 1;
    return f;
}

Field Field::Text(std::string name, std::string& v, int maxLength) {
    Field f;
    f.name = std::move(name);
    f.kind = FieldKind::Text;
    f.target = &v;
    f.maxLength = maxLength;
    return f;
}

void AddTicks(Fields& fields, const std::string& listName, bool* rows, int count) {
    for (int i = 0; i < count; ++i) fields.push_back(Field::Tick(listName + std::to_string(i), rows[i]));
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size())
        if (NextLower(a, i) != NextLower(b, j)) return false;
    return i == a.size() && j == b.size();
}

std::string FieldText(const Field& f) {
    switch (f.kind) {
        case FieldKind::Text: return *std::get<std::string*>(f.target);
        case FieldKind::Tick: return Get(f) ? "1" : "0";
        case FieldKind::Choice: {
            const long long i = Get(f);
            return i >= 0 && i < static_cast<long long>(f.items.size()) ? f.items[static_cast<std::size_t>(i)] : "";
        }
        case FieldKind::Integer: return std::to_string(Get(f));
    }
    return {};
}

bool SetFieldText(const Field& f, std::string_view text, std::string& error) {
    const std::string t(text);
    switch (f.kind) {
        case FieldKind::Text:
            if (f.maxLength > 0 && static_cast<int>(t.size()) > f.maxLength) {
                error = "«" + f.name + "»: не длиннее " + std::to_string(f.maxLength) + " байт";
                return false;
            }
            *std::get<std::string*>(f.target) = t;
            return true;
        case FieldKind::Tick: {
            long long v = 0;
            if (!ParseDecimal(t, v, 0, 1)) {
                error = "«" + f.name + "»: 0 или 1, а не «" + t + "»";
                return false;
            }
            Put(f, v);
            return true;
        }
        case FieldKind::Choice: {
            if (t.empty()) {  // no item chosen
                Put(f, -1);
                return true;
            }
            for (std::size_t i = 0; i < f.items.size(); ++i)
                if (SameTextIgnoringCase(f.items[i], t)) {
                    Put(f, static_cast<long long>(i));
                    return true;
                }
            long long v = 0;
            if (ParseDecimal(t, v, 0, f.hi)) {
                Put(f, v);
                return true;
            }
            std::string list;
            for (const char* item : f.items) list += std::string(list.empty() ? "" : ", ") + "«" + item + "»";
            error = "«" + f.name + "»: нет пункта «" + t + "» (есть " + list + ")";
            return false;
        }
        case FieldKind::Integer: {
            long long v = 0;
            if (!ParseDecimal(t, v)) {
                error = "«" + f.name + "»: не целое число: «" + t + "»";
                return false;
            }
            if (v < f.lo || v > f.hi) {
                error = "«" + f.name + "»: " + t + " вне диапазона " + std::to_string(f.lo) + ".." + std::to_string(f.hi);
                return false;
            }
            Put(f, v);
            return true;
        }
    }
    return false;
}

void ClampToLimits(std::span<const Field> fields) {
    for (const Field& f : fields)
        if (f.kind == FieldKind::Integer) Put(f, std::clamp(Get(f), f.lo, f.hi));
}

const Field* FindField(std::span<const Field> fields, std::string_view name) {
    for (const Field& f : fields)
        if (SameTextIgnoringCase(f.name, name)) return &f;
    return nullptr;
}

bool ApplyAssignments(std::span<const Field> fields, std::span<const std::string> assignments, std::string& error) {
    std::vector<std::string> before;
    before.reserve(fields.size());
    for (const Field& f : fields) before.push_back(FieldText(f));
    auto restore = [&] {
        std::string ignored;
        for (std::size_t i = 0; i < fields.size(); ++i) SetFieldText(fields[i], before[i], ignored);
    };
    for (const std::string& a : assignments) {
        const auto eq = a.find('=');
        if (eq == std::string::npos || eq == 0) {
            error = "«" + a + "»: нужно ИМЯ=ЗНАЧЕНИЕ";
            restore();
            return false;
        }
        const Field* f = FindField(fields, std::string_view(a).substr(0, eq));
        if (!f) {
            error = "нет поля «" + a.substr(0, eq) + "»";
            restore();
            return false;
        }
        if (!SetFieldText(*f, std::string_view(a).substr(eq + 1), error)) {
            restore();
            return false;
        }
    }
    return true;
}

}  // namespace common

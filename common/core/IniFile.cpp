#include "IniFile.h"

#include <unistd.h>

#include "TextCodec.h"

namespace common {

namespace {

std::string Trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

IniFile::IniFile(std::string path) : path_(std::move(path)) {}

bool IniFile::Load() {
    lines_.clear();
    ErrorText.clear();
    if (::access(path_.c_str(), F_OK) != 0) return true;
    std::string bytes;
    if (!ReadWholeFile(path_, bytes, ErrorText)) return false;
    Parse(bytes);
    return true;
}

void IniFile::Parse(const std::string& cp1251Bytes) {
    lines_.clear();
    std::size_t pos = 0;
    const std::size_t n = cp1251Bytes.size();
    while (pos < n) {
        // A line ends at CR LF, at a lone CR or at a lone LF.
        std::size_t end = pos;
        while (end < n && cp1251Bytes[end] != '\r' && cp1251Bytes[end] != '\n') ++end;
        Line line;
        line.raw = cp1251Bytes.substr(pos, end - pos);
        pos = end;
        if (pos < n && cp1251Bytes[pos] == '\r') ++pos;
        if (pos < n && cp1251Bytes[pos] == '\n' && (pos == end || cp1251Bytes[pos - 1] == '\r')) ++pos;
        const std::string t = Trim(Cp1251ToUtf8(line.raw));
        if (t.size() >= 2 && t.front() == '[' && t.find(']') != std::string::npos) {
            line.kind = Line::Section;
            line.section = Trim(t.substr(1, t.find(']') - 1));
        } else if (!t.empty() && t[0] != ';' && t[0] != '#' && t.find('=') != std::string::npos) {
            line.kind = Line::Pair;
            const std::size_t eq = t.find('=');
            line.key = Trim(t.substr(0, eq));
            line.value = Trim(t.substr(eq + 1));
        }
        lines_.push_back(std::move(line));
    }
}

std::string IniFile::Render() const {
    std::string out;
    for (const auto& l : lines_) {
        if (!l.written) out += l.raw;
        else if (l.kind == Line::Section) out += Utf8ToCp1251("[" + l.section + "]");
        else if (l.kind == Line::Pair) out += Utf8ToCp1251(l.key + "=" + l.value);
        out += "\r\n";
    }
    return out;
}

bool IniFile::Save() const {
    ErrorText.clear();
    return WriteFileAtomically(path_, Render(), ErrorText);
}

int IniFile::FindSection(const std::string& section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (lines_[i].kind == Line::Section && SameName(lines_[i].section, section)) return static_cast<int>(i);
    return -1;
}

int IniFile::FindKey(int sectionLine, const std::string& key) const {
    for (std::size_t i = static_cast<std::size_t>(sectionLine) + 1; i < lines_.size(); ++i) {
        if (lines_[i].kind == Line::Section) break;
        if (lines_[i].kind == Line::Pair && SameName(lines_[i].key, key)) return static_cast<int>(i);
    }
    return -1;
}

std::optional<std::string> IniFile::Value(const std::string& section, const std::string& key) const {
    const int s = FindSection(section);
    if (s < 0) return std::nullopt;
    const int k = FindKey(s, key);
    if (k < 0) return std::nullopt;
    return lines_[static_cast<std::size_t>(k)].value;
}

bool IniFile::SectionExists(const std::string& section) const { return FindSection(section) >= 0; }

std::string IniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const {
    auto v = Value(section, key);
    return v ? *v : def;
}

bool ParseDecimal(const std::string& text, long long& value, long long lo, long long hi) {
    const std::string t = Trim(text);
    if (t.empty()) return false;
    std::size_t i = 0;
    const bool negative = t[0] == '-';
    if (t[0] == '-' || t[0] == '+') i = 1;
    if (i == t.size()) return false;
    // Accumulate towards the sign's side so that LLONG_MIN itself fits;
    // stop before any step could leave the range.
    long long r = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9') return false;
        const int d = t[i] - '0';
        if (negative) {
            if (r < (LLONG_MIN + d) / 10) return false;
            r = r * 10 - d;
        } else {
            if (r > (LLONG_MAX - d) / 10) return false;
            r = r * 10 + d;
        }
    }
    if (r < lo || r > hi) return false;
    value = r;
    return true;
}

long long IniFile::ReadInteger(const std::string& section, const std::string& key, long long def, long long lo,
                               long long hi) const {
    auto v = Value(section, key);
    long long r = 0;
    return v && ParseDecimal(*v, r, lo, hi) ? r : def;
}

bool IniFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    // Line breaks would split the entry; keep the value on its line.
    std::string v = value;
    for (char& c : v)
        if (c == '\r' || c == '\n') c = ' ';
    int s = FindSection(section);
    if (s < 0) {
        Line header;
        header.kind = Line::Section;
        header.section = section;
        header.written = true;
        lines_.push_back(header);
        s = static_cast<int>(lines_.size()) - 1;
    }
    const int k = FindKey(s, key);
    if (k >= 0) {
        auto& line = lines_[static_cast<std::size_t>(k)];
        // Rewrite the line only when its value changes: an untouched key keeps its bytes.
        if (line.value != v) {
            line.value = v;
            line.written = true;
        }
        return;
    }
    // Append after the last key of the section (blank lines stay below it).
    std::size_t at = static_cast<std::size_t>(s) + 1;
    for (std::size_t i = at; i < lines_.size() && lines_[i].kind != Line::Section; ++i)
        if (lines_[i].kind == Line::Pair) at = i + 1;
    Line pair;
    pair.kind = Line::Pair;
    pair.key = key;
    pair.value = v;
    pair.written = true;
    lines_.insert(lines_.begin() + static_cast<long>(at), pair);
}

void IniFile::WriteInteger(const std::string& section, const std::string& key, long long value) {
    WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void IniFile::EraseSection(const std::string& section) {
    const int s = FindSection(section);
    if (s < 0) return;
    std::size_t e = static_cast<std::size_t>(s) + 1;
    while (e < lines_.size() && lines_[e].kind != Line::Section) ++e;
    lines_.erase(lines_.begin() + s, lines_.begin() + static_cast<long>(e));
}

std::vector<std::string> IniFile::Sections() const {
    std::vector<std::string> out;
    for (const auto& l : lines_)
        if (l.kind == Line::Section) out.push_back(l.section);
    return out;
}

std::vector<std::string> IniFile::Keys(const std::string& section) const {
    std::vector<std::string> out;
    const int s = FindSection(section);
    if (s < 0) return out;
    for (std::size_t i = static_cast<std::size_t>(s) + 1; i < lines_.size() && lines_[i].kind != Line::Section; ++i)
        if (lines_[i].kind == Line::Pair) out.push_back(lines_[i].key);
    return out;
}

}  // namespace common

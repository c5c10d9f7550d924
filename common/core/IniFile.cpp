#include "IniFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

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
    const std::string text = Cp1251ToUtf8(cp1251Bytes);
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string raw = text.substr(pos, end - pos);
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        pos = end + 1;
        Line line;
        line.text = raw;
        const std::string t = Trim(raw);
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
        switch (l.kind) {
            case Line::Section: out += "[" + l.section + "]"; break;
            case Line::Pair: out += l.key + "=" + l.value; break;
            case Line::Other: out += l.text; break;
        }
        out += "\r\n";
    }
    return Utf8ToCp1251(out);
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

long long IniFile::ReadInteger(const std::string& section, const std::string& key, long long def) const {
    auto v = Value(section, key);
    if (!v) return def;
    const std::string t = Trim(*v);
    if (t.empty()) return def;
    std::size_t i = 0;
    bool negative = false;
    if (t[0] == '-' || t[0] == '+') {
        negative = t[0] == '-';
        i = 1;
    }
    if (i == t.size()) return def;
    long long r = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9') return def;
        if (r > 922337203685477580LL) return def;
        r = r * 10 + (t[i] - '0');
    }
    return negative ? -r : r;
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
        lines_.push_back(header);
        s = static_cast<int>(lines_.size()) - 1;
    }
    const int k = FindKey(s, key);
    if (k >= 0) {
        lines_[static_cast<std::size_t>(k)].value = v;
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

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& errorText) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        errorText = path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) {
        errorText = path + ": ошибка чтения";
        return false;
    }
    bytes = ss.str();
    return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& errorText) {
    const std::string tmp = path + ".tmp" + std::to_string(::getpid());
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        errorText = tmp + ": " + std::strerror(errno);
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            errorText = tmp + ": " + std::strerror(errno);
            ::close(fd);
            ::unlink(tmp.c_str());
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        errorText = tmp + ": " + std::strerror(errno);
        ::unlink(tmp.c_str());
        return false;
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        errorText = path + ": " + std::strerror(errno);
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

}  // namespace common

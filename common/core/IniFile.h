#pragma once
// Settings and configuration files in the Windows INI format, as the
// programs have always kept them: sections of key=value lines, Windows-1251
// text, CR LF line ends (CR-only and LF-only files read the same). Section
// and key names compare without regard to case (ASCII). Writing a key
// updates it in place; every line the program did not write (other
// sections, keys, comments) is written back byte for byte, whatever bytes it
// holds. Saving replaces the file in one step (AtomicFile.h).

#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "AtomicFile.h"

namespace common {

class IniFile {
public:
    // An empty model bound to path (nothing is read).
    explicit IniFile(std::string path = {});

    // Reads the file; a missing file is an empty model (true). false with
    // ErrorText when the file exists but cannot be read.
    bool Load();
    // Writes the whole model, whole or not at all. false with ErrorText.
    bool Save() const;

    // Parses / renders Windows-1251 bytes; strings in the API are UTF-8.
    void Parse(const std::string& cp1251Bytes);
    std::string Render() const;

    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    // The default when the key is missing or its value is not a whole
    // decimal number within lo..hi (by default the range of a 32-bit
    // integer, as the settings have always been read): a value too large for
    // its field is not a number, never a wrapped one.
    long long ReadInteger(const std::string& section, const std::string& key, long long def,
                          long long lo = INT32_MIN, long long hi = INT32_MAX) const;
    bool ReadBool(const std::string& section, const std::string& key, bool def) const;
    std::optional<std::string> Value(const std::string& section, const std::string& key) const;
    bool SectionExists(const std::string& section) const;
    bool KeyExists(const std::string& section, const std::string& key) const { return Value(section, key).has_value(); }

    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, long long value);
    void WriteBool(const std::string& section, const std::string& key, bool value);
    void EraseSection(const std::string& section);

    std::vector<std::string> Sections() const;
    std::vector<std::string> Keys(const std::string& section) const;

    const std::string& Path() const { return path_; }
    mutable std::string ErrorText;

private:
    struct Line {
        std::string raw;      // the line's bytes as read, without its line end
        bool written = false; // changed by the program: rendered from section/key/value
        std::string section;  // for a section header (UTF-8)
        std::string key, value;  // for a pair (UTF-8)
        enum Kind { Other, Section, Pair } kind = Other;
    };
    int FindSection(const std::string& section) const;
    int FindKey(int sectionLine, const std::string& key) const;
    std::string path_;
    std::vector<Line> lines_;
};

// Strict decimal integer (optional sign, digits only, blanks around allowed)
// within lo..hi; no overflow whatever the digits. false otherwise.
bool ParseDecimal(const std::string& text, long long& value, long long lo = LLONG_MIN, long long hi = LLONG_MAX);

}  // namespace common

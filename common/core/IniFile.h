#pragma once
// Settings and configuration files in the Windows INI format, as the
// programs have always kept them: sections of key=value lines, Windows-1251
// text, CR LF line ends. Section and key names compare without regard to
// case (ASCII). Writing a key updates it in place and keeps every other
// line, comment and section; saving replaces the file in one step, so a
// crash never leaves half a file.

#include <optional>
#include <string>
#include <vector>

namespace common {

class IniFile {
public:
    // An empty model bound to path (nothing is read).
    explicit IniFile(std::string path = {});

    // Reads the file; a missing file is an empty model (true). false with
    // ErrorText when the file exists but cannot be read.
    bool Load();
    // Writes the whole model (temp file + rename). false with ErrorText.
    bool Save() const;

    // Parses / renders Windows-1251 bytes; strings in the API are UTF-8.
    void Parse(const std::string& cp1251Bytes);
    std::string Render() const;

    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    // The default when the key is missing or its value is not a whole decimal number.
    long long ReadInteger(const std::string& section, const std::string& key, long long def) const;
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
        std::string text;     // the whole line as read (UTF-8), for lines kept verbatim
        std::string section;  // for a section header
        std::string key, value;
        enum Kind { Other, Section, Pair } kind = Other;
    };
    int FindSection(const std::string& section) const;
    int FindKey(int sectionLine, const std::string& key) const;
    std::string path_;
    std::vector<Line> lines_;
};

// Writes bytes to path atomically: a temporary file beside it, flushed to
// disk, then renamed over the old one. false with errorText.
bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& errorText);
// Reads a whole file; false with errorText.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& errorText);

}  // namespace common

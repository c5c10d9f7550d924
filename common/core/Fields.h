#pragma once
// The values of a page or dialog as named fields.
//
// Every control that holds a value has a name (its object name in the
// window, its key in the configuration and profile files, its name on the
// command line). A values struct lists its members as Fields — name, kind,
// limits, items — pointing at the members themselves, so the window binds
// its controls, the files read and write their keys, and the command-line
// tools get and set by name, all from one table.
//
// Kinds and their text form:
//   Integer  a whole number within lo..hi            "15", "-3"
//   Tick     a check box or one row of a check list  "1" / "0"
//   Choice   a combo box: an index into items        the item's text; -1 (none) is ""
//            (setting also takes the item's index as a number, and "" for none)
//   Text     free text of at most maxLength bytes    as is (UTF-8)
// Names of check-list rows are the list's name followed by the row number
// ("LCDCheckListBox3").

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace common {

enum class FieldKind { Integer, Tick, Choice, Text };

struct Field {
    using Target = std::variant<int*, long long*, bool*, std::string*>;

    std::string name;
    FieldKind kind = FieldKind::Integer;
    Target target;
    long long lo = 0, hi = 0;                 // Integer
    std::span<const char* const> items;       // Choice (UTF-8 texts, in the control's order)
    int maxLength = 0;                        // Text: 0 = no limit

    static Field Integer(std::string name, int& v, long long lo, long long hi);
    static Field Integer(std::string name, long long& v, long long lo, long long hi);
    static Field Tick(std::string name, bool& v);
    static Field Choice(std::string name, int& index, std::span<const char* const> items);
    static Field Text(std::string name, std::string& v, int maxLength = 0);
};

using Fields = std::vector<Field>;

// Appends one Tick field per row: name + row number, rows 0..count-1.
void AddTicks(Fields& fields, const std::string& listName, bool* rows, int count);

// The field's value as text (see the kinds above).
std::string FieldText(const Field& f);

// Sets the field from text, within its limits; false with the reason (in
// Russian, naming the field) and the value unchanged when the control could
// not take it. Choice items match ignoring the case of Latin and Cyrillic
// letters; a Choice also takes its item index as a number.
bool SetFieldText(const Field& f, std::string_view text, std::string& error);

// The field named name (ASCII letters compared without case), or nullptr.
const Field* FindField(std::span<const Field> fields, std::string_view name);

// Applies "NAME=VALUE" assignments in order; all or nothing: on the first
// unknown name or refused value nothing is changed and error says why.
bool ApplyAssignments(std::span<const Field> fields, std::span<const std::string> assignments, std::string& error);

// Puts every Integer field within its limits (a value outside them becomes
// the nearer limit), as a control with limits does with what it is given.
void ClampToLimits(std::span<const Field> fields);

// Case-insensitive comparison of UTF-8 texts for Latin and Cyrillic letters.
bool SameTextIgnoringCase(std::string_view a, std::string_view b);

}  // namespace common

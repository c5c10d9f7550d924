#pragma once
// Files written whole or not at all.
//
// Every file the programs and the emulators write (settings, configurations,
// profiles, exports, emulator state) goes through WriteFileAtomically: the
// bytes go to a temporary file beside the target, are flushed to disk, and the
// temporary is renamed over the target in one step, so a crash or a full disk
// leaves either the old file or the new one, never half of one. On failure
// the temporary is removed and the old file is untouched.
//
// A target that is a symbolic link is followed: the file it points to is
// replaced and the link stays. An existing file keeps its permission bits
// (and, where the user may, its owner); a new file gets 0666 less the umask.

#include <string>
#include <string_view>

namespace common {

// false with errorText ("<path>: <reason>") on failure.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& errorText);

// Reads a whole file; false with errorText.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& errorText);

}  // namespace common

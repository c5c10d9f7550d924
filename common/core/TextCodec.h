#pragma once
// UTF-8 <-> Windows-1251, the code page of every text file the programs
// write and read (settings, configurations, profiles, exports).

#include <string>

namespace common {

// Characters without a Windows-1251 form become '?'.
std::string Utf8ToCp1251(const std::string& utf8);
// Byte 0x98 (unassigned) becomes U+FFFD.
std::string Cp1251ToUtf8(const std::string& cp1251);

}  // namespace common

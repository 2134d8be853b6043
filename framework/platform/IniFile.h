#pragma once

#include <string>

// Reads and writes Windows-style INI files ("[Section]" headers, "key=value"
// lines) with the semantics of the Windows private-profile functions:
// section and key names match without regard to case, values are read with
// surrounding white space and one pair of surrounding quotes removed, and a
// write changes only the line it concerns.
namespace IniFile {

// The value of key in section, or defaultValue when the file, the section or
// the key is missing; cut to at most maxChars characters.
std::string GetString(const char* section, const char* key, const char* defaultValue, int maxChars,
                      const std::string& path);

// Replaces the first matching key's value in place, or adds the key at the end
// of the section, adding the section at the end of the file when needed.
// Creates the file when it does not exist. False when the file cannot be written.
bool WriteString(const char* section, const char* key, const char* value, const std::string& path);

// Replaces every key of the section by the entries of body: "key=value" texts
// each ended by '\0', the whole list ended by another '\0' (so "" removes all
// keys). The section header stays when the section exists.
bool WriteSection(const char* section, const char* body, const std::string& path);

}  // namespace IniFile

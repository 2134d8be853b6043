#ifdef _WIN32
#include <windows.h>

#include <vector>

#include "framework/platform/IniFile.h"

namespace IniFile {

std::string GetString(const char* section, const char* key, const char* defaultValue, int maxChars,
                      const std::string& path) {
  if (maxChars < 0) maxChars = 0;
  std::vector<char> buffer(static_cast<size_t>(maxChars) + 1, '\0');
  const DWORD length = GetPrivateProfileStringA(section, key, defaultValue, buffer.data(),
                                                static_cast<DWORD>(buffer.size()), path.c_str());
  return std::string(buffer.data(), length < buffer.size() ? length : buffer.size() - 1);
}

bool WriteString(const char* section, const char* key, const char* value, const std::string& path) {
  return WritePrivateProfileStringA(section, key, value, path.c_str()) != 0;
}

bool WriteSection(const char* section, const char* body, const std::string& path) {
  return WritePrivateProfileSectionA(section, body, path.c_str()) != 0;
}

}  // namespace IniFile
#endif

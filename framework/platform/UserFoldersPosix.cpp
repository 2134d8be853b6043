#ifndef _WIN32
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "framework/platform/UserFolders.h"

namespace {

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string HomeFolder() {
  std::string home = EnvironmentValue("HOME");
  if (!home.empty()) return home;
  const passwd* entry = getpwuid(getuid());
  return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
}

std::string ConfigHome() {
  const std::string configured = EnvironmentValue("XDG_CONFIG_HOME");
  // The XDG rules ignore a relative setting.
  if (!configured.empty() && configured[0] == '/') return configured;
  const std::string home = HomeFolder();
  return home.empty() ? "" : home + "/.config";
}

// The value of an XDG_DOCUMENTS_DIR="..." line, with escapes undone and
// $HOME expanded; empty when the line is not that setting or not usable.
std::string DocumentsSetting(const std::string& line, const std::string& home) {
  static const std::string kName = "XDG_DOCUMENTS_DIR";
  size_t pos = line.find_first_not_of(" \t");
  if (pos == std::string::npos || line.compare(pos, kName.size(), kName) != 0) return {};
  pos = line.find_first_not_of(" \t", pos + kName.size());
  if (pos == std::string::npos || line[pos] != '=') return {};
  pos = line.find_first_not_of(" \t", pos + 1);
  if (pos == std::string::npos || line[pos] != '"') return {};
  std::string value;
  for (++pos; pos < line.size() && line[pos] != '"'; ++pos) {
    if (line[pos] == '\\' && pos + 1 < line.size()) ++pos;
    value += line[pos];
  }
  static const std::string kHome = "$HOME";
  if (value.compare(0, kHome.size(), kHome) == 0 &&
      (value.size() == kHome.size() || value[kHome.size()] == '/')) {
    if (home.empty()) return {};
    value = home + value.substr(kHome.size());
  }
  if (value.empty() || value[0] != '/') return {};
  while (value.size() > 1 && value.back() == '/') value.pop_back();
  return value;
}

}  // namespace

namespace UserFolders {

std::string detail::PlatformLocalAppDataFolder() { return ConfigHome(); }

std::string DocumentsFolder() {
  const std::string home = HomeFolder();
  const std::string configHome = ConfigHome();
  std::string documents;
  if (!configHome.empty()) {
    std::ifstream file(configHome + "/user-dirs.dirs", std::ios::binary);
    std::string line;
    while (std::getline(file, line)) {
      const std::string setting = DocumentsSetting(line, home);
      if (!setting.empty()) documents = setting;  // the last setting counts, as in a shell
    }
  }
  return documents.empty() ? home : documents;
}

bool CreateFolder(const std::string& path) {
  if (path.empty()) return false;
  std::error_code error;
  std::filesystem::create_directories(path, error);
  return std::filesystem::is_directory(path, error);
}

bool FileExists(const std::string& path) {
  struct stat info;
  return !path.empty() && stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

}  // namespace UserFolders
#endif

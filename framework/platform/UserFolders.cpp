#include "framework/platform/UserFolders.h"

#include <cstdio>

namespace UserFolders {

namespace {

std::string& AppDataOverride() {
  static std::string path;
  return path;
}

}  // namespace

std::string LocalAppDataFolder() {
  if (!AppDataOverride().empty()) return AppDataOverride();
  return detail::PlatformLocalAppDataFolder();
}

bool CreateEmptyFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  return std::fclose(file) == 0;
}

void SetAppDataFolderForTests(const std::string& path) { AppDataOverride() = path; }
std::string AppDataFolderForTests() { return AppDataOverride(); }

}  // namespace UserFolders

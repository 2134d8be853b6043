#ifdef _WIN32
#include <windows.h>
// windows.h first: the shell header needs its types.
#include <shlobj.h>

#include <cstdio>

#include "framework/platform/UserFolders.h"

namespace {

std::string ShellFolder(int csidl) {
  char path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return path;
}

}  // namespace

namespace UserFolders {

std::string detail::PlatformLocalAppDataFolder() { return ShellFolder(CSIDL_LOCAL_APPDATA); }

std::string DocumentsFolder() { return ShellFolder(CSIDL_PERSONAL); }

bool CreateFolder(const std::string& path) {
  if (CreateDirectoryA(path.c_str(), nullptr)) return true;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace UserFolders
#endif

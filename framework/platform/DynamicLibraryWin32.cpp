#ifdef _WIN32
#include <windows.h>

#include "framework/platform/DynamicLibrary.h"

LibraryHandle OpenLibrary(const char* path) {
  if (path == nullptr || *path == '\0') return nullptr;
  return reinterpret_cast<LibraryHandle>(LoadLibraryA(path));
}

LibraryProcedure FindProcedure(LibraryHandle library, const char* name) {
  if (library == nullptr || name == nullptr) return nullptr;
  return reinterpret_cast<LibraryProcedure>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(LibraryHandle library) {
  if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
}

std::string SystemLibraryFolder() {
  char folder[MAX_PATH];
  const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  // Zero is failure; a length of MAX_PATH or more means the folder did not fit.
  if (length == 0 || length >= MAX_PATH) return std::string();
  return std::string(folder, length);
}

std::string SystemLibraryPath(const char* windowsFile, const char* /*posixPath*/) {
  const std::string folder = SystemLibraryFolder();
  if (folder.empty() || windowsFile == nullptr) return std::string();
  return folder + "\\" + windowsFile;
}
#endif

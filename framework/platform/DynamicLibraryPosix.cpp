#ifndef _WIN32
#include <dlfcn.h>

#include "framework/platform/DynamicLibrary.h"

LibraryHandle OpenLibrary(const char* path) {
  if (path == nullptr || *path == '\0') return nullptr;
  return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

LibraryProcedure FindProcedure(LibraryHandle library, const char* name) {
  if (library == nullptr || name == nullptr) return nullptr;
  return reinterpret_cast<LibraryProcedure>(dlsym(library, name));
}

void CloseLibrary(LibraryHandle library) {
  if (library != nullptr) dlclose(library);
}

std::string SystemLibraryFolder() { return std::string(); }

std::string SystemLibraryPath(const char* /*windowsFile*/, const char* posixPath) {
  return posixPath != nullptr ? std::string(posixPath) : std::string();
}
#endif

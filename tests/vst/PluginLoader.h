#pragma once

// Loads the built plug-in library the way a host does; it stays loaded for
// the whole test program.

#include <string>

#include "framework/VST2.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

using Entry = AEffect*(VSTCALLBACK*)(audioMasterCallback);

inline Entry FindEntry(const char* name) {
#if defined(_WIN32)
  static HMODULE library = [] {
    HMODULE module = LoadLibraryA(REDI_PLUGIN_PATH);
    // Under Wine a Unix path is reached through the drive that maps "/".
    if (module == nullptr && REDI_PLUGIN_PATH[0] == '/') {
      module = LoadLibraryA((std::string("Z:") + REDI_PLUGIN_PATH).c_str());
    }
    return module;
  }();
  if (library == nullptr) return nullptr;
  return reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(library, name)));
#else
  static void* library = dlopen(REDI_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return nullptr;
  return reinterpret_cast<Entry>(dlsym(library, name));
#endif
}

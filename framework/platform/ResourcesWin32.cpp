#ifdef _WIN32
#include <windows.h>

#include "framework/platform/Resources.h"

namespace {

// The module this code is linked into: the plug-in DLL, or a test program.
HMODULE OwnModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&OwnModule), &module);
  return module;
}

bool FindResourceBytes(LPCSTR type, LPCSTR name, const unsigned char** data, std::size_t* size) {
  HMODULE module = OwnModule();
  HRSRC info = FindResourceA(module, name, type);
  if (info == nullptr) return false;
  HGLOBAL handle = LoadResource(module, info);
  const void* bytes = handle != nullptr ? LockResource(handle) : nullptr;
  if (bytes == nullptr) return false;
  *data = static_cast<const unsigned char*>(bytes);
  *size = SizeofResource(module, info);
  return true;
}

}  // namespace

bool FindLibraryResource(const char* type, const char* name, const unsigned char** data,
                         std::size_t* size) {
  if (type == nullptr || name == nullptr) return false;
  return FindResourceBytes(type, name, data, size);
}

bool FindLibraryResourceById(const char* type, int id, const unsigned char** data,
                             std::size_t* size) {
  // Numeric ids are 16-bit; anything else would be taken for a pointer.
  if (type == nullptr || id < 1 || id > 0xFFFF) return false;
  return FindResourceBytes(type, MAKEINTRESOURCEA(id), data, size);
}
#endif

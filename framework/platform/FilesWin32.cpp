#ifdef _WIN32
#include <windows.h>

#include <algorithm>

#include "framework/platform/Files.h"

namespace Files {

std::string WithNativeSeparators(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::FILE* OpenRegularFile(const char* path) {
  if (path == nullptr) return nullptr;
  // Device names (CON, a pipe, \\.\ paths) and folders are not disk files.
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
    return nullptr;
  }
  const HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  const bool disk = GetFileType(handle) == FILE_TYPE_DISK;
  CloseHandle(handle);
  return disk ? std::fopen(path, "rb") : nullptr;
}

bool Seek(std::FILE* file, int64_t offset, int origin) {
  return _fseeki64(file, offset, origin) == 0;
}

int64_t Tell(std::FILE* file) { return _ftelli64(file); }

}  // namespace Files
#endif

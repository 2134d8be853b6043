#ifdef _WIN32
#include <algorithm>

#include "framework/platform/Files.h"

namespace Files {

std::string WithNativeSeparators(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

bool Seek(std::FILE* file, int64_t offset, int origin) {
  return _fseeki64(file, offset, origin) == 0;
}

int64_t Tell(std::FILE* file) { return _ftelli64(file); }

}  // namespace Files
#endif

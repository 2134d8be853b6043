#ifndef _WIN32
#include <sys/types.h>

#include "framework/platform/Files.h"

namespace Files {

std::string WithNativeSeparators(std::string path) { return path; }

bool Seek(std::FILE* file, int64_t offset, int origin) {
  return fseeko(file, static_cast<off_t>(offset), origin) == 0;
}

int64_t Tell(std::FILE* file) { return static_cast<int64_t>(ftello(file)); }

}  // namespace Files
#endif

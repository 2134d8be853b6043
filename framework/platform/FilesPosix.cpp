#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include "framework/platform/Files.h"

namespace Files {

std::string WithNativeSeparators(std::string path) { return path; }

std::FILE* OpenRegularFile(const char* path) {
  if (path == nullptr) return nullptr;
  // Without O_NONBLOCK, opening a FIFO waits for a writer, possibly for good.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return nullptr;
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    close(fd);
    return nullptr;
  }
  std::FILE* file = fdopen(fd, "rb");
  if (file == nullptr) close(fd);
  return file;
}

bool Seek(std::FILE* file, int64_t offset, int origin) {
  return fseeko(file, static_cast<off_t>(offset), origin) == 0;
}

int64_t Tell(std::FILE* file) { return static_cast<int64_t>(ftello(file)); }

}  // namespace Files
#endif

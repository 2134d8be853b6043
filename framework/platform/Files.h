#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// File names and large-file access as the platform has them.
namespace Files {

// Separator between path components; the longest path the platform's file
// functions take, in characters without the terminator.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
constexpr bool kNamesIgnoreCase = true;
constexpr int kMaxPathChars = 259;  // MAX_PATH less the terminator
#else
constexpr char kPathSeparator = '/';
constexpr bool kNamesIgnoreCase = false;
constexpr int kMaxPathChars = 4095;  // PATH_MAX less the terminator
#endif

// The path with the platform's own separators (slashes become backslashes on
// Windows; unchanged elsewhere).
std::string WithNativeSeparators(std::string path);

// Opens path for binary reading only when it names a regular file; a FIFO,
// a device or a folder is refused (nullptr) without waiting for a writer or
// reading a byte, so that a name from a project cannot block its caller.
std::FILE* OpenRegularFile(const char* path);

// 64-bit seek and tell, so that offsets past 2 GiB work on every platform.
bool Seek(std::FILE* file, int64_t offset, int origin);
int64_t Tell(std::FILE* file);

}  // namespace Files

#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// File names and large-file access as the platform has them.
namespace Files {

// Separator between path components.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
constexpr bool kNamesIgnoreCase = true;
#else
constexpr char kPathSeparator = '/';
constexpr bool kNamesIgnoreCase = false;
#endif

// The path with the platform's own separators (slashes become backslashes on
// Windows; unchanged elsewhere).
std::string WithNativeSeparators(std::string path);

// 64-bit seek and tell, so that offsets past 2 GiB work on every platform.
bool Seek(std::FILE* file, int64_t offset, int origin);
int64_t Tell(std::FILE* file);

}  // namespace Files

#pragma once

#include <string>

// Run-time loading of shared libraries: LoadLibraryA and friends on Windows,
// dlopen elsewhere.
using LibraryHandle = void*;

// Generic entry-point type; callers cast it to the real signature.
using LibraryProcedure = void (*)();

// Null when the library cannot be loaded.
LibraryHandle OpenLibrary(const char* path);

// Null when the handle is null or the library has no such export.
LibraryProcedure FindProcedure(LibraryHandle library, const char* name);

// Ignores a null handle.
void CloseLibrary(LibraryHandle library);

// The Windows system folder without a trailing separator; empty when unknown
// and on platforms that have none.
std::string SystemLibraryFolder();

// Where a system-wide helper library is installed: the Windows system folder
// and windowsFile there, posixPath elsewhere. Empty when the folder is
// unknown, never a bare file name (that would load whatever the search path
// offers under that name).
std::string SystemLibraryPath(const char* windowsFile, const char* posixPath);

// The C calling convention of exported library functions.
#ifdef _WIN32
#define LIBRARY_CDECL __cdecl
#else
#define LIBRARY_CDECL
#endif

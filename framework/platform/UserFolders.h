#pragma once

#include <string>

#include "framework/platform/Files.h"

// The per-user folders and the few file-system operations the configuration
// file needs. Paths are narrow strings in the platform's own encoding (the
// ANSI code page on Windows, bytes elsewhere).
namespace UserFolders {

// Separator between path components on this platform.
constexpr char kPathSeparator = Files::kPathSeparator;

// The user's local (non-roaming) application-data folder: the shell folder
// on Windows, $XDG_CONFIG_HOME (else ~/.config) elsewhere. Empty when unknown.
std::string LocalAppDataFolder();

// The user's documents folder: the shell folder on Windows, the XDG documents
// folder elsewhere (else the home folder). Empty when unknown.
std::string DocumentsFolder();

// Creates a folder (elsewhere than Windows, with any missing parents, since
// ~/.config need not exist yet); true when it exists afterwards.
bool CreateFolder(const std::string& path);

// True when path names an existing file (not a folder).
bool FileExists(const std::string& path);

// Creates path as an empty file, emptying an existing one.
bool CreateEmptyFile(const std::string& path);

// Tests only: LocalAppDataFolder() returns path from now on; an empty path
// restores the user's real folder.
void SetAppDataFolderForTests(const std::string& path);
std::string AppDataFolderForTests();  // the folder set, or empty

namespace detail {
// The platform's own answer, without the test override.
std::string PlatformLocalAppDataFolder();
}  // namespace detail

}  // namespace UserFolders

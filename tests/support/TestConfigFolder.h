#pragma once

#include <string>

#include "framework/platform/UserFolders.h"
#include "support/TempFolder.h"

// Every Synth constructed while one of these lives keeps its configuration
// file in a fresh temporary folder instead of the user's real one, so tests
// neither read the developer's settings nor leave files behind.
class TestConfigFolder {
 public:
  TestConfigFolder() : previous(UserFolders::AppDataFolderForTests()) {
    UserFolders::SetAppDataFolderForTests(folder.Path());
  }
  ~TestConfigFolder() { UserFolders::SetAppDataFolderForTests(previous); }
  TestConfigFolder(const TestConfigFolder&) = delete;
  TestConfigFolder& operator=(const TestConfigFolder&) = delete;

  std::string Path() const { return folder.Path(); }

 private:
  std::string previous;
  TempFolder folder;
};

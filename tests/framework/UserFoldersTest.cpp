#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/platform/UserFolders.h"
#include "support/TempFolder.h"

namespace {

TEST(UserFoldersTest, FilesFoldersAndEmptyFiles) {
  TempFolder folder;
  const std::string sub = folder.File("Welmora");
  EXPECT_FALSE(UserFolders::FileExists(sub));
  EXPECT_TRUE(UserFolders::CreateFolder(sub));
  EXPECT_TRUE(UserFolders::CreateFolder(sub));  // already there
  EXPECT_FALSE(UserFolders::FileExists(sub));   // a folder is not a file
  const std::string file = sub + UserFolders::kPathSeparator + "redi.ini";
  WriteBytes(file, "old content");
  ASSERT_TRUE(UserFolders::CreateEmptyFile(file));
  EXPECT_TRUE(UserFolders::FileExists(file));
  EXPECT_EQ(ReadBytes(file), "");
  EXPECT_FALSE(UserFolders::CreateEmptyFile(folder.File("no such folder") +
                                            UserFolders::kPathSeparator + "x.ini"));
}

TEST(UserFoldersTest, TheTestFolderReplacesTheApplicationDataFolderUntilCleared) {
  const std::string isolated = UserFolders::AppDataFolderForTests();
  UserFolders::SetAppDataFolderForTests("");
  const std::string real = UserFolders::LocalAppDataFolder();
  EXPECT_FALSE(real.empty());
  UserFolders::SetAppDataFolderForTests("elsewhere");
  EXPECT_EQ(UserFolders::LocalAppDataFolder(), "elsewhere");
  UserFolders::SetAppDataFolderForTests("");
  EXPECT_EQ(UserFolders::LocalAppDataFolder(), real);
  UserFolders::SetAppDataFolderForTests(isolated);
}

#ifndef _WIN32
// Sets environment variables for one case and restores them afterwards.
class ScopedEnvironment {
 public:
  void Set(const char* name, const std::string& value) {
    const char* old = std::getenv(name);
    saved.push_back({name, old != nullptr, old != nullptr ? old : ""});
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnvironment() {
    for (auto it = saved.rbegin(); it != saved.rend(); ++it) {
      if (it->existed) {
        setenv(it->name, it->value.c_str(), 1);
      } else {
        unsetenv(it->name);
      }
    }
  }

 private:
  struct Saved {
    const char* name;
    bool existed;
    std::string value;
  };
  std::vector<Saved> saved;
};

TEST(UserFoldersTest, XdgFoldersDecideTheConfigurationAndDocumentsFolders) {
  TempFolder home;
  ScopedEnvironment environment;
  const std::string isolated = UserFolders::AppDataFolderForTests();
  UserFolders::SetAppDataFolderForTests("");
  environment.Set("HOME", home.Path());
  environment.Set("XDG_CONFIG_HOME", "");
  EXPECT_EQ(UserFolders::LocalAppDataFolder(), home.Path() + "/.config");
  EXPECT_EQ(UserFolders::DocumentsFolder(), home.Path());  // no user-dirs.dirs

  environment.Set("XDG_CONFIG_HOME", "relative/is/ignored");
  EXPECT_EQ(UserFolders::LocalAppDataFolder(), home.Path() + "/.config");

  const std::string config = home.File("cfg");
  std::filesystem::create_directories(config);
  environment.Set("XDG_CONFIG_HOME", config);
  EXPECT_EQ(UserFolders::LocalAppDataFolder(), config);
  WriteBytes(config + "/user-dirs.dirs",
             "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
             "XDG_DOCUMENTS_DIR=\"$HOME/My \\\"Docs\\\"/\"\n");
  EXPECT_EQ(UserFolders::DocumentsFolder(), home.Path() + "/My \"Docs\"");

  WriteBytes(config + "/user-dirs.dirs", "  XDG_DOCUMENTS_DIR = \"/srv/documents\"");
  EXPECT_EQ(UserFolders::DocumentsFolder(), "/srv/documents");

  static const char kUnusable[] =
      "XDG_DOCUMENTS_DIR=\"relative\"\n\0\xff\nXDG_DOCUMENTS_DIR=\"$HOMEX\"";
  WriteBytes(config + "/user-dirs.dirs", std::string(kUnusable, sizeof kUnusable - 1));
  EXPECT_EQ(UserFolders::DocumentsFolder(), home.Path());
  UserFolders::SetAppDataFolderForTests(isolated);
}
#endif

}  // namespace

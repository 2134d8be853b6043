// Linked into every test program: plug-in objects built by any test keep
// their configuration file in a temporary folder, never in the user's own;
// so do instances of a plug-in library the program loads (Linux).
#include <gtest/gtest.h>

#include <memory>

#include "support/PluginConfigHome.h"
#include "support/TestConfigFolder.h"

namespace {

class IsolatedConfiguration : public ::testing::Environment {
 public:
  void SetUp() override {
    folder = std::make_unique<TestConfigFolder>();
#if !defined(_WIN32)
    libraryFolder = std::make_unique<PluginConfigHome>();
#endif
  }
  void TearDown() override {
#if !defined(_WIN32)
    libraryFolder.reset();
#endif
    folder.reset();
  }

 private:
  std::unique_ptr<TestConfigFolder> folder;
#if !defined(_WIN32)
  std::unique_ptr<PluginConfigHome> libraryFolder;
#endif
};

[[maybe_unused]] ::testing::Environment* const kIsolatedConfiguration =
    ::testing::AddGlobalTestEnvironment(new IsolatedConfiguration);

}  // namespace

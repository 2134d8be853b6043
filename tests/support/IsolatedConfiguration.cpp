// Linked into every test program: plug-in objects built by any test keep
// their configuration file in a temporary folder, never in the user's own.
#include <gtest/gtest.h>

#include <memory>

#include "support/TestConfigFolder.h"

namespace {

class IsolatedConfiguration : public ::testing::Environment {
 public:
  void SetUp() override { folder = std::make_unique<TestConfigFolder>(); }
  void TearDown() override { folder.reset(); }

 private:
  std::unique_ptr<TestConfigFolder> folder;
};

[[maybe_unused]] ::testing::Environment* const kIsolatedConfiguration =
    ::testing::AddGlobalTestEnvironment(new IsolatedConfiguration);

}  // namespace

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/TempFolder.h"

namespace {

// The committed bank is built from its readable source; the two must not
// drift apart. The generator runs with a configuration folder of its own so
// that no start-up bank of the user's can leak into it.
TEST(MakeFactoryBankTest, CommittedBankIsExactlyWhatItsSourceBuilds) {
  TempFolder folder;
  const std::string source = REDI_SOURCE_DIR "/resources/factory-bank.txt";
  const std::string built = folder.File("factory.fxb");
  const std::string command = "XDG_CONFIG_HOME='" + folder.Path() +
                              "' '" MAKE_FACTORY_BANK_PATH "' '" + source + "' '" + built +
                              "' >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const std::string committed = ReadBytes(REDI_SOURCE_DIR "/resources/factory.fxb");
  ASSERT_EQ(committed.size(), 58133u);
  EXPECT_TRUE(ReadBytes(built) == committed)
      << "resources/factory.fxb is out of date: run the regenerate-factory-bank target";
}

}  // namespace

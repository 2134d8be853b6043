#include "PrivateConfiguration.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// The plug-in reads at most this many characters of the folder setting, so
// the folder is named through a short link inside the private home.
constexpr std::size_t kLongestFolderSetting = 63;

}  // namespace

PrivateConfiguration::~PrivateConfiguration() {
  if (home.empty()) return;
  std::error_code ignored;
  fs::remove_all(home, ignored);
}

bool PrivateConfiguration::Create(const std::string& wavFolder, std::string* error) {
  std::error_code ec;
  std::string pattern = "/tmp/redi-render-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    *error = "cannot create a temporary folder in /tmp";
    return false;
  }
  home = pattern;
  const std::string link = home + "/wav";
  std::string settings = "[Global]\n";
  if (!wavFolder.empty()) {
    fs::create_directory_symlink(fs::absolute(wavFolder, ec), link, ec);
    if (ec || link.size() > kLongestFolderSetting) {
      *error = "cannot name the WAV folder to the plug-in: " + ec.message();
      return false;
    }
    settings += "Path to WAV Files=" + link + "\n";
  }
  fs::create_directories(home + "/Welmora", ec);
  std::ofstream file(home + "/Welmora/redi.ini", std::ios::binary);
  file << settings;
  file.close();
  if (ec || !file) {
    *error = "cannot write a configuration file in " + home;
    return false;
  }
  setenv("XDG_CONFIG_HOME", home.c_str(), 1);
  return true;
}

#pragma once

#include <ostream>
#include <string>

#include "update/VersionCheck.h"

// The check's message boxes written out in full, independently of the code
// that builds them.
namespace expected {

constexpr int kOk = 0, kYesNo = 4, kErrorIcon = 0x10, kInformationIcon = 0x40;

inline VersionMessage Error() {
  return {"An error occurred while contacting www.welmora.example.", "Check Online for Update",
          kOk | kErrorIcon, false};
}

inline VersionMessage Invalid() {
  return {"Invalid call to www.welmora.example.", "Check Online for Update", kOk | kErrorIcon,
          false};
}

inline VersionMessage UpToDate() {
  return {"Your version is up to date.", "Check Online for Update", kOk | kInformationIcon, false};
}

inline VersionMessage NewVersion(const std::string& version) {
  return {"A new version of REDI is available.\n\n\tYour version: \t1.1.1\n\tNew version: \t" +
              version +
              "\n\nDo you want to go to http://www.welmora.example/ to get the new version?",
          "New Version of REDI Detected", kYesNo, true};
}

}  // namespace expected

inline bool operator==(const VersionMessage& a, const VersionMessage& b) {
  return a.text == b.text && a.title == b.title && a.type == b.type &&
         a.offersDownload == b.offersDownload;
}

inline std::ostream& operator<<(std::ostream& out, const VersionMessage& m) {
  return out << "{\"" << m.text << "\", \"" << m.title << "\", type " << m.type
             << (m.offersDownload ? ", offers download}" : "}");
}

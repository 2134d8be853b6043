#pragma once

#include <string>

// The maker's web site. A release that has a real server changes this one
// name; the request, the messages, the download page and the menu's "Visit "
// item all follow it. ".example" names never resolve, so until then every
// check ends in the error message instead of reaching a stranger's machine.
inline constexpr char kMakerSiteHost[] = "www.welmora.example";

// "http://www.welmora.example/": what the menu's "Visit " item opens.
std::string MakerSiteAddress();

// The text of the menu item that opens the site: "Visit " and the host name.
std::string VisitMakerSiteItemText();

// Where a newer version is downloaded from.
std::string DownloadPageAddress();

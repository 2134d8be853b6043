#include "update/MakerSite.h"

std::string MakerSiteAddress() { return std::string("http://") + kMakerSiteHost + "/"; }

std::string VisitMakerSiteItemText() { return std::string("Visit ") + kMakerSiteHost; }

std::string DownloadPageAddress() { return MakerSiteAddress() + "music/vst.html"; }

#include <cstdint>
#include <cstring>

#include "framework/IHost.h"
#include "framework/IPlugBase.h"
#include "framework/Text.h"

namespace {

constexpr int kHostTextSize = 256;
constexpr int kOfflineProcessLevel = 4;

struct HostEntry {
  const char* text;
  int code;
};

// Tested in this order; the first contained text decides.
constexpr HostEntry kHosts[] = {
    {"cubase", 3},      {"reaper", 1},      {"nuendo", 4},
    {"cakewalk", 5},    {"samplitude", 8},  {"fruity", 7},
    {"live", 9},        {"melodyne", 12},   {"vstmanlib", 13},
    {"aulab", 14},      {"garageband", 22}, {"forte", 15},
    {"chainer", 16},    {"audition", 17},   {"orion", 18},
    {"sawstudio", 20},  {"logic", 21},      {"digital", 23},
    {"audiomulch", 25}, {"presonus", 26},   {"vst3plugintesthost", 27},
    {"protools", 2},    {"ardour", 28},     {"openmpt", 30},
    {"renoise", 29},    {"standalone", 24},
};

// Lower-cases A-Z only; other bytes (UTF-8 included) pass unchanged.
void LowerCaseAscii(char* text) {
  for (; *text != '\0'; ++text) {
    if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text - 'A' + 'a');
  }
}

}  // namespace

int IPlugBase::LookUpHost(const char* productText) {
  char lower[kHostTextSize];
  CopyText(lower, sizeof lower, productText);  // a longer text is cut on a character boundary
  if (lower[0] == '\0') return 0;
  LowerCaseAscii(lower);
  for (const HostEntry& entry : kHosts) {
    if (std::strstr(lower, entry.text) != nullptr) return entry.code;
  }
  return 0;
}

int IPlugBase::PackHostVersion(int decimalVersion) {
  if (decimalVersion < 0) return 0;
  // Unsigned so that a huge major number wraps instead of overflowing.
  const uint32_t a = static_cast<uint32_t>(decimalVersion);
  const uint32_t packed = a + ((a % 10000u) / 100u) * 156u + (a / 10000u) * 55536u;
  return static_cast<int>(packed);
}

int IPlugBase::HostKind() {
  if (hostKind != -1) return hostKind;
  char product[kHostTextSize] = {};
  if (host != nullptr) host->ProductString(product, sizeof product);
  product[sizeof product - 1] = '\0';
  const int packedVersion =
      (product[0] != '\0' && host != nullptr) ? PackHostVersion(host->VendorVersion()) : 0;
  hostKind = LookUpHost(product);
  hostVersion = packedVersion;
  return hostKind;
}

bool IPlugBase::HostNeedsProgramChunks() {
  if (vendorAsked) return needsProgramChunks;
  char vendor[kHostTextSize] = {};
  if (host != nullptr) host->VendorString(vendor, sizeof vendor);
  vendor[sizeof vendor - 1] = '\0';
  needsProgramChunks = EqualsIgnoringCase(vendor, "native instruments") ||
                       EqualsIgnoringCase(vendor, "juce vst host");
  vendorAsked = true;
  return needsProgramChunks;
}

bool IPlugBase::IsRenderingOffline() {
  return host != nullptr && host->ProcessLevel() == kOfflineProcessLevel;
}

// The library's entry points. Hosts call VSTPluginMain (older ones main) with
// their callback and receive the effect record of a new plug-in instance.

#include <algorithm>
#include <memory>
#include <mutex>

#include "framework/VSTHost.h"
#include "instrument/REDI.h"

namespace {

// Instances are built one at a time, whichever threads the host uses.
std::mutex& ConstructionLock() {
  static std::mutex lock;
  return lock;
}

AEffect* CreateInstance(audioMasterCallback master) {
  std::lock_guard<std::mutex> guard(ConstructionLock());
  try {
    auto host = std::make_unique<VSTHost>(master);
    auto plug = std::make_unique<REDI>(host.get());
    plug->AdoptHost(std::move(host));
    plug->FillEmptyPrograms(IPlugBase::kNumPrograms);
    AEffect* effect = plug->Effect();
    effect->numPrograms = std::max(effect->numPrograms, 1);
    plug.release();  // the host's effClose destroys it
    return effect;
  } catch (...) {
    return nullptr;  // nothing may unwind into the host
  }
}

}  // namespace

#if defined(_WIN32)
// Exported through VSTEntry.def, which also names main.
#define REDI_EXPORT extern "C"
#else
#define REDI_EXPORT extern "C" __attribute__((visibility("default")))
#endif

REDI_EXPORT AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback master) {
  return CreateInstance(master);
}

#if !defined(_WIN32) && !defined(REDI_WITHOUT_MAIN_ENTRY)
// The symbol "main" without a program's main function: an assembler name.
// Programs that link the entries in (the fuzz targets) have a main of their own.
REDI_EXPORT AEffect* VSTMainEntry(audioMasterCallback master) __asm__("main");
AEffect* VSTMainEntry(audioMasterCallback master) { return CreateInstance(master); }
#endif

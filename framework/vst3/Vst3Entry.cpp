// The VST 3 module's entry points and its factory, which makes REDI
// instances.

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

#include "framework/Text.h"
#include "framework/vst3/Factory.h"
#include "framework/vst3/Utf16.h"
#include "framework/vst3/Vst3Plugin.h"
#include "instrument/REDI.h"
#include "update/MakerSite.h"

using namespace vst3;

namespace {

// The identifier Steinberg hosts derive for the VST 2 plug-in 'redi' named
// "REDI" ('VST', the four-character code, the lower-case name): with it they
// take REDI 3 as the successor of REDI 2, and its projects and automation
// (the parameter IDs are the VST 2 indices) carry over.
constexpr Uid kRediClassId = MakeUid(0x56535472, 0x65646972, 0x65646900, 0x00000000);

constexpr char kAudioModuleClass[] = "Audio Module Class";
// Hosts list it with their effects and with their instruments: it is an
// insert on the voice's track that also takes MIDI, or an instrument fed
// through its side chain.
constexpr char kSubCategories[] = "Fx|Instrument";
constexpr char kSdkVersion[] = "VST 3.7.14";

std::unique_ptr<IPlugBase> MakeRedi(IHost* host) {
  auto plug = std::make_unique<REDI>(host);
  plug->FillEmptyPrograms(IPlugBase::kNumPrograms);
  return plug;
}

// "1.1.1" from the plug-in's 0xMMMMmmtt.
void VersionText(char* text, std::size_t size) {
  const auto v = static_cast<uint32_t>(REDI::kIdentity.version);
  std::snprintf(text, size, "%u.%u.%u", v >> 16, (v >> 8) & 0xFFu, v & 0xFFu);
}

class Factory final : public IPluginFactory3 {
 public:
  tresult VST3_CALL queryInterface(const TUID iid, void** obj) override {
    if (obj == nullptr) return kInvalidArgument;
    if (FUnknown::iid.Equals(iid) || IPluginFactory::iid.Equals(iid) ||
        IPluginFactory2::iid.Equals(iid) || IPluginFactory3::iid.Equals(iid)) {
      *obj = this;
      addRef();
      return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
  }
  // One factory for the module's life: the counts are kept for the host's
  // sake, the object is never deleted.
  uint32 VST3_CALL addRef() override { return ++references; }
  uint32 VST3_CALL release() override { return references > 1 ? --references : 1; }

  tresult VST3_CALL getFactoryInfo(PFactoryInfo* info) override {
    if (info == nullptr) return kInvalidArgument;
    *info = {};
    CopyText(info->vendor, sizeof info->vendor, REDI::kIdentity.vendorName);
    CopyText(info->url, sizeof info->url, MakerSiteAddress().c_str());
    info->flags = PFactoryInfo::kUnicode;
    return kResultOk;
  }

  int32 VST3_CALL countClasses() override { return 1; }

  tresult VST3_CALL getClassInfo(int32 index, PClassInfo* info) override {
    if (index != 0 || info == nullptr) return kInvalidArgument;
    *info = {};
    std::memcpy(info->cid, kRediClassId.bytes, sizeof info->cid);
    info->cardinality = kManyInstances;
    CopyText(info->category, sizeof info->category, kAudioModuleClass);
    CopyText(info->name, sizeof info->name, REDI::kIdentity.effectName);
    return kResultOk;
  }

  tresult VST3_CALL getClassInfo2(int32 index, PClassInfo2* info) override {
    if (index != 0 || info == nullptr) return kInvalidArgument;
    *info = {};
    std::memcpy(info->cid, kRediClassId.bytes, sizeof info->cid);
    info->cardinality = kManyInstances;
    CopyText(info->category, sizeof info->category, kAudioModuleClass);
    CopyText(info->name, sizeof info->name, REDI::kIdentity.effectName);
    CopyText(info->subCategories, sizeof info->subCategories, kSubCategories);
    CopyText(info->vendor, sizeof info->vendor, REDI::kIdentity.vendorName);
    VersionText(info->version, sizeof info->version);
    CopyText(info->sdkVersion, sizeof info->sdkVersion, kSdkVersion);
    return kResultOk;
  }

  tresult VST3_CALL getClassInfoUnicode(int32 index, PClassInfoW* info) override {
    PClassInfo2 narrow;
    const tresult result = getClassInfo2(index, &narrow);
    if (result != kResultOk) return result;
    *info = {};
    std::memcpy(info->cid, narrow.cid, sizeof info->cid);
    info->cardinality = narrow.cardinality;
    CopyText(info->category, sizeof info->category, narrow.category);
    ToUtf16(narrow.name, info->name, 64);
    CopyText(info->subCategories, sizeof info->subCategories, narrow.subCategories);
    ToUtf16(narrow.vendor, info->vendor, 64);
    ToUtf16(narrow.version, info->version, 64);
    ToUtf16(narrow.sdkVersion, info->sdkVersion, 64);
    return kResultOk;
  }

  tresult VST3_CALL createInstance(FIDString cid, FIDString iid, void** obj) override {
    if (obj == nullptr) return kInvalidArgument;
    *obj = nullptr;
    if (!kRediClassId.Equals(cid) || iid == nullptr) return kNoInterface;
    // Instances are built one at a time, whichever threads the host uses.
    static std::mutex construction;
    std::lock_guard<std::mutex> guard(construction);
    try {
      auto* plugin = new Vst3Plugin(MakeRedi);
      const tresult result = plugin->queryInterface(iid, obj);
      plugin->release();
      return result;
    } catch (...) {
      return kOutOfMemory;  // nothing may unwind into the host
    }
  }

  // REDI needs nothing of the host's module-wide context.
  tresult VST3_CALL setHostContext(FUnknown* /*context*/) override { return kResultOk; }

 private:
  std::atomic<uint32> references{1};
};

Factory& TheFactory() {
  static Factory factory;
  return factory;
}

}  // namespace

VST3_EXPORT IPluginFactory* VST3_CALL GetPluginFactory() {
  Factory& factory = TheFactory();
  factory.addRef();
  return &factory;
}

// Nothing to set up or tear down per module load: the entries only have to
// be there, hosts refuse modules without them.
#if defined(_WIN32)
VST3_EXPORT bool InitDll() { return true; }
VST3_EXPORT bool ExitDll() { return true; }
#else
VST3_EXPORT bool ModuleEntry(void* /*sharedLibraryHandle*/) { return true; }
VST3_EXPORT bool ModuleExit() { return true; }
#endif

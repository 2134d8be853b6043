#pragma once

// The component: buses, activation and the state the host saves.

#include "framework/vst3/Base.h"
#include "framework/vst3/Stream.h"

namespace vst3 {

enum MediaTypes : int32 { kAudio = 0, kEvent = 1 };
enum BusDirections : int32 { kInput = 0, kOutput = 1 };
enum BusTypes : int32 { kMain = 0, kAux = 1 };

struct BusInfo {
  enum BusFlags : uint32 { kDefaultActive = 1 };
  int32 mediaType;
  int32 direction;
  int32 channelCount;  // audio: of the current arrangement; events: MIDI channels
  String128 name;
  int32 busType;
  uint32 flags;
};

struct RoutingInfo {
  int32 mediaType;
  int32 busIndex;
  int32 channel;
};

class IComponent : public IPluginBase {
 public:
  static constexpr Uid iid = MakeUid(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
  virtual tresult VST3_CALL getControllerClassId(TUID classId) = 0;
  virtual tresult VST3_CALL setIoMode(int32 mode) = 0;
  virtual int32 VST3_CALL getBusCount(int32 type, int32 dir) = 0;
  virtual tresult VST3_CALL getBusInfo(int32 type, int32 dir, int32 index, BusInfo& bus) = 0;
  virtual tresult VST3_CALL getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) = 0;
  virtual tresult VST3_CALL activateBus(int32 type, int32 dir, int32 index, TBool state) = 0;
  virtual tresult VST3_CALL setActive(TBool state) = 0;
  virtual tresult VST3_CALL setState(IBStream* state) = 0;
  virtual tresult VST3_CALL getState(IBStream* state) = 0;
};

static_assert(sizeof(BusInfo) == 276 && offsetof(BusInfo, name) == 12 &&
              offsetof(BusInfo, busType) == 268 && offsetof(BusInfo, flags) == 272);
static_assert(sizeof(RoutingInfo) == 12);

}  // namespace vst3

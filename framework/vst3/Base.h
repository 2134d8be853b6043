#pragma once

// The VST 3 binary interface as REDI uses it: the basic types, result codes,
// 16-byte identifiers and the unknown interface every other one starts with.
// Only what the adapter needs is declared; the layouts are checked below and
// next to each structure for x86-64 (Linux and Windows) and 32-bit Windows.

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(_WIN32) && (defined(__i386__) || defined(_M_IX86))
// 32-bit Windows hosts call every interface method as __stdcall; the
// compiler's own default for members (thiscall) would break the stack.
#define VST3_CALL __stdcall
#else
#define VST3_CALL
#endif

#if defined(_WIN32)
#define VST3_EXPORT extern "C" __declspec(dllexport)
#else
#define VST3_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace vst3 {

using int8 = char;
using uint8 = uint8_t;
using int16 = int16_t;
using uint16 = uint16_t;
using int32 = int32_t;
using uint32 = uint32_t;
using int64 = int64_t;
using uint64 = uint64_t;
using tresult = int32;
using TBool = uint8;
using char8 = char;
using char16 = char16_t;
using TChar = char16;
using String128 = TChar[128];
using FIDString = const char8*;
using TUID = char[16];

// Windows keeps the COM values, so that a host may treat them as HRESULTs.
#if defined(_WIN32)
constexpr tresult kResultOk = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kNoInterface = static_cast<tresult>(0x80004002u);
constexpr tresult kInvalidArgument = static_cast<tresult>(0x80070057u);
constexpr tresult kNotImplemented = static_cast<tresult>(0x80004001u);
constexpr tresult kInternalError = static_cast<tresult>(0x80004005u);
constexpr tresult kNotInitialized = static_cast<tresult>(0x8000FFFFu);
constexpr tresult kOutOfMemory = static_cast<tresult>(0x8007000Eu);
#else
constexpr tresult kResultOk = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kNoInterface = -1;
constexpr tresult kInvalidArgument = 2;
constexpr tresult kNotImplemented = 3;
constexpr tresult kInternalError = 4;
constexpr tresult kNotInitialized = 5;
constexpr tresult kOutOfMemory = 6;
#endif
constexpr tresult kResultTrue = kResultOk;  // yes/no answers: "yes" is 0

// A class or interface identifier as the headers write it (four 32-bit
// numbers), laid out in memory as hosts compare it: on Windows as a GUID
// (the first number and the two halves of the second little-endian), on
// other systems all big-endian.
struct Uid {
  char bytes[16];

  bool Equals(const char* other) const {
    return other != nullptr && std::memcmp(bytes, other, sizeof bytes) == 0;
  }
};

constexpr Uid MakeUid(uint32 l1, uint32 l2, uint32 l3, uint32 l4) {
  Uid uid = {};
  auto put = [&uid](int at, uint32 value, int bytes, bool littleEndian) {
    for (int i = 0; i < bytes; ++i) {
      const int shift = littleEndian ? 8 * i : 8 * (bytes - 1 - i);
      uid.bytes[at + i] = static_cast<char>(static_cast<uint8>(value >> shift));
    }
  };
#if defined(_WIN32)
  put(0, l1, 4, true);
  put(4, l2 >> 16, 2, true);
  put(6, l2 & 0xFFFFu, 2, true);
#else
  put(0, l1, 4, false);
  put(4, l2, 4, false);
#endif
  put(8, l3, 4, false);
  put(12, l4, 4, false);
  return uid;
}

// No virtual destructor anywhere: it would add vtable slots the host does not
// know. Objects delete themselves when release drops the last reference.
class FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
  virtual tresult VST3_CALL queryInterface(const TUID iid, void** obj) = 0;
  virtual uint32 VST3_CALL addRef() = 0;
  virtual uint32 VST3_CALL release() = 0;
};

// What initialize receives; REDI only asks it for the host's name.
class IHostApplication : public FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5);
  virtual tresult VST3_CALL getName(String128 name) = 0;
  virtual tresult VST3_CALL createInstance(TUID cid, TUID iid, void** obj) = 0;
};

class IPluginBase : public FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
  virtual tresult VST3_CALL initialize(FUnknown* context) = 0;
  virtual tresult VST3_CALL terminate() = 0;
};

static_assert(sizeof(TBool) == 1 && sizeof(TChar) == 2 && sizeof(String128) == 256);
static_assert(sizeof(Uid) == 16 && sizeof(TUID) == 16);

}  // namespace vst3

// Where the layouts differ, the checks name the two kinds of target checked.
#if defined(_WIN32) && (defined(__i386__) || defined(_M_IX86))
#define VST3_X86_WINDOWS 1
#elif UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu && (defined(_WIN32) || defined(__linux__))
#define VST3_X86_WINDOWS 0
#else
#error "the VST 3 layouts are checked for 64-bit Linux and Windows and 32-bit Windows only"
#endif

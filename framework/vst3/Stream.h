#pragma once

// The host's byte streams, through which the state goes in and out.

#include "framework/vst3/Base.h"

namespace vst3 {

class IBStream : public FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);
  enum SeekMode : int32 { kIBSeekSet = 0, kIBSeekCur = 1, kIBSeekEnd = 2 };
  // Both may move fewer bytes than asked; the count pointers may be null.
  virtual tresult VST3_CALL read(void* buffer, int32 numBytes, int32* numBytesRead) = 0;
  virtual tresult VST3_CALL write(void* buffer, int32 numBytes, int32* numBytesWritten) = 0;
  virtual tresult VST3_CALL seek(int64 pos, int32 mode, int64* result) = 0;
  virtual tresult VST3_CALL tell(int64* pos) = 0;
};

}  // namespace vst3

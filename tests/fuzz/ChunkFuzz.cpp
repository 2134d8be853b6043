// The host's state chunk, bank or program, set through the dispatcher.
// First byte: bit 0 chooses a bank chunk; the rest is the chunk.

#include <vector>

#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::IsolateConfiguration();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const VstInt32 index = (data[0] & 1) != 0 ? 0 : 1;  // 0 = bank
  fuzz::Plugin& plug = fuzz::SharedPlugin();
  std::vector<uint8_t> chunk(data + 1, data + size);
  plug.Dispatch(effSetChunk, index, static_cast<VstIntPtr>(chunk.size()), chunk.data());
  void* saved = nullptr;
  const VstIntPtr savedSize = plug.Dispatch(effGetChunk, index, 0, &saved);
  fuzz::Require(savedSize > 0 && saved != nullptr, "the state cannot be saved again");
  plug.CheckParameters();
  plug.ProcessAndCheck(300);
  return 0;
}

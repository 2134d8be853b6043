#include <cstring>
#include <string>

#include "instrument/ParameterIds.h"
#include "instrument/REDI.h"

namespace {

constexpr int kTagSize = 10;

bool HasTag(const IChunk& chunk, int pos) {
  char tag[kTagSize];
  return chunk.GetBytes(tag, kTagSize, pos) >= 0 &&
         std::memcmp(tag, REDI::kStateTag, kTagSize) == 0;
}

}  // namespace

bool REDI::SaveState(IChunk& chunk) {
  ScopedLock guard(Lock());
  bool ok = chunk.PutBytes(kStateTag, kTagSize);
  ok = chunk.PutInt32(CurrentProgram()) && ok;
  ok = chunk.PutText(ProgramName(CurrentProgram())) && ok;
  for (int i = 0; i < NParams(); ++i) ok = chunk.PutDouble(GetParam(i)->Value()) && ok;
  const bool playsWav = GetParam(kInputMode)->Value() >= 0.5 && !wavRequestedPath.empty();
  ok = chunk.PutBool(playsWav) && ok;
  if (playsWav && ok) ok = chunk.PutText(wavRequestedPath.c_str());
  return ok;
}

int REDI::LoadState(const IChunk& chunk, int pos) {
  ScopedLock guard(Lock());
  wavRequestedPath.clear();
  // Without the tag the values start right away (the framework's own form).
  if (HasTag(chunk, pos)) {
    // Index and name belong to the program the state was saved from; the
    // program it is loaded into keeps its own.
    int32_t savedIndex = 0;
    std::string savedName;
    pos = chunk.GetInt32(&savedIndex, pos + kTagSize);
    pos = chunk.GetText(&savedName, pos);
    if (pos > chunk.Size()) pos = -1;
  }
  pos = UnserializeParams(chunk, pos);

  bool playsWav = false;
  pos = chunk.GetBool(&playsWav, pos);
  if (pos < 0 || !playsWav) return pos;
  std::string path;
  pos = chunk.GetText(&path, pos);
  if (pos >= 0) wavRequestedPath = path;
  return pos;
}

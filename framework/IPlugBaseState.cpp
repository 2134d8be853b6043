#include <cmath>
#include <cstring>
#include <string>

#include "framework/IPlugBase.h"
#include "framework/Text.h"

namespace {

constexpr uint8_t kChunkMagic[4] = {0x74, 0x66, 0x66, 0x70};
constexpr int32_t kChunkVersion = 0x00010000;

}  // namespace

void IPlugBase::WriteChunkHeader(IChunk& chunk) {
  chunk.Clear();
  chunk.PutBytes(kChunkMagic, 4);
  chunk.PutInt32(kChunkVersion);
}

int IPlugBase::ReadChunkHeader(const IChunk& chunk, int* pos) {
  uint8_t magic[4];
  if (chunk.GetBytes(magic, 4, *pos) < 0 || std::memcmp(magic, kChunkMagic, 4) != 0) return 0;
  int32_t version = 0;
  *pos = chunk.GetInt32(&version, *pos + 4);
  return *pos < 0 ? 0 : version;
}

bool IPlugBase::SerializeParams(IChunk& chunk) {
  bool ok = true;
  for (const IParameter& param : params) ok = chunk.PutDouble(param.Value()) && ok;
  return ok;
}

int IPlugBase::UnserializeParams(const IChunk& chunk, int pos) {
  for (std::size_t i = 0; i < params.size() && pos >= 0; ++i) {
    double value = 0.0;
    pos = chunk.GetDouble(&value, pos);
    // A NaN cannot be clamped into range; it counts as a missing value.
    if (std::isnan(value)) value = 0.0;
    params[i].SetClamped(value);
  }
  NotifyAllParamsChanged();
  return pos;
}

bool IPlugBase::SerializePresets(IChunk& chunk) {
  bool ok = true;
  for (const IProgram& program : programs) {
    ok = chunk.PutText(program.name) && ok;
    ok = chunk.PutBool(program.initialised) && ok;
    if (program.initialised) ok = chunk.PutBytes(program.state.Data(), program.state.Size()) && ok;
  }
  return ok && chunk.Size() > 0;
}

int IPlugBase::UnserializePresets(const IChunk& chunk, int pos) {
  for (std::size_t i = 0; i < programs.size() && pos >= 0; ++i) {
    IProgram& program = programs[i];
    std::string name;
    pos = chunk.GetText(&name, pos);
    CopyText(program.name, IProgram::kNameSize, name.c_str());
    bool initialised = false;
    pos = chunk.GetBool(&initialised, pos);
    if (pos < 0) break;
    program.initialised = initialised;
    if (initialised) {
      // The live parameters carry each program's state; what is stored is
      // the plug-in's own re-saved form.
      pos = LoadState(chunk, pos);
      if (pos > 0) {
        program.state.Clear();
        SaveState(program.state);
      }
    }
  }
  ApplyProgram(currentProgram);
  return pos;
}

int IPlugBase::HostGetChunk(bool isBank, const uint8_t** data) {
  if (data == nullptr) return 0;
  if (HostNeedsProgramChunks()) isBank = false;
  IChunk& chunk = isBank ? bankChunk : programChunk;
  WriteChunkHeader(chunk);
  bool ok = false;
  if (isBank) {
    ModifyCurrentPreset();
    ok = SerializePresets(chunk);
  } else {
    ok = SaveState(chunk);
    ok = chunk.PutText(ProgramName(currentProgram)) && ok;
  }
  if (!ok || chunk.Size() == 0) return 0;
  *data = chunk.Data();
  return chunk.Size();
}

int IPlugBase::HostSetChunk(bool isBank, const uint8_t* data, int size) {
  if (data == nullptr || size <= 0) return 0;
  const bool programsOnly = HostNeedsProgramChunks();
  if (programsOnly) isBank = false;
  // Copied aside first: a host may hand back the very buffer it got from us.
  IChunk incoming;
  if (!incoming.PutBytes(data, size)) return 0;
  IChunk& chunk = isBank ? bankChunk : programChunk;
  chunk = incoming;

  int pos = 0;
  const int version = ReadChunkHeader(chunk, &pos);
  int end = 0;
  if (isBank && version > 0xFFFF) {
    end = UnserializePresets(chunk, pos);
  } else {
    end = LoadState(chunk, pos);
    std::string name;
    if (end < size) end = chunk.GetText(&name, end);
    // Either way the live state goes into the current program.
    ModifyCurrentPreset(name.c_str());
  }

  if (programsOnly && end != size) {
    // These hosts hand a bank back through the program call: read it again
    // as a bank.
    bankChunk = incoming;
    pos = 0;
    const int bankVersion = ReadChunkHeader(bankChunk, &pos);
    end = pos;
    if (bankVersion > 0xFFFF) end = UnserializePresets(bankChunk, pos);
  }
  if (end < 0) return 0;

  RefreshParamControls();
  return 1;
}

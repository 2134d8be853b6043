#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "framework/IPlugBase.h"
#include "framework/Text.h"
#include "framework/platform/Files.h"

// Program (.fxp) and bank (.fxb) files: big-endian headers around our own
// little-endian state, or (read only) plain lists of big-endian floats.
namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kProgramHeaderSize = 60;  // up to and including the state size
constexpr int kBankHeaderSize = 160;
constexpr int kNameOffset = 28;
constexpr int kParamListOffset = 56;  // first float of an FxCk record
constexpr int kBankProgramsOffset = 156;
constexpr int kMaxFileSize = 64 << 20;

uint32_t FourCC(const char* text) {
  return static_cast<uint32_t>(static_cast<uint8_t>(text[0])) << 24 |
         static_cast<uint32_t>(static_cast<uint8_t>(text[1])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(text[2])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(text[3]));
}

void PutBE32(Bytes& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// Callers check that offset + 4 lies inside the data.
uint32_t GetBE32(const Bytes& in, std::size_t offset) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = v << 8 | in[offset + static_cast<std::size_t>(i)];
  return v;
}

bool Has(const Bytes& in, std::size_t offset, std::size_t size) {
  return offset <= in.size() && size <= in.size() - offset;
}

float GetBEFloat(const Bytes& in, std::size_t offset) {
  const uint32_t u = GetBE32(in, offset);
  float f;
  std::memcpy(&f, &u, sizeof f);
  return f;
}

// The name field holds at most 27 bytes and a terminator, cut on a character
// boundary so that no UTF-8 sequence is split.
void PutNameField(Bytes& out, const char* name) {
  char field[IPlugBase::kFileNameSize] = {};
  CopyText(field, sizeof field, name);
  out.insert(out.end(), field, field + sizeof field);
}

// The name runs to the first zero byte, or fills the whole field. Callers
// check that the record's header lies inside the data.
std::string GetNameField(const Bytes& in, std::size_t recordOffset) {
  const char* field = reinterpret_cast<const char*>(in.data()) + recordOffset + kNameOffset;
  std::size_t n = 0;
  while (n < IPlugBase::kFileNameSize && field[n] != '\0') ++n;
  return std::string(field, n);
}

bool WriteFile(const char* path, const Bytes& bytes) {
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

bool ReadFile(const char* path, Bytes* bytes) {
  if (path == nullptr || path[0] == '\0') return false;
  // Only a regular file: the start-up bank's name comes from the INI file,
  // and a FIFO or a device there would block the host while it builds us.
  std::FILE* file = Files::OpenRegularFile(path);
  if (file == nullptr) return false;
  bool ok = true;
  uint8_t buffer[16384];
  for (;;) {
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, file);
    if (n == 0) break;
    if (bytes->size() + n > static_cast<std::size_t>(kMaxFileSize)) {
      ok = false;
      break;
    }
    bytes->insert(bytes->end(), buffer, buffer + n);
  }
  ok = ok && std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}

IChunk ToChunk(const Bytes& bytes) {
  IChunk chunk;
  chunk.PutBytes(bytes.data(), static_cast<int>(bytes.size()));
  return chunk;
}

// Sets parameters from normalised floats starting at offset, as many as the
// data holds. NaN leaves a parameter alone; other values are limited to 0...1.
void SetFromFloatList(IPlugBase& plug, const Bytes& in, std::size_t offset) {
  for (int i = 0; i < plug.NParams() && Has(in, offset, 4); ++i, offset += 4) {
    const float f = GetBEFloat(in, offset);
    if (std::isnan(f)) continue;
    plug.GetParam(i)->SetNormalized(f < 0.0f ? 0.0 : f > 1.0f ? 1.0 : static_cast<double>(f));
  }
}

}  // namespace

bool IPlugBase::SaveProgramFile(const char* path) {
  if (path == nullptr || path[0] == '\0') return false;
  IChunk state;
  WriteChunkHeader(state);
  if (!SaveState(state)) return false;
  const uint32_t stateSize = static_cast<uint32_t>(state.Size());

  Bytes out;
  PutBE32(out, FourCC("CcnK"));
  PutBE32(out, stateSize + kProgramHeaderSize);
  PutBE32(out, FourCC("FPCh"));
  PutBE32(out, 1);
  PutBE32(out, static_cast<uint32_t>(uniqueId));
  PutBE32(out, static_cast<uint32_t>(DecimalVersion()));
  PutBE32(out, static_cast<uint32_t>(NParams()));
  PutNameField(out, ProgramName(currentProgram));
  PutBE32(out, stateSize);
  out.insert(out.end(), state.Data(), state.Data() + state.Size());
  return WriteFile(path, out);
}

bool IPlugBase::SaveBankFile(const char* path) {
  if (path == nullptr || path[0] == '\0') return false;
  IChunk state;
  WriteChunkHeader(state);
  if (!SerializePresets(state)) return false;
  const uint32_t stateSize = static_cast<uint32_t>(state.Size());

  Bytes out;
  PutBE32(out, FourCC("CcnK"));
  PutBE32(out, stateSize + kBankHeaderSize);
  PutBE32(out, FourCC("FBCh"));
  PutBE32(out, 2);
  PutBE32(out, static_cast<uint32_t>(uniqueId));
  PutBE32(out, static_cast<uint32_t>(DecimalVersion()));
  PutBE32(out, static_cast<uint32_t>(NPrograms()));
  PutBE32(out, static_cast<uint32_t>(currentProgram));
  out.resize(out.size() + 124, 0);
  PutBE32(out, stateSize);
  out.insert(out.end(), state.Data(), state.Data() + state.Size());
  return WriteFile(path, out);
}

bool IPlugBase::LoadProgramFile(const char* path) {
  Bytes in;
  if (!ReadFile(path, &in)) return false;
  if (!Has(in, 0, kParamListOffset)) return false;
  if (GetBE32(in, 0) != FourCC("CcnK") || GetBE32(in, 12) != 1 ||
      GetBE32(in, 16) != static_cast<uint32_t>(uniqueId))
    return false;

  const uint32_t magic = GetBE32(in, 8);
  if (magic == FourCC("FPCh")) {
    const IChunk chunk = ToChunk(in);
    int pos = kProgramHeaderSize;
    ReadChunkHeader(chunk, &pos);
    LoadState(chunk, pos);
  } else if (magic == FourCC("FxCk")) {
    SetFromFloatList(*this, in, kParamListOffset);
  } else {
    return false;
  }

  ModifyCurrentPreset(GetNameField(in, 0).c_str());
  ApplyProgram(currentProgram);
  ReportProgramChange();
  return true;
}

bool IPlugBase::LoadBankFile(const char* path) {
  Bytes in;
  if (!ReadFile(path, &in)) return false;
  if (!Has(in, 0, kBankProgramsOffset)) return false;
  if (GetBE32(in, 0) != FourCC("CcnK") || GetBE32(in, 16) != static_cast<uint32_t>(uniqueId))
    return false;
  const int32_t programCount = static_cast<int32_t>(GetBE32(in, 24));
  const int32_t fileCurrent = static_cast<int32_t>(GetBE32(in, 28));

  const uint32_t magic = GetBE32(in, 8);
  if (magic == FourCC("FBCh")) {
    const IChunk chunk = ToChunk(in);
    int pos = kBankHeaderSize;
    ReadChunkHeader(chunk, &pos);
    UnserializePresets(chunk, pos);
    ReportProgramChange();
    return true;
  }
  if (magic != FourCC("FxBk")) return false;

  // Records beyond the store's 64 programs are ignored.
  const std::size_t recordSize = kParamListOffset + 4 * static_cast<std::size_t>(NParams());
  std::size_t offset = kBankProgramsOffset;
  for (int i = 0; i < programCount && i < NPrograms(); ++i, offset += recordSize) {
    if (!Has(in, offset, kParamListOffset)) return false;
    if (GetBE32(in, offset) != FourCC("CcnK") || GetBE32(in, offset + 8) != FourCC("FxCk") ||
        GetBE32(in, offset + 12) != 1 ||
        GetBE32(in, offset + 24) != static_cast<uint32_t>(NParams()))
      return false;
    ApplyProgram(i);
    SetFromFloatList(*this, in, offset + kParamListOffset);
    ModifyCurrentPreset(GetNameField(in, offset).c_str());
  }
  ApplyProgram(fileCurrent);
  ReportProgramChange();
  return true;
}

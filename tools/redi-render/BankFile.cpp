#include "BankFile.h"

#include <cstring>

namespace {

constexpr std::size_t kFileHeaderBytes = 160;
constexpr std::size_t kRecordHeaderBytes = 56;
constexpr uint8_t kChunkHeader[8] = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
constexpr char kStateTag[] = "REDI_1.1.1";

uint32_t BigEndian32(const uint8_t* b) {
  return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

bool Is(const uint8_t* b, const char* tag) { return std::memcmp(b, tag, 4) == 0; }

bool ReadParameterList(const std::vector<uint8_t>& bytes, uint32_t pluginId, int numParams,
                       BankFile* bank, std::string* error) {
  const uint32_t count = BigEndian32(&bytes[24]);
  const std::size_t recordBytes = kRecordHeaderBytes + 4 * static_cast<std::size_t>(numParams);
  std::size_t at = 156;
  for (uint32_t i = 0; i < count; ++i, at += recordBytes) {
    const std::string which = "program " + std::to_string(i);
    if (bytes.size() - at < recordBytes) {
      *error = "is cut off in " + which;
      return false;
    }
    const uint8_t* r = &bytes[at];
    if (!Is(r, "CcnK") || !Is(r + 8, "FxCk") || BigEndian32(r + 12) != 1 ||
        BigEndian32(r + 16) != pluginId ||
        BigEndian32(r + 24) != static_cast<uint32_t>(numParams)) {
      *error = "has a damaged record for " + which;
      return false;
    }
    BankFile::Program program;
    const char* name = reinterpret_cast<const char*>(r + 28);
    program.name.assign(name, strnlen(name, 28));
    for (int p = 0; p < numParams; ++p) {
      const uint32_t bits = BigEndian32(r + kRecordHeaderBytes + 4 * static_cast<std::size_t>(p));
      float value = 0.0f;
      std::memcpy(&value, &bits, sizeof value);
      program.values.push_back(value);
    }
    bank->programs.push_back(std::move(program));
  }
  bank->form = BankFile::Form::kParameterList;
  bank->currentProgram = static_cast<int>(BigEndian32(&bytes[28]));
  return true;
}

// Little-endian cursor over a bank state; false once anything runs past the end.
class ChunkCursor {
 public:
  explicit ChunkCursor(const std::vector<uint8_t>& bytes) : bytes(bytes) {}
  bool Skip(std::size_t n) {
    if (n > bytes.size() - pos) return false;
    pos += n;
    return true;
  }
  bool Int32(int32_t* v) {
    if (bytes.size() - pos < 4) return false;
    uint32_t u = 0;
    for (int i = 3; i >= 0; --i) u = (u << 8) | bytes[pos + static_cast<std::size_t>(i)];
    *v = static_cast<int32_t>(u);
    pos += 4;
    return true;
  }
  bool Text(std::string* text) {
    int32_t length = 0;
    if (!Int32(&length)) return false;
    if (length <= 0) return true;
    const auto n = static_cast<std::size_t>(length);
    if (n > bytes.size() - pos) return false;
    text->assign(reinterpret_cast<const char*>(&bytes[pos]), n);
    pos += n;
    return true;
  }
  bool Byte(uint8_t* v) {
    if (pos >= bytes.size()) return false;
    *v = bytes[pos++];
    return true;
  }
  bool AtEnd() const { return pos >= bytes.size(); }
  bool Matches(const char* text, std::size_t n) const {
    return bytes.size() - pos >= n && std::memcmp(&bytes[pos], text, n) == 0;
  }

 private:
  const std::vector<uint8_t>& bytes;
  std::size_t pos = 0;
};

// A program state as the plug-in saves it: tag, program index and name, the
// values, the WAV flag and, when it is set, the WAV path.
bool SkipState(ChunkCursor* c, int numParams) {
  const std::size_t tagBytes = sizeof kStateTag - 1;
  int32_t index = 0;
  std::string ignored;
  uint8_t wav = 0;
  if (!c->Matches(kStateTag, tagBytes) || !c->Skip(tagBytes) || !c->Int32(&index) ||
      !c->Text(&ignored) || !c->Skip(8 * static_cast<std::size_t>(numParams)) || !c->Byte(&wav))
    return false;
  return wav == 0 || c->Text(&ignored);
}

}  // namespace

std::string IdentifierText(uint32_t id) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = static_cast<char>((id >> shift) & 0xFFu);
    text += c >= 0x20 && c < 0x7F ? c : '?';
  }
  return text;
}

bool ReadBankFile(const std::vector<uint8_t>& bytes, uint32_t pluginId, int numParams,
                  BankFile* bank, std::string* error) {
  if (bytes.size() < kFileHeaderBytes || !Is(bytes.data(), "CcnK")) {
    *error = "is not a bank file";
    return false;
  }
  const uint32_t id = BigEndian32(&bytes[16]);
  if (id != pluginId) {
    *error = "is a bank of another plug-in (identifier '" + IdentifierText(id) + "', not '" +
             IdentifierText(pluginId) + "')";
    return false;
  }
  if (Is(&bytes[8], "FxBk")) return ReadParameterList(bytes, pluginId, numParams, bank, error);
  if (!Is(&bytes[8], "FBCh")) {
    *error = Is(&bytes[8], "FPCh") || Is(&bytes[8], "FxCk") ? "is a program file, not a bank"
                                                            : "is not a bank file";
    return false;
  }
  // The file reader takes the state with or without the framework header; a
  // host's chunk must have it to count as a bank.
  bank->form = BankFile::Form::kChunk;
  bank->chunk.assign(bytes.begin() + kFileHeaderBytes, bytes.end());
  const bool hasHeader =
      bank->chunk.size() >= 4 && std::memcmp(bank->chunk.data(), kChunkHeader, 4) == 0;
  if (!hasHeader) bank->chunk.insert(bank->chunk.begin(), kChunkHeader, kChunkHeader + 8);
  bank->currentProgram = static_cast<int>(BigEndian32(&bytes[28]));
  return true;
}

bool ProgramNamesInBankChunk(const std::vector<uint8_t>& chunk, int numParams,
                             std::vector<std::string>* names) {
  ChunkCursor c(chunk);
  if (!c.Matches(reinterpret_cast<const char*>(kChunkHeader), 4) || !c.Skip(8)) return false;
  names->clear();
  while (!c.AtEnd()) {
    std::string name;
    uint8_t initialised = 0;
    if (!c.Text(&name) || !c.Byte(&initialised) || (initialised != 0 && !SkipState(&c, numParams)))
      return false;
    names->push_back(name);
  }
  return !names->empty();
}

#pragma once

// Byte-level WAV builders and fixture paths shared by the WAV source tests.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

namespace wavtest {

using Bytes = std::vector<unsigned char>;

inline void PutU16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<unsigned char>(v & 0xFF));
  b.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}

inline void PutU32(Bytes& b, uint32_t v) {
  PutU16(b, v & 0xFFFF);
  PutU16(b, v >> 16);
}

// A chunk whose header declares `declaredSize` (default: the body's size),
// padded to even length as RIFF requires.
inline Bytes Chunk(const char* id, const Bytes& body, int64_t declaredSize = -1) {
  Bytes b(id, id + 4);
  PutU32(b, static_cast<uint32_t>(declaredSize < 0 ? body.size() : declaredSize));
  b.insert(b.end(), body.begin(), body.end());
  if (body.size() % 2 == 1) b.push_back(0);
  return b;
}

inline Bytes Fmt(uint32_t tag, uint32_t channels, uint32_t rate, uint32_t bits) {
  Bytes b;
  PutU16(b, tag);
  PutU16(b, channels);
  PutU32(b, rate);
  PutU32(b, rate * channels * bits / 8);
  PutU16(b, channels * bits / 8);
  PutU16(b, bits);
  return Chunk("fmt ", b);
}

inline Bytes Pcm16(std::initializer_list<int> samples) {
  Bytes b;
  for (int s : samples) PutU16(b, static_cast<uint32_t>(s) & 0xFFFF);
  return b;
}

inline Bytes Riff(std::initializer_list<Bytes> chunks, const char* form = "WAVE") {
  Bytes b{'R', 'I', 'F', 'F'};
  size_t size = 4;
  for (const Bytes& c : chunks) size += c.size();
  PutU32(b, static_cast<uint32_t>(size));
  b.insert(b.end(), form, form + 4);
  for (const Bytes& c : chunks) b.insert(b.end(), c.begin(), c.end());
  return b;
}

inline std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("redi_wav_test_" + name)).string();
}

inline std::string WriteTemp(const std::string& name, const Bytes& bytes) {
  const std::string path = TempPath(name);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f) {
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  return path;
}

inline Bytes ReadAll(const std::string& path) {
  Bytes b;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return b;
  unsigned char buf[4096];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) b.insert(b.end(), buf, buf + got);
  std::fclose(f);
  return b;
}

// Files written by sox at build time (tests/CMakeLists.txt).
inline std::string Fixture(const std::string& name) {
  return std::string(REDI_FIXTURES_DIR) + "/" + name + ".wav";
}

}  // namespace wavtest

#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Growable byte buffer for state. Writes append little-endian values; reads
// take a position and return the position after the item, or -1 when the
// item does not fit (the destination is then left unchanged).
class IChunk {
 public:
  bool PutInt32(int32_t v);
  bool PutDouble(double v);
  bool PutBool(bool v);
  bool PutText(const char* text);  // int32 length, then the bytes, no terminator
  bool PutBytes(const void* data, int size);

  int GetInt32(int32_t* v, int pos) const;
  int GetDouble(double* v, int pos) const;
  int GetBool(bool* v, int pos) const;
  // Length <= 0 gives the empty text and returns pos + 4 (a negative length
  // never moves backwards). A text whose bytes do not fit leaves *text
  // unchanged but still returns pos + 4 + length, or -1 past the int range.
  int GetText(std::string* text, int pos) const;
  int GetBytes(void* data, int size, int pos) const;

  bool Resize(int size);  // new bytes are zero; false when size < 0 or memory runs out
  void Clear() { bytes.clear(); }
  int Size() const { return static_cast<int>(bytes.size()); }
  uint8_t* Data() { return bytes.data(); }
  const uint8_t* Data() const { return bytes.data(); }

 private:
  std::vector<uint8_t> bytes;
};

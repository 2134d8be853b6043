#include "framework/IChunk.h"

#include <climits>
#include <cstring>
#include <new>

namespace {

// Byte by byte, so the layout is the same on any host.
void StoreLE(uint64_t v, int n, uint8_t* out) {
  for (int i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint64_t LoadLE(const uint8_t* in, int n) {
  uint64_t v = 0;
  for (int i = 0; i < n; ++i) v |= static_cast<uint64_t>(in[i]) << (8 * i);
  return v;
}

}  // namespace

bool IChunk::PutBytes(const void* data, int size) {
  if (size < 0 || (size > 0 && data == nullptr)) return false;
  if (size > INT_MAX - Size()) return false;
  const auto* p = static_cast<const uint8_t*>(data);
  try {
    bytes.insert(bytes.end(), p, p + size);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool IChunk::PutInt32(int32_t v) {
  uint8_t b[4];
  StoreLE(static_cast<uint32_t>(v), 4, b);
  return PutBytes(b, 4);
}

bool IChunk::PutDouble(double v) {
  uint64_t u;
  std::memcpy(&u, &v, sizeof u);
  uint8_t b[8];
  StoreLE(u, 8, b);
  return PutBytes(b, 8);
}

bool IChunk::PutBool(bool v) {
  const uint8_t b = v ? 1 : 0;
  return PutBytes(&b, 1);
}

bool IChunk::PutText(const char* text) {
  if (text == nullptr) text = "";
  const std::size_t length = std::strlen(text);
  if (length > static_cast<std::size_t>(INT_MAX - 4)) return false;
  const int n = static_cast<int>(length);
  return PutInt32(n) && PutBytes(text, n);
}

int IChunk::GetBytes(void* data, int size, int pos) const {
  // Written so that no sum can overflow: pos and size are checked against
  // what remains rather than added.
  if (pos < 0 || size < 0 || pos > Size() || size > Size() - pos) return -1;
  if (size > 0) std::memcpy(data, bytes.data() + pos, static_cast<std::size_t>(size));
  return pos + size;
}

int IChunk::GetInt32(int32_t* v, int pos) const {
  uint8_t b[4];
  const int end = GetBytes(b, 4, pos);
  if (end >= 0) *v = static_cast<int32_t>(static_cast<uint32_t>(LoadLE(b, 4)));
  return end;
}

int IChunk::GetDouble(double* v, int pos) const {
  uint8_t b[8];
  const int end = GetBytes(b, 8, pos);
  if (end >= 0) {
    const uint64_t u = LoadLE(b, 8);
    std::memcpy(v, &u, sizeof u);
  }
  return end;
}

int IChunk::GetBool(bool* v, int pos) const {
  uint8_t b = 0;
  const int end = GetBytes(&b, 1, pos);
  if (end >= 0) *v = b != 0;
  return end;
}

int IChunk::GetText(std::string* text, int pos) const {
  int32_t length = 0;
  const int start = GetInt32(&length, pos);
  if (start < 0) return -1;
  if (length <= 0) {
    text->clear();
    return start;
  }
  if (length <= Size() - start) {
    text->assign(reinterpret_cast<const char*>(bytes.data()) + start,
                 static_cast<std::size_t>(length));
  }
  if (length > INT_MAX - start) return -1;
  return start + length;
}

bool IChunk::Resize(int size) {
  if (size < 0) return false;
  try {
    bytes.resize(static_cast<std::size_t>(size), 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

#include "framework/Text.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>

std::size_t Utf8FitLength(const char* src, std::size_t maxBytes) {
  std::size_t n = 0;
  while (n < maxBytes && src[n] != '\0') ++n;
  if (n == 0 || src[n] == '\0') return n;
  // Cut point falls inside the text: step back over continuation bytes to the
  // lead byte, and drop that character if its sequence does not fit whole.
  std::size_t lead = n;
  while (lead > 0 && (static_cast<unsigned char>(src[lead]) & 0xC0u) == 0x80u) --lead;
  return lead;
}

char* CopyText(char* dst, std::size_t dstSize, const char* src) {
  if (dstSize == 0) return dst;
  if (src == nullptr) src = "";
  const std::size_t n = Utf8FitLength(src, dstSize - 1);
  std::memmove(dst, src, n);
  dst[n] = '\0';
  return dst;
}

int FormatFixed(char* dst, std::size_t size, double value, int precision) {
  if (size == 0) return 0;
  char buf[400];
  int len = 0;
  if (std::isnan(value)) {
    std::memcpy(buf, "nan", 3);
    len = 3;
  } else if (std::isinf(value)) {
    len = value < 0 ? 4 : 3;
    std::memcpy(buf, value < 0 ? "-inf" : "inf", static_cast<std::size_t>(len));
  } else {
    if (precision < 0) precision = 0;
    if (precision > 17) precision = 17;
    const auto result =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, precision);
    len = result.ec == std::errc() ? static_cast<int>(result.ptr - buf) : 0;
  }
  if (static_cast<std::size_t>(len) >= size) len = static_cast<int>(size - 1);
  std::memcpy(dst, buf, static_cast<std::size_t>(len));
  dst[len] = '\0';
  return len;
}

bool ParseLeadingNumber(const char* text, double* value) {
  *value = 0.0;
  if (text == nullptr) return false;
  while (*text != '\0' && std::isspace(static_cast<unsigned char>(*text))) ++text;
  const char* start = text;
  // from_chars refuses a leading '+'; skip it ourselves.
  if (*start == '+' && (start[1] == '-' || start[1] == '+')) return false;
  if (*start == '+') ++start;
  double parsed = 0.0;
  const auto result =
      std::from_chars(start, start + std::strlen(start), parsed, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large or too small for a double: infinity or zero with its sign.
    const bool negative = *start == '-';
    *value = 0.0;
    const char* p = start + (negative ? 1 : 0);
    bool tiny = true;  // decide by the exponent sign when present
    for (const char* q = p; q < result.ptr; ++q)
      if (*q == 'e' || *q == 'E') tiny = q[1] == '-';
    parsed = tiny ? 0.0 : HUGE_VAL;
    *value = negative ? -parsed : parsed;
    return true;
  }
  if (result.ec != std::errc()) return false;
  *value = parsed;
  return true;
}

bool EqualsIgnoringCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    const int ca = std::tolower(static_cast<unsigned char>(*a));
    const int cb = std::tolower(static_cast<unsigned char>(*b));
    if (ca != cb) return false;
    if (ca == 0) return true;
  }
}

#include "framework/vst3/Utf16.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at text and moves past it (one byte when it is
// malformed: overlong, a surrogate, beyond U+10FFFF or cut short).
char32_t DecodeUtf8(const unsigned char*& text) {
  const unsigned char lead = *text++;
  if (lead < 0x80) return lead;
  int length = 0;
  char32_t code = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 1;
    code = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 2;
    code = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 3;
    code = lead & 0x07;
  } else {
    return kReplacement;
  }
  const unsigned char* p = text;
  for (int i = 0; i < length; ++i, ++p) {
    if ((*p & 0xC0) != 0x80) return kReplacement;
    code = (code << 6) | (*p & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
    return kReplacement;
  text = p;
  return code;
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

void ToUtf16(const char* text, char16_t* out, std::size_t capacity) {
  if (out == nullptr || capacity == 0) return;
  std::size_t n = 0;
  const auto* p = reinterpret_cast<const unsigned char*>(text != nullptr ? text : "");
  while (*p != 0) {
    const char32_t code = DecodeUtf8(p);
    const std::size_t units = code >= 0x10000 ? 2 : 1;
    if (n + units >= capacity) break;
    if (units == 2) {
      out[n++] = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      out[n++] = static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      out[n++] = static_cast<char16_t>(code);
    }
  }
  out[n] = u'\0';
}

std::string FromUtf16(const char16_t* text, std::size_t maxUnits) {
  std::string out;
  if (text == nullptr) return out;
  for (std::size_t i = 0; i < maxUnits && text[i] != u'\0'; ++i) {
    char32_t code = text[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < maxUnits && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = kReplacement;
    }
    AppendUtf8(out, code);
  }
  return out;
}

#ifndef _WIN32
#include <cstdio>
#include <string_view>
#include <vector>

#include "framework/platform/IniFile.h"

namespace {

// A configuration file is a few kilobytes; anything far larger is not one and
// is neither read nor rewritten.
constexpr long kMaxFileBytes = 16L << 20;
constexpr std::string_view kSpace = " \t\r\v\f\x1a";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// The file as lines without their terminators. Lines are rewritten with the
// file's own line ending, so a file from Windows keeps CRLF.
struct Document {
  std::vector<std::string> lines;
  std::string newline = "\n";
};

enum class LineKind { kOther, kSection, kKey };

struct ParsedLine {
  LineKind kind = LineKind::kOther;
  std::string_view name;
  std::string_view value;
};

std::string_view Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

ParsedLine Parse(std::string_view line, bool firstLine) {
  if (firstLine && line.substr(0, kUtf8Mark.size()) == kUtf8Mark)
    line.remove_prefix(kUtf8Mark.size());
  const std::string_view text = Trim(line);
  ParsedLine parsed;
  if (text.empty() || text[0] == ';') return parsed;
  if (text[0] == '[') {
    const size_t close = text.rfind(']');
    if (close == std::string_view::npos) return parsed;  // neither header nor key
    parsed.kind = LineKind::kSection;
    parsed.name = Trim(text.substr(1, close - 1));
    return parsed;
  }
  const size_t equals = text.find('=');
  parsed.kind = LineKind::kKey;
  parsed.name = Trim(text.substr(0, equals));
  if (equals != std::string_view::npos) parsed.value = Trim(text.substr(equals + 1));
  return parsed;
}

ParsedLine ParseAt(const Document& document, size_t index) {
  return Parse(document.lines[index], index == 0);
}

// Reads the file; a missing file reads as an empty document. False when the
// file exists but cannot be read whole.
bool Load(const std::string& path, Document* document) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return true;
  std::string content;
  char chunk[4096];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    content.append(chunk, got);
    if (content.size() > static_cast<size_t>(kMaxFileBytes)) break;
  }
  const bool complete =
      std::ferror(file) == 0 && content.size() <= static_cast<size_t>(kMaxFileBytes);
  std::fclose(file);
  if (!complete) return false;

  const size_t firstBreak = content.find('\n');
  if (firstBreak != std::string::npos && firstBreak > 0 && content[firstBreak - 1] == '\r') {
    document->newline = "\r\n";
  }
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    const size_t next = end == std::string::npos ? content.size() : end + 1;
    if (end == std::string::npos) end = content.size();
    if (end > start && content[end - 1] == '\r') --end;
    document->lines.emplace_back(content, start, end - start);
    start = next;
  }
  return true;
}

bool Save(const Document& document, const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = true;
  for (const std::string& line : document.lines) {
    ok = ok && std::fwrite(line.data(), 1, line.size(), file) == line.size();
    ok = ok && std::fwrite(document.newline.data(), 1, document.newline.size(), file) ==
                   document.newline.size();
  }
  return std::fclose(file) == 0 && ok;
}

// Index of the first header of the section, or npos.
size_t FindSection(const Document& document, std::string_view section) {
  for (size_t i = 0; i < document.lines.size(); ++i) {
    const ParsedLine parsed = ParseAt(document, i);
    if (parsed.kind == LineKind::kSection && SameName(parsed.name, section)) return i;
  }
  return std::string::npos;
}

// One past the last line of the section whose header is at header.
size_t SectionEnd(const Document& document, size_t header) {
  size_t i = header + 1;
  while (i < document.lines.size() && ParseAt(document, i).kind != LineKind::kSection) ++i;
  return i;
}

// Index of the first matching key line in the section, or npos.
size_t FindKey(const Document& document, size_t header, std::string_view key) {
  const size_t end = SectionEnd(document, header);
  for (size_t i = header + 1; i < end; ++i) {
    const ParsedLine parsed = ParseAt(document, i);
    if (parsed.kind == LineKind::kKey && SameName(parsed.name, key)) return i;
  }
  return std::string::npos;
}

// Surrounding white space of the value is not written: reading drops it anyway.
void SetKey(Document* document, std::string_view section, std::string_view key,
            std::string_view value) {
  value = Trim(value);
  std::vector<std::string>& lines = document->lines;
  const size_t header = FindSection(*document, section);
  if (header == std::string::npos) {
    lines.push_back("[" + std::string(section) + "]");
    lines.push_back(std::string(key) + "=" + std::string(value));
    return;
  }
  const size_t keyLine = FindKey(*document, header, key);
  if (keyLine != std::string::npos) {
    // The key keeps the spelling it has in the file.
    const std::string name(ParseAt(*document, keyLine).name);
    lines[keyLine] = name + "=" + std::string(value);
    return;
  }
  // New keys go after the section's last non-blank line, before any blank
  // lines that separate it from the next section.
  size_t insertAt = SectionEnd(*document, header);
  while (insertAt > header + 1 && Trim(lines[insertAt - 1]).empty()) --insertAt;
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
               std::string(key) + "=" + std::string(value));
}

std::string CutValue(std::string_view value, int maxChars) {
  value = value.substr(0, value.find('\0'));
  const size_t limit = maxChars > 0 ? static_cast<size_t>(maxChars) : 0;
  return std::string(value.substr(0, limit));
}

// Removes one pair of matching single or double quotes around the value.
std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

namespace IniFile {

std::string GetString(const char* section, const char* key, const char* defaultValue, int maxChars,
                      const std::string& path) {
  // Trailing white space of the default is dropped, as the value's is.
  std::string_view fallback = defaultValue != nullptr ? defaultValue : "";
  fallback = fallback.substr(0, fallback.find_last_not_of(kSpace) + 1);
  if (section == nullptr || key == nullptr) return CutValue(fallback, maxChars);
  Document document;
  if (!Load(path, &document)) return CutValue(fallback, maxChars);
  const size_t header = FindSection(document, Trim(section));
  if (header == std::string::npos) return CutValue(fallback, maxChars);
  const size_t keyLine = FindKey(document, header, Trim(key));
  if (keyLine == std::string::npos) return CutValue(fallback, maxChars);
  return CutValue(Unquote(ParseAt(document, keyLine).value), maxChars);
}

bool WriteString(const char* section, const char* key, const char* value, const std::string& path) {
  if (section == nullptr || key == nullptr || value == nullptr) return false;
  Document document;
  if (!Load(path, &document)) return false;
  SetKey(&document, Trim(section), Trim(key), value);
  return Save(document, path);
}

bool WriteSection(const char* section, const char* body, const std::string& path) {
  if (section == nullptr || body == nullptr) return false;
  Document document;
  if (!Load(path, &document)) return false;
  bool changed = false;
  const size_t header = FindSection(document, Trim(section));
  if (header != std::string::npos) {
    const size_t end = SectionEnd(document, header);
    document.lines.erase(document.lines.begin() + static_cast<std::ptrdiff_t>(header + 1),
                         document.lines.begin() + static_cast<std::ptrdiff_t>(end));
    changed = true;
  }
  for (const char* entry = body; *entry != '\0'; entry += std::string_view(entry).size() + 1) {
    const std::string_view text = entry;
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos) continue;
    SetKey(&document, Trim(section), Trim(text.substr(0, equals)), text.substr(equals + 1));
    changed = true;
  }
  return !changed || Save(document, path);
}

}  // namespace IniFile
#endif

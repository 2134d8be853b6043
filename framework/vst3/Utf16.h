#pragma once

#include <cstddef>
#include <string>

// VST 3 texts are UTF-16 on every system; the plug-in's own are UTF-8.

// Writes text into out (capacity units, terminator included), cut so that no
// surrogate pair is split. Malformed UTF-8 turns into U+FFFD.
void ToUtf16(const char* text, char16_t* out, std::size_t capacity);

// Reads up to the terminator or maxUnits units; an unpaired surrogate turns
// into U+FFFD.
std::string FromUtf16(const char16_t* text, std::size_t maxUnits);

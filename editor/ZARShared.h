#pragma once

#include <cstddef>
#include <string>

#include "editor/IGraphicsStructs.h"

class IParameter;

// Text styles of REDI's own controls.
IText KnobValueStyle();
IText KnobValueAtZeroStyle();
IText SelectorStyle();
IText SelectorErrorStyle();
IText ProgramStyle();
IText VersionStyle();

// The text cut to at most maxBytes without splitting a UTF-8 character, for
// every text shown in a box of fixed size.
std::string FitText(const std::string& text, std::size_t maxBytes);

// Menu items that show a file's path are cut to this many bytes.
constexpr std::size_t kMenuTextMax = 259;

// A message that names a file or folder: `format` holds one "%s". The result
// is at most kMessageTextMax bytes and ends on a whole UTF-8 character.
constexpr std::size_t kMessageTextMax = 1024;
std::string FormatMessageWithPath(const char* format, const std::string& path);

// A plain value limited to the parameter's range, as a control's 0...1 value.
double NormalizedFromPlain(const IParameter& param, double plain);

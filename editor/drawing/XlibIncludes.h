#pragma once

// Xlib for the X11 editor. Xlib's macro None would turn the drawing layer's
// LICE_Blend::None into a number, so files include Xlib through here and
// write kXNone instead.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/keysym.h>

constexpr unsigned long kXNone = 0;
#undef None

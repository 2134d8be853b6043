#pragma once

#include <cstddef>

#include "editor/drawing/LICE.h"

// Decodes a PNG in memory into a new bitmap the caller owns. nullptr for
// anything that is not a sane PNG: short, wrong signature, truncated, corrupt,
// or wider or taller than kLiceMaxBitmapSide.
LICE_IBitmap* LICE_LoadPNGFromMemory(const unsigned char* data, std::size_t size);

// The process-wide bitmap cache, guarded by its own lock and emptied when the
// library unloads. Returns the bitmap of the resource of type "PNG" with this
// numeric id, decoding it on first use; nullptr unless `name` ends in "png"
// after its last "." (in any case) and the resource decodes. The cache owns the
// bitmap.
LICE_IBitmap* LoadCachedBitmap(int resourceId, const char* name);

// For tests: puts a bitmap under an id, replacing (and destroying) what was
// there; the cache takes ownership. nullptr just removes the entry.
void CacheBitmapForTest(int resourceId, LICE_IBitmap* bitmap);
// For tests: destroys every cached bitmap.
void EmptyBitmapCacheForTest();

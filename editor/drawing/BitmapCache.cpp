#include "editor/drawing/BitmapCache.h"

#include <cctype>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "framework/platform/RecursiveLock.h"
#include "framework/platform/Resources.h"

namespace {

// Bitmaps stay until the library unloads: the destructor of this static
// object runs then and destroys them.
class BitmapCache {
 public:
  LICE_IBitmap* Find(int id) {
    ScopedLock hold(lock);
    for (auto& entry : entries) {
      if (entry.first == id) return entry.second.get();
    }
    return nullptr;
  }

  // Keeps `bitmap` under `id` unless another thread got there first; returns
  // the bitmap that is now cached.
  LICE_IBitmap* Add(int id, std::unique_ptr<LICE_IBitmap> bitmap) {
    ScopedLock hold(lock);
    for (auto& entry : entries) {
      if (entry.first == id) return entry.second.get();
    }
    entries.emplace_back(id, std::move(bitmap));
    return entries.back().second.get();
  }

  void Replace(int id, std::unique_ptr<LICE_IBitmap> bitmap) {
    ScopedLock hold(lock);
    for (auto it = entries.begin(); it != entries.end(); ++it) {
      if (it->first == id) {
        entries.erase(it);
        break;
      }
    }
    if (bitmap) entries.emplace_back(id, std::move(bitmap));
  }

  void Clear() {
    ScopedLock hold(lock);
    entries.clear();
  }

 private:
  RecursiveLock lock;
  std::vector<std::pair<int, std::unique_ptr<LICE_IBitmap>>> entries;
};

BitmapCache& Cache() {
  static BitmapCache cache;
  return cache;
}

bool NameIsPng(const char* name) {
  if (name == nullptr) return false;
  const char* dot = std::strrchr(name, '.');
  if (dot == nullptr || std::strlen(dot + 1) != 3) return false;
  const char* ext = dot + 1;
  return std::tolower(static_cast<unsigned char>(ext[0])) == 'p' &&
         std::tolower(static_cast<unsigned char>(ext[1])) == 'n' &&
         std::tolower(static_cast<unsigned char>(ext[2])) == 'g';
}

}  // namespace

LICE_IBitmap* LoadCachedBitmap(int resourceId, const char* name) {
  if (!NameIsPng(name)) return nullptr;
  BitmapCache& cache = Cache();
  if (LICE_IBitmap* cached = cache.Find(resourceId)) return cached;
  const unsigned char* data = nullptr;
  std::size_t size = 0;
  if (!FindLibraryResourceById("PNG", resourceId, &data, &size)) return nullptr;
  std::unique_ptr<LICE_IBitmap> bitmap(LICE_LoadPNGFromMemory(data, size));
  if (!bitmap) return nullptr;
  return cache.Add(resourceId, std::move(bitmap));
}

void CacheBitmapForTest(int resourceId, LICE_IBitmap* bitmap) {
  Cache().Replace(resourceId, std::unique_ptr<LICE_IBitmap>(bitmap));
}

void EmptyBitmapCacheForTest() { Cache().Clear(); }

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "editor/drawing/BitmapCache.h"

namespace {

constexpr std::size_t kSignatureSize = 8;

struct MemoryReader {
  const unsigned char* data;
  std::size_t size;
  std::size_t position;
};

// Data that ends early is an error, never a read past the buffer.
void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
  MemoryReader* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (length > reader->size - reader->position) png_error(png, "truncated");
  std::memcpy(out, reader->data + reader->position, length);
  reader->position += length;
}

// There is no log: a damaged image just yields no bitmap, silently.
void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

struct RgbaImage {
  unsigned char* bytes;  // R, G, B, A per pixel, rows top to bottom; malloc'd
  png_uint_32 width;
  png_uint_32 height;
};

// libpng reports errors by longjmp, so this function holds no object with a
// destructor, and what it allocates after setjmp is in volatile pointers.
bool DecodeToRgba(const unsigned char* data, std::size_t size, RgbaImage* image) {
  MemoryReader reader = {data, size, 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  unsigned char* volatile bytes = nullptr;
  png_bytep* volatile rows = nullptr;
  if (setjmp(png_jmpbuf(png))) {
    std::free(bytes);
    std::free(rows);
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  // Refuse absurd sizes before libpng allocates anything for the rows.
  png_set_user_limits(png, kLiceMaxBitmapSide, kLiceMaxBitmapSide);
  png_set_read_fn(png, &reader, ReadFromMemory);
  png_read_info(png, info);

  png_uint_32 width = 0, height = 0;
  int depth = 0, colourType = 0;
  png_get_IHDR(png, info, &width, &height, &depth, &colourType, nullptr, nullptr, nullptr);
  if (width == 0 || height == 0 || width > kLiceMaxBitmapSide || height > kLiceMaxBitmapSide) {
    png_error(png, "size");
  }
  // Whatever the stored format, deliver 8-bit R, G, B, A.
  png_set_expand(png);  // palettes, grey below 8 bits, tRNS -> alpha
  png_set_scale_16(png);
  if (!(colourType & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);  // only where there is none
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<png_size_t>(width) * 4u) {
    png_error(png, "unexpected row layout");
  }

  bytes = static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(width) * height * 4u));
  rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
  if (bytes == nullptr || rows == nullptr) png_error(png, "out of memory");
  for (png_uint_32 y = 0; y < height; ++y)
    rows[y] = bytes + static_cast<std::size_t>(y) * width * 4u;
  png_read_image(png, rows);
  png_read_end(png, nullptr);

  std::free(rows);
  png_destroy_read_struct(&png, &info, nullptr);
  image->bytes = bytes;
  image->width = width;
  image->height = height;
  return true;
}

}  // namespace

LICE_IBitmap* LICE_LoadPNGFromMemory(const unsigned char* data, std::size_t size) {
  if (data == nullptr || size < kSignatureSize || png_sig_cmp(data, 0, kSignatureSize) != 0) {
    return nullptr;
  }
  RgbaImage image = {};
  if (!DecodeToRgba(data, size, &image)) return nullptr;
  LICE_MemBitmap* bitmap =
      new LICE_MemBitmap(static_cast<int>(image.width), static_cast<int>(image.height));
  if (bitmap->getBits() == nullptr) {
    delete bitmap;
    std::free(image.bytes);
    return nullptr;
  }
  for (png_uint_32 y = 0; y < image.height; ++y) {
    const unsigned char* in = image.bytes + static_cast<std::size_t>(y) * image.width * 4u;
    LICE_pixel* out = bitmap->getBits() + static_cast<std::size_t>(y) * bitmap->getRowSpan();
    for (png_uint_32 x = 0; x < image.width; ++x, in += 4) {
      out[x] = LICE_RGBA(in[0], in[1], in[2], in[3]);
    }
  }
  std::free(image.bytes);
  return bitmap;
}

#include "png_image.h"

#include <png.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace intro {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

void write_png(const std::string& path, int width, int height, int bit_depth, const unsigned char* rows_bottom_first,
               std::size_t row_bytes) {
  File file(std::fopen(path.c_str(), "wb"));
  if (!file) throw std::runtime_error("cannot open " + path + " for writing");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    throw std::runtime_error("libpng could not start writing " + path);
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("libpng failed writing " + path);
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), bit_depth,
               PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  if (bit_depth == 16) png_set_swap(png);  // PNG stores 16-bit samples big-endian
  for (int y = height - 1; y >= 0; --y) {
    png_write_row(png, const_cast<unsigned char*>(rows_bottom_first + static_cast<std::size_t>(y) * row_bytes));
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fflush(file.get()) != 0 || std::ferror(file.get())) throw std::runtime_error("error writing " + path);
}

}  // namespace

void write_png_rgba8(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba) {
  if (rgba.size() != static_cast<std::size_t>(width) * height * 4) throw std::invalid_argument("image size mismatch");
  write_png(path, width, height, 8, rgba.data(), static_cast<std::size_t>(width) * 4);
}

void write_png_rgba16(const std::string& path, int width, int height, const std::vector<std::uint16_t>& rgba) {
  if (rgba.size() != static_cast<std::size_t>(width) * height * 4) throw std::invalid_argument("image size mismatch");
  write_png(path, width, height, 16, reinterpret_cast<const unsigned char*>(rgba.data()),
            static_cast<std::size_t>(width) * 8);
}

std::vector<std::uint8_t> read_png_rgba8(const std::string& path, int& width, int& height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    throw std::runtime_error("cannot read PNG " + path + ": " + image.message);
  }
  image.format = PNG_FORMAT_RGBA;
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
  // A negative stride makes libpng fill rows bottom first.
  const int stride = -static_cast<int>(PNG_IMAGE_ROW_STRIDE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), stride, nullptr)) {
    throw std::runtime_error("cannot decode PNG " + path + ": " + image.message);
  }
  return pixels;
}

}  // namespace intro

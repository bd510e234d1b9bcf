#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace intro {

// PNG files for the renderer and the tests. Pixel rows are passed bottom
// first, as GL reads them back; files are written top row first.
void write_png_rgba8(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba);
void write_png_rgba16(const std::string& path, int width, int height, const std::vector<std::uint16_t>& rgba);

// Reads an 8-bit RGBA or RGB PNG as RGBA8, rows bottom first.
std::vector<std::uint8_t> read_png_rgba8(const std::string& path, int& width, int& height);

}  // namespace intro

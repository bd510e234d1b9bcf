#include "soundtrack.h"

#include <cstdio>
#include <stdexcept>
#include <vector>

namespace intro {
namespace {

void put_u32(std::FILE* out, std::uint32_t v) {
  const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                              static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
  std::fwrite(b, 1, 4, out);
}
void put_u16(std::FILE* out, std::uint16_t v) {
  const unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
  std::fwrite(b, 1, 2, out);
}

}  // namespace

// Until the audio exporter is available here this writes silence of the
// right length (32-bit float stereo at 44,100 Hz).
void write_soundtrack_wav(const std::string& path, std::int64_t, std::int64_t count) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) throw std::runtime_error("cannot write the soundtrack to " + path);
  const std::uint32_t data_bytes = static_cast<std::uint32_t>(count * 8);
  std::fwrite("RIFF", 1, 4, out);
  put_u32(out, 36 + data_bytes);
  std::fwrite("WAVEfmt ", 1, 8, out);
  put_u32(out, 16);
  put_u16(out, 3);  // IEEE float
  put_u16(out, 2);
  put_u32(out, 44100);
  put_u32(out, 44100 * 8);
  put_u16(out, 8);
  put_u16(out, 32);
  std::fwrite("data", 1, 4, out);
  put_u32(out, data_bytes);
  const std::vector<float> zeros(static_cast<std::size_t>(count) * 2, 0.0f);
  std::fwrite(zeros.data(), sizeof(float), zeros.size(), out);
  if (std::fclose(out) != 0) throw std::runtime_error("cannot write the soundtrack to " + path);
}

}  // namespace intro

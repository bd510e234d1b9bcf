#include "song_export.h"

#include <sndfile.h>

#include <cmath>
#include <stdexcept>

#include "shader_build.h"

namespace intro {
namespace {

// Fragment (x, y) of the grid computes sample frame v + 2048 y + x and stores
// it at that offset of the chunk's buffer, in both channels. `v` carries the
// chunk's first frame, as it carries the playback position in the intro.
const char* const kExportMain = R"(
void main()
{
    int offset = int(gl_FragCoord.y) * 2048 + int(gl_FragCoord.x);
    float value = song_sample(v + offset);
    snd[offset] = vec2(value, value);
    f = vec4(0.0);
}
)";

}  // namespace

std::size_t sample_of_time(double seconds) { return static_cast<std::size_t>(std::llround(seconds * 44100.0)); }

SongRenderer::SongRenderer(const std::string& library)
    : kernel_(library.empty() ? kernel_source(kExportMain) : library + kExportMain), buffer_(kChunk * 2, 0.0f) {}

std::vector<float> SongRenderer::render(std::size_t first, std::size_t count,
                                        const std::function<void(std::size_t)>& chunk_done) {
  if (first + count > 0x7fffffffu - kChunk) throw std::out_of_range("sample index beyond the shader's int range");
  std::vector<float> out(count);
  for (std::size_t done = 0; done < count;) {
    const std::size_t n = std::min(kChunk, count - done);
    const int rows = static_cast<int>((n + kGridWidth - 1) / kGridWidth);
    buffer_.bind(0);
    kernel_.run(kGridWidth, rows, [&] { glUniform1i(1, static_cast<GLint>(first + done)); });
    const std::vector<float> frames = buffer_.read(0, n * 2);
    for (std::size_t i = 0; i < n; ++i) out[done + i] = frames[2 * i];
    done += n;
    if (chunk_done) chunk_done(done);
  }
  return out;
}

void write_song_wav(const std::string& path, std::size_t first, std::size_t count,
                    const std::function<void(std::size_t)>& progress) {
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) throw std::runtime_error("cannot write " + path + ": " + sf_strerror(nullptr));

  SongRenderer renderer;
  std::vector<float> stereo;
  std::string failure;
  for (std::size_t done = 0; done < count && failure.empty();) {
    const std::size_t n = std::min(SongRenderer::kChunk, count - done);
    const std::vector<float> mono = renderer.render(first + done, n);
    stereo.resize(n * 2);
    for (std::size_t i = 0; i < n; ++i) stereo[2 * i] = stereo[2 * i + 1] = mono[i];
    if (sf_writef_float(file, stereo.data(), static_cast<sf_count_t>(n)) != static_cast<sf_count_t>(n)) {
      failure = std::string("writing ") + path + " failed: " + sf_strerror(file);
    }
    done += n;
    if (progress) progress(done);
  }
  if (sf_close(file) != 0 && failure.empty()) failure = "closing " + path + " failed";
  if (!failure.empty()) throw std::runtime_error(failure);
}

}  // namespace intro

#include "soundtrack.h"

#include "song_export.h"

namespace intro {

// The video's soundtrack is the audio export's: the shader's own song code,
// run on the GPU for exactly this range.
void write_soundtrack_wav(const std::string& path, std::int64_t first, std::int64_t count) {
  write_song_wav(path, static_cast<std::size_t>(first), static_cast<std::size_t>(count));
}

}  // namespace intro

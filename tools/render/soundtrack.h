#pragma once
#include <cstdint>
#include <string>

namespace intro {

// Writes the soundtrack's sample frames [first, first + count) as a WAV file
// at `path`, for the video command's second ffmpeg input.
void write_soundtrack_wav(const std::string& path, std::int64_t first, std::int64_t count);

}  // namespace intro

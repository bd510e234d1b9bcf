#pragma once
// The song played from a buffer through SDL's audio device. The number of
// sample frames handed to the device is the viewer's clock while it plays,
// as the device's position is the intro's.
#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace view {

struct AudioOut {
  SDL_AudioDeviceID device = 0;
  // The song, one value per sample frame (both channels carry it). Replaced
  // only with the device locked.
  std::vector<float> song;
  std::atomic<std::int32_t> position{0};
  std::string driver;
};

// Opens the default device for 32-bit float stereo at 44,100 Hz, paused.
// Returns 0 with `why` filled when there is none; the viewer then plays
// silent on the wall clock.
int audio_init(AudioOut& audio, std::string& why);
void audio_shutdown(AudioOut& audio);

void audio_set_song(AudioOut& audio, std::vector<float> song);
void audio_seek(AudioOut& audio, std::int32_t position);
void audio_pause(AudioOut& audio, bool paused);
std::int32_t audio_position(const AudioOut& audio);

}  // namespace view

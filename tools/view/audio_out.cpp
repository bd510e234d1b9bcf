#include "audio_out.h"

#include <algorithm>
#include <cstring>

#include "cut_table.h"

namespace view {
namespace {

void SDLCALL fill_stream(void* user, Uint8* bytes, int length) {
  AudioOut& audio = *static_cast<AudioOut*>(user);
  float* out = reinterpret_cast<float*>(bytes);
  const int frames = length / 8;
  std::int32_t p = audio.position.load();
  const std::int32_t available = static_cast<std::int32_t>(std::min<std::size_t>(audio.song.size(), kEndPosition));
  for (int i = 0; i < frames; ++i) {
    // Past the buffer's end the device plays silence and the clock stays
    // at the end, as the intro's does.
    const float value = p < available ? audio.song[static_cast<std::size_t>(p)] : 0.0f;
    out[2 * i] = out[2 * i + 1] = value;
    if (p < kEndPosition) ++p;
  }
  audio.position.store(p);
}

}  // namespace

int audio_init(AudioOut& audio, std::string& why) {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    why = std::string("no audio driver (") + SDL_GetError() + ")";
    return 0;
  }
  SDL_AudioSpec want{};
  want.freq = kSampleRate;
  want.format = AUDIO_F32SYS;
  want.channels = 2;
  want.samples = 1024;
  want.callback = fill_stream;
  want.userdata = &audio;
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts to whatever the device takes.
  audio.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (audio.device == 0) {
    why = std::string("no audio device (") + SDL_GetError() + ")";
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return 0;
  }
  const char* driver = SDL_GetCurrentAudioDriver();
  audio.driver = driver ? driver : "?";
  return 1;
}

void audio_shutdown(AudioOut& audio) {
  if (audio.device != 0) {
    SDL_CloseAudioDevice(audio.device);
    audio.device = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
}

void audio_set_song(AudioOut& audio, std::vector<float> song) {
  if (audio.device != 0) SDL_LockAudioDevice(audio.device);
  audio.song = std::move(song);
  if (audio.device != 0) SDL_UnlockAudioDevice(audio.device);
}

void audio_seek(AudioOut& audio, std::int32_t position) {
  if (audio.device != 0) SDL_LockAudioDevice(audio.device);
  audio.position.store(position);
  if (audio.device != 0) SDL_UnlockAudioDevice(audio.device);
}

void audio_pause(AudioOut& audio, bool paused) {
  if (audio.device != 0) SDL_PauseAudioDevice(audio.device, paused ? 1 : 0);
}

std::int32_t audio_position(const AudioOut& audio) { return audio.position.load(); }

}  // namespace view

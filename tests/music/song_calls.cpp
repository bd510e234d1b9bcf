#include "song_calls.h"

#include <algorithm>
#include <stdexcept>

#include "kernel.h"
#include "shader_pieces.h"

namespace music_test {
namespace {

constexpr int kCapacity = 32;     // calls recorded per sample
constexpr int kBatch = 256;       // sample indices per kernel run
constexpr int kFloatsPerCall = 6; // kind, four arguments, the real result

// Stand-ins, compiled after the real instruments and before the
// arrangement, which sees them through the macros below. Each call is logged
// with its arguments and the real instrument's result; it returns 1 if it is
// call number probe_hot and 0 otherwise, or, with probe_hot = -2, the real
// result.
const char* const kStandIns = R"(
uniform int probe_hot;
const int PROBE_CAPACITY = 32;
int probe_count = 0;
vec4 probe_args[PROBE_CAPACITY];
float probe_kind[PROBE_CAPACITY];
float probe_real[PROBE_CAPACITY];

float probe_log(float kind, vec4 args, float real_value)
{
    int n = probe_count;
    if (n < PROBE_CAPACITY) {
        probe_kind[n] = kind;
        probe_args[n] = args;
        probe_real[n] = real_value;
    }
    probe_count = n + 1;
    if (probe_hot == -2) return real_value;
    return n == probe_hot ? 1.0 : 0.0;
}

float probe_partial_voice(float freq, float t, float decay)
{
    return probe_log(1.0, vec4(freq, t, decay, 0.0), partial_voice(freq, t, decay));
}
float probe_partial_voice_gated(float freq, float t, float gate, float slope)
{
    return probe_log(2.0, vec4(freq, t, gate, slope), partial_voice_gated(freq, t, gate, slope));
}
float probe_noise_hit(float t) { return probe_log(3.0, vec4(t, 0.0, 0.0, 0.0), noise_hit(t)); }
float probe_kick(float t, float freq) { return probe_log(4.0, vec4(t, freq, 0.0, 0.0), kick(t, freq)); }
float probe_impact(float t) { return probe_log(5.0, vec4(t, 0.0, 0.0, 0.0), impact(t)); }
float probe_fbm(vec3 p) { return probe_log(6.0, vec4(p, 0.0), fbm(p)); }

#define partial_voice probe_partial_voice
#define partial_voice_gated probe_partial_voice_gated
#define noise_hit probe_noise_hit
#define kick probe_kick
#define impact probe_impact
#define fbm probe_fbm
)";

// Fragment x computes sample probe_indices[x]; its calls land in snd from
// x * PROBE_CAPACITY * 3 on, three vec2 per call.
const char* const kMain = R"(
uniform int probe_indices[256];

void main()
{
    int x = int(gl_FragCoord.x);
    float value = song_sample(probe_indices[x]);
    if (probe_hot == -1) {
        int base = x * PROBE_CAPACITY * 3;
        for (int n = 0; n < PROBE_CAPACITY; ++n) {
            snd[base + 3 * n] = vec2(probe_kind[n], probe_args[n].x);
            snd[base + 3 * n + 1] = probe_args[n].yz;
            snd[base + 3 * n + 2] = vec2(probe_args[n].w, probe_real[n]);
        }
    }
    f = vec4(value, float(probe_count), 0.0, 1.0);
}
)";

std::string recorder_source() {
  std::string out;
  bool song_seen = false;
  for (int i = 0; i < shader_piece_count; ++i) {
    const std::string name = shader_pieces[i].name;
    if (name == "song.glsl") {
      out += kStandIns;
      out += shader_pieces[i].text;
      song_seen = true;
      break;  // the pieces after the arrangement play no part in it
    }
    out += shader_pieces[i].text;
  }
  if (!song_seen) throw std::runtime_error("no song.glsl among the shader pieces");
  return out + "#undef partial_voice\n#undef partial_voice_gated\n#undef noise_hit\n#undef kick\n#undef impact\n#undef fbm\n" +
         kMain;
}

struct Recorder {
  intro::Kernel kernel{recorder_source()};
  intro::StorageBuffer buffer{static_cast<std::size_t>(kBatch) * kCapacity * kFloatsPerCall, 0.0f};
};

Recorder& recorder() {
  static Recorder r;
  return r;
}

}  // namespace

const char* kind_name(CallKind kind) {
  switch (kind) {
    case CallKind::partial_voice: return "partial_voice";
    case CallKind::partial_voice_gated: return "partial_voice_gated";
    case CallKind::noise_hit: return "noise_hit";
    case CallKind::kick: return "kick";
    case CallKind::impact: return "impact";
    case CallKind::fbm: return "fbm";
  }
  return "?";
}

std::vector<std::int64_t> index_range(std::int64_t first, int count) {
  std::vector<std::int64_t> out(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) out[static_cast<std::size_t>(i)] = first + i;
  return out;
}

std::vector<SampleCalls> record_song_calls(const std::vector<std::int64_t>& indices) {
  Recorder& r = recorder();
  const GLuint program = r.kernel.program();
  const GLint hot_location = glGetUniformLocation(program, "probe_hot");
  const GLint indices_location = glGetUniformLocation(program, "probe_indices");
  std::vector<SampleCalls> out;
  for (std::size_t done = 0; done < indices.size(); done += kBatch) {
    const int n = static_cast<int>(std::min<std::size_t>(kBatch, indices.size() - done));
    std::vector<GLint> batch(kBatch, 0);
    for (int i = 0; i < n; ++i) batch[static_cast<std::size_t>(i)] = static_cast<GLint>(indices[done + i]);
    auto run = [&](int hot) {
      r.buffer.bind(0);
      return r.kernel.run(n, 1, [&] {
        glUniform1i(hot_location, hot);
        glUniform1iv(indices_location, kBatch, batch.data());
      });
    };
    const std::vector<float> silent = run(-1);
    const std::vector<float> log = r.buffer.read(0, static_cast<std::size_t>(n) * kCapacity * kFloatsPerCall);
    const std::vector<float> real = run(-2);
    int most_calls = 0;
    for (int i = 0; i < n; ++i) most_calls = std::max(most_calls, static_cast<int>(silent[4 * i + 1]));
    if (most_calls > kCapacity) throw std::runtime_error("song_sample makes more calls than the recorder holds");

    const std::size_t first = out.size();
    for (int i = 0; i < n; ++i) {
      SampleCalls s;
      s.index = indices[done + i];
      s.silent_mix = silent[4 * i];
      s.real_mix = real[4 * i];
      const int calls = static_cast<int>(silent[4 * i + 1]);
      for (int c = 0; c < calls; ++c) {
        const float* rec = &log[(static_cast<std::size_t>(i) * kCapacity + c) * kFloatsPerCall];
        s.calls.push_back({static_cast<CallKind>(static_cast<int>(rec[0])), {rec[1], rec[2], rec[3], rec[4]}, rec[5], 0.0});
      }
      out.push_back(std::move(s));
    }
    for (int hot = 0; hot < most_calls; ++hot) {
      const std::vector<float> mix = run(hot);
      for (int i = 0; i < n; ++i) {
        SampleCalls& s = out[first + i];
        if (hot < static_cast<int>(s.calls.size())) {
          s.calls[hot].coefficient = static_cast<double>(mix[4 * i]) - static_cast<double>(s.silent_mix);
        }
      }
    }
  }
  return out;
}

}  // namespace music_test

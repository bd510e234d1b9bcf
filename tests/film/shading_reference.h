#pragma once
// The bounce loop over the reduced scene, written again here from its
// description in double precision: the march, the four normal probes, the
// fresnel term, the three occlusion probes, the reflective bodies with their
// jittered reflection, the cloud term and the flat emissive material. Only
// the jitter's random vector is computed in single precision, as the shader
// does, because its integer truncations decide which values come out. The
// tunnel pattern is not recomputed: the escape term takes the kernel's own
// backdrop() of the direction concerned, since that pattern is the GPU's
// sine noise.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "reduced_scene.h"

namespace film_test {

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(double s, Vec3 a) { return {s * a.x, s * a.y, s * a.z}; }
inline Vec3 operator*(Vec3 a, Vec3 b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }
inline double dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline double length(Vec3 a) { return std::sqrt(dot(a, a)); }
inline Vec3 normalized(Vec3 a) { return (1.0 / length(a)) * a; }
inline Vec3 mix(Vec3 a, Vec3 b, double t) { return (1 - t) * a + t * b; }
inline double clamp01(double x) { return std::min(1.0, std::max(0.0, x)); }

constexpr double kShaderPi = 3.14159;

// The integer hash of the math library (p.z ignored).
inline std::uint32_t hash_u32(std::uint32_t px, std::uint32_t py) {
  const std::uint32_t x1 = 1103515245u * ((px >> 1) ^ py);
  const std::uint32_t y1 = 1103515245u * ((py >> 1) ^ px);
  const std::uint32_t h = 1103515245u * (x1 ^ (y1 >> 3));
  return h ^ (h >> 16);
}

// random3 in single precision: two steps of 0.1 on the seed, the truncated
// values hashed, three 31-bit fields scaled by 2^31.
inline Vec3 random3(float& seed) {
  seed = seed + 0.1f;
  const float a = seed;
  seed = seed + 0.1f;
  const float b = seed;
  const std::uint32_t h = hash_u32(static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(b));
  const float scale = 2147483648.0f;
  return {static_cast<float>(h & 2147483647u) / scale, static_cast<float>((h * 16807u) & 2147483647u) / scale,
          static_cast<float>((h * 48271u) & 2147483647u) / scale};
}

// The seed shade() starts from at fragment centre (x, y).
inline float shade_seed(float frag_x, float frag_y, float time) {
  std::uint32_t bx, by;
  std::memcpy(&bx, &frag_x, 4);
  std::memcpy(&by, &frag_y, 4);
  return static_cast<float>(hash_u32(bx, by)) / 4294967296.0f + time;
}

struct Sample {
  double distance, material, extra;
};

struct ReferenceResult {
  Vec3 radiance;
  double primary_dist = 1e9;
  Vec3 final_dir, final_origin;
  float seed_after = 0;
  int calls = 0;
  std::vector<Vec3> hits;  // body and cloud hit points, in order
};

class ShadingReference {
 public:
  // backdrop_primary / backdrop_final: the kernel's backdrop() of the primary
  // direction and of the direction the loop ends with.
  ShadingReference(const ShadingCase& c, Vec3 backdrop_primary, Vec3 backdrop_final)
      : c_(c), backdrop_primary_(backdrop_primary), backdrop_final_(backdrop_final) {}

  ReferenceResult run(float seed) {
    ReferenceResult r;
    Vec3 origin = c_.origin, dir = c_.direction, throughput{1, 1, 1};
    bool reflected = false;
    const double step = 0.002;
    const Vec3 o[4] = {{step, -step, -step}, {-step, -step, step}, {-step, step, -step}, {step, step, step}};
    for (int bounce = 0; bounce < 2; ++bounce) {
      const Sample hit = march(origin, dir);
      if (bounce == 0) r.primary_dist = hit.distance;
      if (hit.material <= -0.5) {
        r.radiance = r.radiance + throughput * (reflected ? backdrop_final_ : backdrop_primary_);
        break;
      }
      const Vec3 hit_pos = origin + hit.distance * dir;
      if (hit.material == 2.0) {
        r.radiance = {0.5, 0.5, 0.25};
        continue;
      }
      r.hits.push_back(hit_pos);
      Vec3 sum;
      for (const Vec3& oi : o) sum = sum + sample(hit_pos + oi).distance * oi;
      const Vec3 normal = dot(sum, sum) > 0 ? normalized(sum) : -1.0 * dir;
      const double fresnel = std::pow(std::max(dot(normal, dir) + 1.0, 0.0), 0.6);
      double occlusion = 1;
      for (double h : {0.01, 0.03, 0.1}) occlusion *= std::exp2(std::min(0.0, sample(hit_pos + h * normal).distance / h - 1.0));
      if (hit.material < 6.0) {
        const Vec3 base = hit.material == 3.0 ? Vec3{1, 0, 0} : Vec3{0, 0, 0};
        r.radiance = r.radiance + (1 - fresnel) * occlusion * (throughput * mix(base, {1, 1, 0}, std::pow(fresnel, 8)));
        throughput = fresnel * throughput;
        const Vec3 u = random3(seed);
        const double jx = 2 * u.x - 1, jy = 2 * kShaderPi * u.y, jz = u.z;
        const double radius = std::pow(jz, 1.0 / 3.0), s = std::sqrt(1 - jx * jx);
        const Vec3 mirror = dir - 2 * dot(normal, dir) * normal;
        dir = normalized(mirror + 0.1 * radius * Vec3{s * std::sin(jy), s * std::cos(jy), jx});
        origin = hit_pos + 0.001 * dir;
        reflected = true;
      } else {
        double ramp = 0.5 * dot(normal, {-1, 1, 0}) + 0.5;
        ramp = ramp * ramp * ramp * ramp;
        const Vec3 violet{0.2, 0, 0.5}, yellow{1, 1, 0};
        const Vec3 m = mix(violet, yellow, ramp);
        const double rim = c_.time < 45.0f ? 1.0 : 0.0;
        r.radiance = r.radiance + 0.2 * hit.extra * Vec3{clamp01(m.x), clamp01(m.y), clamp01(m.z)} +
                     rim * std::pow(fresnel, 12) * Vec3{0.8, 0.6, 0.1};
        break;
      }
    }
    r.final_dir = dir;
    r.final_origin = origin;
    r.seed_after = seed;
    r.calls = calls_;
    return r;
  }

 private:
  static Sample closest(Sample a, Sample b) { return a.distance < b.distance ? a : b; }

  Sample sample(Vec3 p) {
    ++calls_;
    Sample result{1e9, -1, 0};
    const double height = dot(p, c_.plane_normal) - c_.plane_offset;
    if (c_.floor_id != 0) result = closest(result, {height, c_.floor_id, c_.floor_extra});
    if (c_.ceiling_id != 0) result = closest(result, {c_.ceiling_height - height, c_.ceiling_id, c_.ceiling_extra});
    if (c_.glow_radius > 0) glow_ = std::min(glow_, c_.glow_scale * (length(p - c_.glow_centre) - c_.glow_radius));
    return closest(result, {glow_, 2, 0});
  }

  Sample march(Vec3 origin, Vec3 dir) {
    double t = 0.1;
    for (int n = 0; n < 128 && t < 90; ++n) {
      const Sample s = sample(origin + t * dir);
      if (s.distance < 0.0001 * t) return {t, s.material, s.extra};
      t += s.distance;
    }
    return {1e9, -1, 1};
  }

  ShadingCase c_;
  Vec3 backdrop_primary_, backdrop_final_;
  double glow_ = 1e9;
  int calls_ = 0;
};

}  // namespace film_test

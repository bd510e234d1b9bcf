#pragma once
// The real shading code (march, normal and occlusion probes, bounce loop,
// shade) over a reduced scene of the test's choosing: a plane with an
// optional parallel "ceiling" above it, and an optional glowing sphere that
// lowers glow_dist exactly as the real scene's glowing objects do. The
// reduced scene stands in for scene_map through a macro placed between the
// scene piece and the marching piece, and records every call it receives.
#include <array>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "film_gl.h"
#include "shader_pieces.h"

namespace film_test {

struct Vec3 {
  double x = 0, y = 0, z = 0;
};

// One ray through the reduced scene.
struct ShadingCase {
  const char* what = "";
  float time = 30;
  Vec3 origin, direction;     // cam_pos and ray_dir before the loop (direction of unit length)
  Vec3 plane_normal{0, 1, 0};  // unit normal of the floor plane dot(p, n) = plane_offset
  float plane_offset = 0;
  float floor_id = 0, floor_extra = 0;      // material of the floor; 0: no floor
  float ceiling_id = 0, ceiling_extra = 0;  // material of the ceiling; 0: no ceiling
  float ceiling_height = 0;                 // height of the ceiling above the floor plane
  Vec3 glow_centre;
  float glow_radius = -1;  // > 0: a glowing sphere
  float glow_scale = 1;    // its distance times this (below 1: an underestimate, as some real ones are)
  float seed = 0.55f;      // rand_seed before the loop (trace_radiance only)
  bool full_shade = false;  // run shade() (own seed, fog, background) instead of trace_radiance()
  float screen_x = 0, screen_y = 0;
};

// What the kernel reports for one case.
struct ShadingResult {
  std::array<double, 4> colour;  // trace_radiance(), primary_dist; or shade()
  Vec3 final_dir, final_origin;  // ray_dir and cam_pos after the loop
  float seed_after = 0;
  double glow_after = 0;
  double primary_dist = 0;
  Vec3 backdrop_primary;  // backdrop() of the primary direction
  Vec3 backdrop_final;    // backdrop() of the final direction
  Vec3 background;        // background_colour() of the primary ray
  struct Call {
    Vec3 point;
    double distance;
  };
  std::vector<Call> calls;  // every scene_map call, in order (at most kRecordedCalls)
  int call_count = 0;
};

constexpr int kRecordedCalls = 300;
constexpr int kSlotsPerCase = 640;  // vec2 slots of snd per case
constexpr int kMaxShadingCases = 16;

// Every shader piece but the entry point, with the reduced scene standing in
// for scene_map, followed by `entry_point`. The scene's globals (plane,
// materials, ceiling_height, glow_sphere, glow_scale) start with nothing in
// it; the entry point sets them.
inline std::string reduced_scene_program(const std::string& entry_point) {
  const char* scene =
      "int call_count = 0;\n"
      "int case_base = 0;              // where the calls are recorded in snd; -1: nowhere\n"
      "vec4 plane = vec4(0.0);        // unit normal, offset\n"
      "vec4 materials = vec4(0.0);    // floor id, floor extra, ceiling id, ceiling extra\n"
      "float ceiling_height = 0.0;\n"
      "vec4 glow_sphere = vec4(0.0, 0.0, 0.0, -1.0);\n"
      "float glow_scale = 1.0;\n"
      "vec3 reduced_scene(vec3 p)\n"
      "{\n"
      "    vec3 result = vec3(1e9, MAT_MISS, 0.0);\n"
      "    float height = dot(p, plane.xyz) - plane.w;\n"
      "    if (materials.x != 0.0) result = closest(result, vec3(height, materials.x, materials.y));\n"
      "    if (materials.z != 0.0) result = closest(result, vec3(ceiling_height - height, materials.z, materials.w));\n"
      "    if (glow_sphere.w > 0.0) glow_dist = min(glow_dist, glow_scale * (length(p - glow_sphere.xyz) - glow_sphere.w));\n"
      "    vec3 s = closest(result, vec3(glow_dist, MAT_FLAT, 0.0));\n"
      "    if (case_base >= 0 && call_count < 300) {\n"
      "        snd[case_base + 16 + 2 * call_count] = p.xy;\n"
      "        snd[case_base + 17 + 2 * call_count] = vec2(p.z, s.x);\n"
      "    }\n"
      "    call_count++;\n"
      "    return s;\n"
      "}\n"
      "#define scene_map reduced_scene\n";
  std::string out;
  for (int i = 0; i < shader_piece_count; ++i) {
    if (std::strcmp(shader_pieces[i].name, "main.glsl") == 0) continue;
    out += shader_pieces[i].text;
    if (std::strcmp(shader_pieces[i].name, "scene.glsl") == 0) out += scene;
  }
  return out + entry_point;
}

// The kernel of run_shading_cases: fragment i runs case i.
inline std::string reduced_scene_source() {
  const char* entry =
      "layout(location = 2) uniform vec4 params[128];\n"
      "void main()\n{\n"
      "    int i = int(gl_FragCoord.x);\n"
      "    vec4 p0 = params[8 * i], p1 = params[8 * i + 1], p5 = params[8 * i + 5];\n"
      "    scene_time = p0.w;\n"
      "    cam_pos = p0.xyz;\n"
      "    ray_dir = p1.xyz;\n"
      "    plane = params[8 * i + 2];\n"
      "    materials = params[8 * i + 3];\n"
      "    glow_sphere = params[8 * i + 4];\n"
      "    ceiling_height = p5.w;\n"
      "    glow_scale = params[8 * i + 6].x;\n"
      "    case_base = 640 * i;\n"
      "    vec3 screen = vec3(p5.yz, 0.0);\n"
      "    vec3 backdrop_primary = backdrop(ray_dir);\n"
      "    vec3 background = background_colour(screen);\n"
      "    vec4 r;\n"
      "    if (p1.w != 0.0) {\n"
      "        r = shade(screen);\n"
      "    } else {\n"
      "        rand_seed = p5.x;\n"
      "        r = vec4(trace_radiance(), primary_dist);\n"
      "    }\n"
      "    vec3 backdrop_final = backdrop(ray_dir);\n"
      "    snd[case_base + 0] = ray_dir.xy;\n"
      "    snd[case_base + 1] = vec2(ray_dir.z, rand_seed);\n"
      "    snd[case_base + 2] = cam_pos.xy;\n"
      "    snd[case_base + 3] = vec2(cam_pos.z, glow_dist);\n"
      "    snd[case_base + 4] = vec2(float(call_count), primary_dist);\n"
      "    snd[case_base + 5] = backdrop_primary.xy;\n"
      "    snd[case_base + 6] = vec2(backdrop_primary.z, 0.0);\n"
      "    snd[case_base + 7] = backdrop_final.xy;\n"
      "    snd[case_base + 8] = vec2(backdrop_final.z, 0.0);\n"
      "    snd[case_base + 9] = background.xy;\n"
      "    snd[case_base + 10] = vec2(background.z, 0.0);\n"
      "    f = r;\n"
      "}\n";
  return reduced_scene_program(entry);
}

inline std::vector<ShadingResult> run_shading_cases(const std::vector<ShadingCase>& cases) {
  static intro::Kernel kernel(reduced_scene_source());
  std::vector<float> params;
  for (const auto& c : cases) {
    const float block[32] = {
        float(c.origin.x), float(c.origin.y), float(c.origin.z), c.time,
        float(c.direction.x), float(c.direction.y), float(c.direction.z), c.full_shade ? 1.0f : 0.0f,
        float(c.plane_normal.x), float(c.plane_normal.y), float(c.plane_normal.z), c.plane_offset,
        c.floor_id, c.floor_extra, c.ceiling_id, c.ceiling_extra,
        float(c.glow_centre.x), float(c.glow_centre.y), float(c.glow_centre.z), c.glow_radius,
        c.seed, c.screen_x, c.screen_y, c.ceiling_height,
        c.glow_scale, 0, 0, 0, 0, 0, 0, 0};
    params.insert(params.end(), block, block + 32);
  }
  const int n = static_cast<int>(cases.size());
  intro::StorageBuffer out(static_cast<std::size_t>(n) * kSlotsPerCase * 2, 0.0f);
  const auto texels = kernel.run(n, 1, [&] { glUniform4fv(2, 8 * n, params.data()); });
  const auto v = out.read(0, static_cast<std::size_t>(n) * kSlotsPerCase * 2);
  std::vector<ShadingResult> results;
  for (int i = 0; i < n; ++i) {
    const float* s = &v[static_cast<std::size_t>(i) * kSlotsPerCase * 2];
    ShadingResult r;
    for (int k = 0; k < 4; ++k) r.colour[k] = texels[4 * i + k];
    r.final_dir = {s[0], s[1], s[2]};
    r.seed_after = s[3];
    r.final_origin = {s[4], s[5], s[6]};
    r.glow_after = s[7];
    r.call_count = static_cast<int>(s[8]);
    r.primary_dist = s[9];
    r.backdrop_primary = {s[10], s[11], s[12]};
    r.backdrop_final = {s[14], s[15], s[16]};
    r.background = {s[18], s[19], s[20]};
    for (int k = 0; k < std::min(r.call_count, kRecordedCalls); ++k) {
      const float* c = s + 32 + 4 * k;
      r.calls.push_back({{c[0], c[1], c[2]}, c[3]});
    }
    results.push_back(r);
  }
  return results;
}

}  // namespace film_test

#version 430
// ---------------------------------------------------------------------------
// Interface with the host. The host sets `m` and `v` by location number and
// never queries them, so the locations are pinned here. `w` keeps its default
// texture unit 0. The std430 layout gives `snd` the 8-byte stride that the
// wave-out device plays as 32-bit float stereo.
// ---------------------------------------------------------------------------
layout(location = 0) uniform int m;   // pass: 0 scene into the target, 1 post into the window
layout(location = 1) uniform int v;   // sample frames played so far
uniform sampler2D w;                  // pass 0: previous frame's target; pass 1: this frame's

layout(std430, binding = 0) buffer BlockName {
    vec2 snd[];                       // sample frame n: (left, right)
};

layout(location = 0) out vec4 f;

// ---------------------------------------------------------------------------
// Globals: every fragment invocation starts with these values.
// ---------------------------------------------------------------------------
float scene_time = 0.0;               // seconds of this frame
float pi = 3.14159;                   // pi as every piece of the shader uses it
float rand_seed = 0.0;                // reflection jitter seed; random3 adds 0.2 per call
float glow_dist = 1e9;                // running minimum distance to the glowing objects
float primary_dist = 1e9;             // distance along the primary ray to its hit
float beat_rate = 1.8;                // beats per second (108 per minute)
vec3 sgn = vec3(1.0, -1.0, 0.0);      // source of swizzled constant vectors
vec3 resolution = vec3(1280.0, 720.0, 0.0);
int shot = -1;                        // current shot id, set by the camera

// The cut list: cut j shows shot shot_ids[j] from shot_starts[j] seconds on.
int shot_ids[20] = int[20](0, 1, 2, 16, 3, 4, 5, 6, 12, 8, 9, 10, 3, 11, 6, 4, 12, 3, 4, 10);
float shot_starts[20] = float[20](15.0, 20.0, 22.0, 35.0, 45.0, 50.0, 54.0, 60.0, 65.0, 70.0,
                                  75.0, 79.0, 81.0, 85.0, 87.0, 91.0, 94.0, 100.0, 102.0, 118.0);

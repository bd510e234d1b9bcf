// ---------------------------------------------------------------------------
// Shared math library. The three macros serve every float type (float, vec2,
// vec3, vec4) component-wise; the functions follow. Everything is closed form:
// no tables, no textures, no loops.
// ---------------------------------------------------------------------------
#define saturate(x) clamp((x), 0.0, 1.0)
// A well-scattered value in [0, 1); its exact value rests on the GPU's sin.
#define sin_hash(x) fract(sin(x) * 43758.5453)
// MIDI note number to Hz: 69 is 440 Hz, twelve notes per octave.
#define note_freq(n) (440.0 * pow(2.0, ((n) - 69.0) / 12.0))

// Cosine colour palette; reads the global `pi`.
vec3 palette(float t)
{
    return vec3(0.6, 0.0, 0.5) + vec3(0.4, 0.1, 0.5) * cos(pi * (vec3(2.0, 1.0, 1.0) * t + vec3(0.2, 0.2, 0.25)));
}

// Columns (cos a, sin a) and (-sin a, cos a). Callers write v *= rot2(a),
// the row vector on the left, which turns v by -a.
mat2 rot2(float a)
{
    float c = cos(a);
    float s = sin(a);
    return mat2(c, s, -s, c);
}

// 0 at 0, peak 1 at x = 1, slow decay after.
float impulse(float x)
{
    return x * exp(1.0 - x);
}

// Integer hash of p.xy (p.z is ignored); all products wrap mod 2^32 and the
// shifts are logical.
uint hash_u32(uvec3 p)
{
    uint x1 = 1103515245u * ((p.x >> 1u) ^ p.y);
    uint y1 = 1103515245u * ((p.y >> 1u) ^ p.x);
    uint h = 1103515245u * (x1 ^ (y1 >> 3u));
    return h ^ (h >> 16u);
}

// Random vector in [0, 1]^3 from the integer parts of seed + 0.1 and
// seed + 0.2; the caller's seed leaves the call two steps of 0.1 larger.
vec3 random3(inout float seed)
{
    seed += 0.1;
    float a = seed;
    seed += 0.1;
    float b = seed;
    uint h = hash_u32(uvec3(uint(a), uint(b), 0u));
    uvec3 bits = uvec3(h, h * 16807u, h * 48271u) & uvec3(2147483647u);
    return vec3(bits) / float(2147483647);
}

// 3-D value noise in [0, 1): lattice seed 7x + 157y + 113z, smooth fade.
float value_noise(vec3 p)
{
    vec3 cell = floor(p);
    vec3 frac_part = p - cell;
    float base = dot(cell, vec3(7.0, 157.0, 113.0));
    // Corners (y, z) = (low, low), (high, low), (low, high), (high, high) at
    // the low x face; the high x face is 7 further on.
    vec4 seeds = vec4(base, base + 157.0, base + 113.0, base + 270.0);
    frac_part = frac_part * frac_part * (3.0 - 2.0 * frac_part);
    vec4 along_x = mix(sin_hash(seeds), sin_hash(seeds + 7.0), frac_part.x);
    vec2 along_y = mix(along_x.xz, along_x.yw, frac_part.y);
    return mix(along_y.x, along_y.y, frac_part.z);
}

// Octave sum of value_noise in [0, 0.905); the 8.04 octave enters squared.
float fbm(vec3 p)
{
    float q = value_noise(8.04 * p);
    return 0.5 * value_noise(2.01 * p) + 0.25 * value_noise(4.02 * p) + 0.005 * value_noise(100.7 * p) + 0.15 * q * q;
}

// Polynomial smooth minimum blending over a difference of k; a negative k
// gives the matching smooth maximum.
float smooth_min(float a, float b, float k)
{
    float h = saturate(0.5 + 0.5 * (b - a) / k);
    return mix(b, a, h) - k * h * (1.0 - h);
}

// Exact signed distance to an axis-aligned box centred at the origin.
float sd_box(vec3 p, vec3 half_size)
{
    vec3 q = abs(p) - half_size;
    return length(max(q, 0.0)) + min(max(q.x, max(q.y, q.z)), 0.0);
}

// Approximate signed distance to an axis-aligned ellipsoid. At the very
// centre the formula is 0 * (-1) / 0; there the deepest inside distance,
// minus the smallest semi-axis, is returned instead, so the result stays
// finite.
float sd_ellipsoid(vec3 p, vec3 radii)
{
    float k0 = length(p / radii);
    float k1 = length(p / (radii * radii));
    return k1 > 0.0 ? k0 * (k0 - 1.0) / k1 : -min(radii.x, min(radii.y, radii.z));
}

// The nearer of two scene samples (distance, material id, extra); on equal
// distances the second one.
vec3 closest(vec3 a, vec3 b)
{
    return a.x < b.x ? a : b;
}

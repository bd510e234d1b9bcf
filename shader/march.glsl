// ---------------------------------------------------------------------------
// Ray marching and shading: the sphere tracer, the escape colour, and the
// loop of at most two surface interactions per pixel.
// ---------------------------------------------------------------------------

// Sphere tracing over scene_map from 0.1 along the ray, at most 128 steps and
// 90 units; the hit threshold grows with distance. A point inside a surface
// (negative distance) is a hit at once. A miss is (1e9, MAT_MISS, 1).
vec3 march(vec3 origin, vec3 direction)
{
    float t = 0.1;
    float n = 0.0;
    while (n < 128.0 && t < 90.0) {
        vec3 s = scene_map(origin + direction * t);
        if (s.x < 0.0001 * t) {
            return vec3(t, s.y, s.z);
        }
        t += s.x;
        n += 1.0;
    }
    return vec3(1e9, MAT_MISS, 1.0);
}

// The tunnel pattern seen by escaping rays; black up to and including 80 s.
vec3 backdrop(vec3 d)
{
    // Everything below is multiplied by a gate of 0 up to 80 s; with finite
    // values that product is exactly 0, so the noise is skipped then.
    if (!(scene_time > 80.0)) {
        return vec3(0.0);
    }
    float a = 0.5 * d.x;
    float b = d.y;
    // atan(0, 0) is undefined; the centre mask is 0 there, so angle 0 is
    // taken and the result is black.
    float theta = (a == 0.0 && b == 0.0) ? 0.0 : atan(b, a);
    float q = sqrt(sqrt(a * a + b * b));
    float centre_mask = smoothstep(0.0, 1.0, (saturate(q) - 0.1) / 0.3);

    float t = scene_time;
    float tint_noise = value_noise(vec3(100.0 * theta, 20.0 * q - 4.0 * t, 0.0));
    float band_noise = value_noise(vec3(20.0 * theta, 10.0 * q - 2.0 * t, 0.0));
    float streak_noise = value_noise(vec3(60.0 * theta, 10.0 * q - 5.0 * t, 0.0));
    float speck_noise = value_noise(vec3(30.0 * theta, 10.0 * q - 5.0 * t, 0.0));

    // The palette's green goes negative; its square is taken as the true
    // square x*x rather than pow(), which is undefined for a negative base.
    vec3 tint = palette(tint_noise);
    tint = tint * tint;

    float bands = smoothstep(0.0, 1.0, (band_noise - 0.5) / 0.2);
    float streaks = smoothstep(0.0, 1.0, (streak_noise - 0.1) / -0.1);
    float specks = smoothstep(0.0, 1.0, (speck_noise - 0.3) / -0.3);
    return centre_mask * tint * (0.1 + 0.9 * bands + vec3(2.0 * streaks, 0.0, 0.0) + tint * specks);
}

// Distance fog of the primary hit; 1 for a miss.
float fog_amount(float dist)
{
    return 1.0 - exp(-2e-05 * dist * dist * dist);
}

// Escape colour of the primary ray for the pixel at `screen`: the tunnel
// pattern, two faint palette bands and sparse star points.
vec3 background_colour(vec3 screen)
{
    float star = sin_hash(sin_hash(sin_hash(ray_dir.x) * screen.x) * screen.y) > 0.999 ? 1.0 : 0.0;
    return backdrop(ray_dir)
         + 0.02 * palette(2.0 * ray_dir.x)
         + 0.02 * palette(-3.0 * ray_dir.y - 1.0)
         + star * vec3(0.3);
}

// Normal of a body hit from four tetrahedral probes of the whole scene
// distance, in this order. Inside a glowing object that pierces a surface
// all four probes can read the same running glow distance; their sum is then
// exactly zero and has no direction, so the surface is taken as facing the
// ray (a head-on hit) instead of letting normalize() make a NaN.
vec3 surface_normal_at(vec3 hit_pos, vec3 normal_step)
{
    vec3 o1 = normal_step.xyy;
    vec3 o2 = normal_step.yyx;
    vec3 o3 = normal_step.yxy;
    vec3 o4 = normal_step.xxx;
    vec3 probe_sum = o1 * scene_map(hit_pos + o1).x;
    probe_sum += o2 * scene_map(hit_pos + o2).x;
    probe_sum += o3 * scene_map(hit_pos + o3).x;
    probe_sum += o4 * scene_map(hit_pos + o4).x;
    if (dot(probe_sum, probe_sum) > 0.0) {
        return normalize(probe_sum);
    }
    return -ray_dir;
}

// Product of the three occlusion probes along the normal, in this order: a
// probe that finds free space of at least h gives 1, a surface at 0 gives 0.5.
float occlusion_at(vec3 hit_pos, vec3 surface_normal)
{
    float occlusion = exp2(min(0.0, scene_map(hit_pos + surface_normal * 0.01).x / 0.01 - 1.0));
    occlusion *= exp2(min(0.0, scene_map(hit_pos + surface_normal * 0.03).x / 0.03 - 1.0));
    occlusion *= exp2(min(0.0, scene_map(hit_pos + surface_normal * 0.1).x / 0.1 - 1.0));
    return occlusion;
}

// The bounce loop: at most two surface interactions from cam_pos along
// ray_dir (both of which it moves at reflections). Sets primary_dist in the
// first bounce and advances rand_seed at each reflective hit; returns the
// colour gathered along the path, before the fog.
vec3 trace_radiance()
{
    vec3 radiance = vec3(0.0);
    vec3 throughput = vec3(1.0);
    vec3 base_colour = vec3(0.0);
    vec3 normal_step = sgn * 0.002;

    for (int bounce = 0; bounce < 2; bounce++) {
        vec3 hit_sample = march(cam_pos, ray_dir);
        if (bounce == 0) {
            primary_dist = hit_sample.x;
        }
        float material = hit_sample.y;
        if (material <= -0.5) {
            radiance += backdrop(ray_dir) * throughput;
            break;
        }
        vec3 hit_pos = cam_pos + hit_sample.x * ray_dir;

        if (material == MAT_FLAT) {
            // Replaces what was gathered; the next bounce marches the same ray
            // again from the same origin.
            radiance = vec3(0.5, 0.5, 0.25);
            continue;
        }
        base_colour = material == MAT_RED ? vec3(1.0, 0.0, 0.0) : vec3(0.0);

        if (material > 2.0 && material < 7.0) {
            // Four normal probes, then three occlusion probes along the normal.
            vec3 surface_normal = surface_normal_at(hit_pos, normal_step);

            // The base is never negative in exact arithmetic; a head-on hit
            // can round a hair below 0, which is clamped to 0.
            float fresnel = pow(max(dot(surface_normal, ray_dir) + 1.0, 0.0), 0.6);

            float occlusion = occlusion_at(hit_pos, surface_normal);

            if (material < 6.0) {
                // Reflective body: base colour head-on, a yellow sheen towards
                // grazing incidence, and a jittered mirror ray.
                radiance += (1.0 - fresnel) * throughput
                          * mix(base_colour, vec3(1.0, 1.0, 0.0), pow(fresnel, 8.0)) * occlusion;
                throughput *= fresnel;
                vec3 jitter = random3(rand_seed) * vec3(2.0, 2.0 * pi, 1.0) - vec3(1.0, 0.0, 0.0);
                float r = pow(jitter.z, 1.0 / 3.0);
                float s = sqrt(1.0 - jitter.x * jitter.x);
                ray_dir = normalize(reflect(ray_dir, surface_normal)
                                    + 0.1 * r * vec3(s * sin(jitter.y), s * cos(jitter.y), jitter.x));
                cam_pos = hit_pos + 0.001 * ray_dir;
            } else {
                // Self-lit cloud: violet to yellow by the normal, plus a warm
                // rim light before 45 s. The ramp's base can be negative; the
                // fourth power is taken as the true power x*x*x*x.
                float ramp = 0.5 * dot(surface_normal, vec3(-1.0, 1.0, 0.0)) + 0.5;
                ramp = ramp * ramp;
                ramp = ramp * ramp;
                float rim = scene_time < 45.0 ? 1.0 : 0.0;
                radiance += 0.2 * hit_sample.z * saturate(mix(vec3(0.2, 0.0, 0.5), vec3(1.0, 1.0, 0.0), ramp))
                          + rim * vec3(0.8, 0.6, 0.1) * pow(fresnel, 12.0);
                break;
            }
        }
    }
    return radiance;
}

// The shading of the pixel at `screen`, starting from the camera's cam_pos
// and ray_dir. Returns the fogged colour and primary_dist, which it also
// leaves in the global.
vec4 shade(vec3 screen)
{
    vec3 background = background_colour(screen);

    uvec3 centre_bits = floatBitsToUint(gl_FragCoord.xyy);
    rand_seed = float(hash_u32(centre_bits)) / float(4294967295u) + scene_time;

    vec3 radiance = trace_radiance();
    return vec4(mix(radiance, background, fog_amount(primary_dist)), primary_dist);
}

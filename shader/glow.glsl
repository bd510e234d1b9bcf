// ---------------------------------------------------------------------------
// Glow, lens flare and frame accumulation: the end of the scene pass.
// ---------------------------------------------------------------------------

// Gain of the halo, before the flare's changes to it.
float halo_gain()
{
    if (shot == -1) {
        return 0.2 + 0.5 * impulse(max(0.0, 1.5 * (scene_time - 7.0)));
    }
    return shot == 16 ? 0.2 : 0.8;
}

// Orange-red wide and yellow narrow halo around the glowing objects, from
// the pixel's final running glow distance.
vec4 glow_halo(float gain, float dist)
{
    return gain * (exp(-10.0 * dist) * vec4(1.0, 0.2, 0.0, 0.0) + exp(-50.0 * dist) * vec4(1.0, 0.9, 0.0, 0.0));
}

// The lens flare's colour for the pixel at `screen`/`uv` with the light at
// `light_pos` (screen coordinates), before the gain.
//
// A pixel centre exactly on the light or on a ghost's spot would divide by
// zero; those two distances are floored at 1e-30, which keeps the sum finite
// (the saturate then gives 1) and changes nothing anywhere else.
vec3 lens_flare(vec3 screen, vec3 uv, vec3 light_pos)
{
    vec2 p = screen.xy;
    vec2 l = light_pos.xy;
    vec3 flare = mix(vec3(0.08, 0.06, 0.001), vec3(0.04, 0.1, 0.16), screen.y);
    for (float ghost = 0.0; ghost < 10.0; ghost += 1.0) {
        float ghost_offset = 3.0 * sin_hash(200.0 * ghost) - 0.5;
        float ghost_exponent = 4.0 * sin_hash(ghost) + 0.1;
        float disc = 20.0 * max(0.01 - pow(length(p + ghost_offset * l), ghost_exponent), 0.0);
        float spot = 0.2 * max(0.01 / max(length(p - 0.6 * ghost_offset * l), 1e-30), 0.0);
        vec3 ghost_colour = 0.5 + 0.5 * cos(vec3(3.25, 1.92, 1.6) + 4.0 * ghost_offset);
        flare += (disc + spot) * ghost_colour
               + 0.01 * 2.0 * max(0.1 / pow(max(length(p - l), 1e-30), 0.2), 0.0) - 0.01;
    }
    return vec3(0.4, 0.02, 0.0) * saturate(flare * exp(1.0 - length(uv.xy - l)));
}

// Weight of the previous-frame average: about 1 for every ordinary pixel,
// 0 against an all-zero previous texel.
float blend_weight(vec4 colour, vec4 prev_frame)
{
    return pow(abs(dot(colour, prev_frame)), 0.001);
}

// Blend with the previous frame's texel and the fade-in (2 to 5 s) and
// fade-out (122 to 125 s); alpha keeps primary_dist.
vec4 accumulate(vec4 colour, vec4 prev_frame)
{
    float weight = blend_weight(colour, prev_frame);
    float fade_in = smoothstep(0.0, 1.0, (scene_time - 2.0) / 3.0);
    float fade_out = smoothstep(0.0, 1.0, (scene_time - 125.0) / -3.0);
    colour.rgb = saturate(mix(colour.rgb, 0.5 * saturate(colour.rgb + prev_frame.rgb), weight)) * fade_in * fade_out;
    return colour;
}

// The flare's light and gain, from the gain the halo used: the gain rises a
// little between 20 and 35 s and by 1 in shot 16. Returns the light position
// in screen coordinates (z = 0) in xyz and the flare's gain in w, which is 0
// outside the flare's windows (from 45 s on, and at 15 s and 20 s exactly).
vec4 flare_light(float glow_gain)
{
    float t = scene_time;
    if (t > 20.0 && t < 35.0) {
        float rise = 0.05 * 0.1 * (t - 20.0);
        glow_gain += rise * rise;
    }
    if (shot == 16) {
        glow_gain += 1.0;
    }

    vec3 light_pos = vec3(0.0);
    if (t < 15.0) {
        light_pos = vec3(0.4, 0.1, 0.0);
    } else if (t > 15.0 && t < 20.0) {
        light_pos = vec3(0.05, -0.1 + 0.01 * shot_time, 0.0);
    } else if (t > 20.0 && t < 35.0) {
        light_pos = vec3(0.05, 0.7 - 0.2 * 0.1 * (t - 20.0), 0.0);
    } else if (shot == 16) {
        light_pos = vec3(-0.05 + roll_ramp, 0.1 + roll_ramp, 0.0);
    } else {
        glow_gain = 0.0;
    }
    return vec4(light_pos, glow_gain);
}

// The whole scene pass for one picture fragment: camera, shading, halo,
// flare, blend and fades. Alpha is primary_dist (the target clamps it).
vec4 scene_pass(vec3 screen, vec3 uv)
{
    camera(screen);
    scene_setup();
    vec4 prev_frame = texture(w, uv.xy);
    float glow_gain = halo_gain();

    vec4 colour = shade(screen);
    colour += glow_halo(glow_gain, glow_dist);

    vec4 light = flare_light(glow_gain);
    glow_gain = light.w;
    // With a gain of 0 (from 45 s on) the flare adds exactly nothing.
    if (glow_gain != 0.0) {
        colour.rgb += glow_gain * lens_flare(screen, uv, light.xyz);
    }

    return accumulate(colour, prev_frame);
}

// ---------------------------------------------------------------------------
// Post-process pass: the stored scene colour onto the window. Zoom blur,
// tone curve, end-of-film exposure, vignette, grain and display gamma.
// ---------------------------------------------------------------------------

// 32 taps from the pixel towards the picture centre, mostly horizontal.
vec3 radial_blur(vec3 p)
{
    vec3 sum = vec3(0.0);
    float sx = 1.0;
    float sy = 1.0;
    for (int k = 0; k < 32; k++) {
        sum += texture(w, vec2(0.5 - 0.5 * (1.0 - 2.0 * p.x) * sx, 0.5 - 0.5 * (1.0 - 2.0 * p.y) * sy)).rgb;
        sx *= 0.9996;
        sy *= 0.9999;
    }
    return saturate(sum / 32.0);
}

vec3 post_pass(vec3 uv)
{
    vec3 blurred = radial_blur(uv);
    vec3 tone = pow(blurred, vec3(1.0, 0.8, 0.7));

    // 0.85 until 121 s, then falling by 0.7 per second: the picture washes
    // out to white, and once the divisor is no longer positive it is black.
    // At exactly 0 the division is undefined; that instant is read as black,
    // the same as a negative divisor, without dividing.
    float end_divisor = 0.8 - saturate(0.7 * (scene_time - 121.0)) + 0.05;
    vec3 exposed = vec3(0.0);
    if (end_divisor > 0.0) {
        exposed = smoothstep(0.0, 1.0, (1.3 * tone + 0.05) / end_divisor);
    }

    float d = sd_box(vec3(uv.x - 0.5, uv.y - 0.5, uv.y - 0.5), vec3(0.32, 0.18, 0.3));
    float vignette = 0.4 + 0.6 * smoothstep(0.0, 1.0, (d - 0.1 - 0.1) / -0.1);
    float grain = 0.95 + 0.1 * sin_hash(sin_hash(sin_hash(scene_time) * gl_FragCoord.x) * gl_FragCoord.y);
    return pow(exposed * vignette * grain, vec3(0.4545));
}

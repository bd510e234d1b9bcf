// ---------------------------------------------------------------------------
// Entry point, run for every fragment of both passes.
// ---------------------------------------------------------------------------
void main()
{
    f = vec4(0.0);

    // Audio band: the bottom rows compute the second of sound ahead of the
    // playback position. Pixel (i, j) owns band index 210*j + i + 105; rows
    // overlap, so several fragments store the same (identical) value.
    int band_index = int(gl_FragCoord.y * 210.0 + gl_FragCoord.x);
    if (band_index < 44100) {
        int sample_index = band_index + v;
        // Near the end of the song the band reaches past the buffer; those
        // stores would land outside it, so they are dropped.
        if (sample_index < snd.length()) {
            float value = song_sample(sample_index);
            snd[sample_index] = vec2(value, value);
        }
    }

    vec3 screen = (2.0 * gl_FragCoord.xyy - resolution.xyy) / resolution.y;
    vec3 uv = gl_FragCoord.xyy / resolution.xyy;

    // Letterbox: two black bars of 90 rows.
    if (abs(screen.y) > 0.75) {
        return;
    }

    scene_time = float(v) / 44100.0;

    if (m == 0) {
        f = scene_pass(screen, uv);
    }
    if (m == 1) {
        f.rgb = post_pass(uv);
    }
}

// ---------------------------------------------------------------------------
// The arrangement: the song's value for one sample frame. Every sample is a
// closed-form function of its index: beat clocks and section envelopes from
// the sample's time, then the four groups (melodic voices, pads, groove,
// arpeggio) summed. Nothing shapes the sum afterwards: no filter, no limit.
// 108 beats per minute: one beat is exactly 24,500 samples.
// ---------------------------------------------------------------------------

// Ramp from 0 at x = 0 to 1 at x = 1, flat outside.
float song_ramp(float x)
{
    return smoothstep(0.0, 1.0, x);
}

float song_sample(int sample_index)
{
    // Clocks.
    float sample_time = float(sample_index) / 44100.0;
    float beat_pos = sample_time * beat_rate;
    float cycle_beat = mod(beat_pos, 8.0);                 // place in the 8-beat cycle
    float pair_beat = mod(beat_pos - 1.0, 2.0);            // beats since the last odd beat
    float noise_swell = 0.5 + 0.2 * sin(sample_time);
    // Bass pitch step per 2-beat chunk starting at beats 1, 3, 5, 7: 0, 0, 1, 2.
    float bass_step = floor(max(0.0, mod(beat_pos - pair_beat, 8.0) - 2.0) / 2.0);
    // Arpeggio pitch step: 0, 1, 2 for 20/3 beats each.
    float arp_step = floor(3.0 * fract(0.05 * beat_pos));

    // Section envelopes, k in seconds.
    float k = sample_time;
    float end_gate = step(k, 121.0);
    float melody_entry = song_ramp((k - 4.0) / 0.1);
    float melody_level = 0.5 + 0.2 * song_ramp((k - 50.0) / -25.0) + 0.15 * song_ramp((k - 78.0) / 4.0);
    float pad_env_1 = song_ramp((k - 1.0) / 35.0) * song_ramp((k - 41.0) / -1.0)
                    + song_ramp((k - 50.0) / 6.0) * song_ramp((k - 81.0) / -1.0);
    float pad_env_2 = song_ramp(k - 35.0) * song_ramp((k - 56.0) / -1.0)
                    + song_ramp((k - 70.0) / 5.0) * song_ramp((k - 96.0) / -1.0);
    float pad_env_3 = song_ramp((k - 85.0) / 5.0) * end_gate;

    // Melodic voices: lead, long note, sub note. No end gate.
    float melodic = 0.4 * melody_level * partial_voice_gated(note_freq(62.0), (cycle_beat - 1.0) / beat_rate, 1.6, -90.0)
                  + 0.2 * melody_level * melody_entry * partial_voice(note_freq(50.0), (mod(beat_pos, 34.0) - 0.95) / beat_rate, 1.0)
                  + 0.3 * melody_level * melody_entry * partial_voice_gated(note_freq(41.0), (cycle_beat - 1.2) / 4.0, 1.5, -90.0);

    // Pads: sustained tones on the song's own time, faded by their envelopes.
    float pads = 0.1 * (partial_voice(note_freq(24.0), sample_time, 0.0) * pad_env_1
                      + partial_voice(note_freq(36.0), sample_time, 0.0) * pad_env_1
                      + partial_voice(note_freq(33.0), sample_time, 0.0) * saturate(pad_env_1 + pad_env_2)
                      + partial_voice(note_freq(45.0), sample_time, 0.0) * saturate(pad_env_1 + pad_env_2)
                      + partial_voice(note_freq(35.0), sample_time, 0.0) * saturate(pad_env_2 + pad_env_3)
                      + partial_voice(note_freq(47.0), sample_time, 0.0) * saturate(pad_env_2 + pad_env_3)
                      + partial_voice(note_freq(24.0), sample_time, 0.0) * pad_env_3
                      + partial_voice(note_freq(38.0), sample_time, 0.0) * pad_env_3);

    // Groove, from 44 s to 121 s: beat noise, main and accent kick, two noise
    // layers, three impacts, the bass pair a major third apart.
    vec3 low_noise_pos = vec3(100.0 * sample_time);
    vec3 high_noise_pos = vec3(1000.0 * sample_time);
    float groove = song_ramp((k - 44.0) / 6.0) * end_gate
        * (0.1 * noise_hit(mod(beat_pos, 1.0) / beat_rate)
         + 0.7 * kick((mod(beat_pos, 4.0) - 2.0) / 0.5 * beat_rate, note_freq(24.0))
         + 0.2 * kick((mod(beat_pos, 16.0) - 1.0) / 0.5 * beat_rate, note_freq(24.0))
         + 0.1 * noise_swell * (2.0 * fbm(low_noise_pos) - 1.0)
         + 0.04 * noise_swell * (2.0 * fbm(high_noise_pos) - 1.0)
         + 4.0 * impact(sample_time - 80.5) + 5.0 * impact(sample_time - 86.5) + 6.0 * impact(sample_time - 119.5)
         + 0.2 * partial_voice_gated(note_freq(32.0 + bass_step), pair_beat, 1.8, -10.0)
         + 0.2 * partial_voice_gated(note_freq(28.0 + bass_step), pair_beat, 1.8, -10.0));

    // Arpeggio, from 80 s to 121 s, switched without a ramp.
    float arpeggio = step(80.0, k) * end_gate * 0.15
        * (partial_voice_gated(note_freq(26.0 + arp_step), mod(beat_pos - 0.25, 0.75), 0.1, -8.0)
         + partial_voice_gated(note_freq(28.0 + arp_step), mod(beat_pos, 0.5), 0.1, -8.0));

    return melodic + pads + groove + arpeggio;
}

// ---------------------------------------------------------------------------
// The instrument voices. Each maps a time since its note-on (and, for the
// tonal ones, a frequency) to one sample value; none keeps state, so any
// sample of any voice can be computed on its own. Noise sources are hashes of
// the time, so every hit of a voice is the same waveform.
// ---------------------------------------------------------------------------

// Eight partials over a stretched fundamental with a phase-modulated attack.
// The unit of t sets the pitch: seconds sound at the stretched frequency,
// beats (1.8 per second) 1.8 times higher. decay scales every partial's
// frequency-proportional decay (0: sustained). Any t <= 0 gives exactly 0:
// before note-on the modulation's exponential grows and, far enough back,
// overflows, so the attack is a select rather than a product there.
float partial_voice(float freq, float t, float decay)
{
    float fs = 440.0 * pow(freq / 440.0, 1.003);
    float c = sin(2.0 * pi * fs * t) * (0.2 + 0.8 * max(0.0, 6.0 - 0.01 * fs)) * exp(-0.2 * fs * t);
    float r = 0.7 * sin(2.0 * pi * fs * t + c) * exp(-0.0035 * fs * t * decay)
            + 0.2 * sin(4.02 * pi * fs * t + c) * exp(-0.0055 * fs * t * decay)
            + 0.2 * sin(6.02 * pi * fs * t + c) * exp(-0.0075 * fs * t * decay)
            + 0.16 * sin(8.02 * pi * fs * t + c) * exp(-0.009 * fs * t * decay)
            + 0.13 * sin(10.02 * pi * fs * t + c) * exp(-0.0105 * fs * t * decay)
            + 0.1 * sin(12.02 * pi * fs * t + c) * exp(-0.0135 * fs * t * decay)
            + 0.09 * sin(16.02 * pi * fs * t + c) * exp(-0.015 * fs * t * decay)
            + 0.07 * sin(18.02 * pi * fs * t + c) * exp(-0.0165 * fs * t * decay);
    return t > 0.0 ? r * saturate(t / 0.004) : 0.0;
}

// partial_voice with its natural decay, released exponentially from t = gate
// on at `slope` per unit of t (negative). The gate factor is clamped before
// the product: long before the gate the exponential overflows to +inf and
// the clamp turns that into 1.
float partial_voice_gated(float freq, float t, float gate, float slope)
{
    return partial_voice(freq, t, 1.0) * saturate(exp((t - gate) * slope));
}

// The hit's loudness contour: a 120 Hz re-triggered burst held up by a rising
// line for the first 1/18 s, plus a triangle of height 3 around 0.1 s.
float noise_hit_shape(float t)
{
    return max(exp(-fract(120.0 * t)), min(18.0 * t, 1.0)) + 3.0 * saturate(1.0 - 10.0 * abs(6.0 * t - 0.6));
}

// Noise-and-tone percussion hit, t in seconds since the hit (t >= 0).
float noise_hit(float t)
{
    float body = 0.9 * sin_hash(237.234 * t) * exp(-60.0 * t)
               + 0.01 * sin_hash(437.234 * t) * exp(-4.0 * t)
               + 0.1 * sin(2400.0 * t) * exp(-60.0 * t) * min(1.0, 5000.0 * t);
    return body * noise_hit_shape(t);
}

// Square-root-swept, overdriven and clipped sine drum with a noise click. t
// runs from 0 to 4 over the hit; outside 0 < t < 4 the warped time is 0 and
// so is the result. freq is used as it is, without stretch.
float kick(float t, float freq)
{
    float warped = sqrt(fract(saturate(t / 4.0)) * 2.5) / 5.0;
    float e = exp(-10.0 * warped);
    return clamp(4.0 * e * sin(2.0 * pi * freq * warped), -1.0, 1.0) * e + 0.1 * sin_hash(237.234 * warped) * e;
}

// A three-second falling, wobbling sweep built on kick; t in seconds since
// the impact. 0 for t <= 0; from t = 3 on it holds its final value.
float impact(float t)
{
    float tc = clamp(t, 0.0, 3.0);
    return kick(0.1 * tc, 4400.0) * sin(22.0 * tc) * exp(-0.5 * tc) * (-0.1);
}

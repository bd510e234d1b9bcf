#ifndef INTRO_H
#define INTRO_H

// The intro runtime: the audio buffer the shader fills, the wave-out device
// that plays it, the shader program, the two render targets and the passes
// of one frame.

#include <windows.h>
#include <mmsystem.h>
#include <GL/gl.h>

struct IntroState {
    GLuint program;          // separable shader program, in use from intro_init on
    HWAVEOUT wave_out;       // the opened wave-out device
    float* audio_samples;    // mapped audio buffer: AUDIO_FRAMES frames of (left, right)
    WAVEHDR wave_header;     // the one buffer handed to the device
    float time;              // seconds of the current frame
    GLuint framebuffer;      // framebuffer object of the scene pass
    GLuint targets[2];       // render-target textures, chosen by frame parity
    int frame_counter;       // frames drawn so far
};

extern IntroState intro_state;

const int AUDIO_SAMPLE_RATE = 44100;
const int AUDIO_CHANNELS = 2;
const int AUDIO_FRAME_BYTES = 8;
const int AUDIO_FRAMES = 5512500;                                  // 125 s
const int AUDIO_BUFFER_BYTES = AUDIO_FRAMES * AUDIO_FRAME_BYTES;   // 44,100,000
const int TARGET_WIDTH = 1280;
const int TARGET_HEIGHT = 720;

// The storage buffer is created and mapped with these flags:
// read, persistent and coherent (0xC1).
const GLbitfield AUDIO_BUFFER_FLAGS = 0x0001 | 0x0040 | 0x0080;

extern const GLenum draw_buffers[1];

// The wave-out format of the audio buffer: 32-bit float stereo, 44,100 Hz.
WAVEFORMATEX intro_wave_format();

// Returns 1 on success, 0 when a GL entry point is missing or the wave-out
// device cannot be opened. Needs the GL context current.
int intro_init();

// Draws one frame (scene pass, playback start on the first frame, post
// pass) and rewrites the status line; returns the status line's result.
int intro_frame();

// Stops the device and releases it.
void intro_shutdown();

#endif

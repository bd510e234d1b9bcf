#ifndef FRAME_OBSERVER_H
#define FRAME_OBSERVER_H

// Watches intro_frame from outside. The program's imports of glRects,
// waveOutGetPosition, waveOutPrepareHeader and waveOutWrite are pointed at
// recorders that note each call in order (for a draw: the GL state that it
// draws with) and then make the real call. The position query can report a
// chosen position instead of the device's.

#include <windows.h>
#include <GL/gl.h>

#include <vector>

enum ObservedKind {
    OBSERVED_POSITION,   // waveOutGetPosition; `position` is what it reported
    OBSERVED_DRAW,       // glRects
    OBSERVED_PREPARE,    // waveOutPrepareHeader
    OBSERVED_WRITE       // waveOutWrite
};

struct ObservedCall {
    ObservedKind kind;
    long long position;
    // For a draw: its corners, the bound framebuffer, the texture attached
    // at its colour attachment 0 (0 for the default framebuffer), the active
    // texture unit, the texture bound to GL_TEXTURE_2D there, the program in
    // use and its uniforms at locations 0 (m) and 1 (v).
    GLshort corners[4];
    GLint framebuffer;
    GLint attachment_type;
    GLint attachment;
    GLint attachment_level;
    GLint active_unit;
    GLint texture;
    GLint program;
    GLint m;
    GLint v;
};

// Returns 1 when all four imports were found and redirected.
int frame_observer_start();
void frame_observer_stop();

// The position every later query reports until the next call; a negative
// value lets the device's own position through.
void frame_observer_report_position(long long position);

const std::vector<ObservedCall>& frame_observer_calls();
void frame_observer_clear();

// Checks the calls recorded for one intro_frame that began with
// frame_counter `frame` and read `position`: the position query, the scene
// pass into targets[frame & 1] reading targets[(frame + 1) & 1] with m = 0
// and v = position, the playback start on the first frame only, the post
// pass into the window reading targets[frame & 1] with m = 1 and the same v.
void check_observed_frame(int frame, long long position);

#endif

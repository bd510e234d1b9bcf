#ifndef DEBUG_STATUS_H
#define DEBUG_STATUS_H

// The running status line in the window title and the (empty) debug log.

#include <windows.h>
#include <fstream>

struct DebugStatus {
    HWND window;       // window whose title shows the status line
    int frames;        // updates so far, that is frames drawn
    float last_time;   // time of the previous update, seconds
    float fps_now;     // latest instantaneous rate, 1/(time step)
    float fps_smooth;  // smoothed rate
};

extern DebugStatus debug_status;

// Text output stream on "dbgout.txt"; opened by intro_init, never written.
extern std::ofstream debug_log;

// Size of the buffer the status line is formatted into.
const int DEBUG_STATUS_TEXT_SIZE = 1024;

void debug_status_set_window(HWND window);

// Formats "TIME: ...   FRAME: ...   FPS: ... / ..." into text. The average
// rate is frames / time in single precision; at time 0 it is +infinity,
// printed "inf". Returns the length written.
int debug_status_format(char* text, int size, float time, int frames, float fps_smooth);

// One update of the rates and the frame count for time t, leaving the new
// status line in text (DEBUG_STATUS_TEXT_SIZE bytes).
void debug_status_advance(DebugStatus* status, float t, char* text);

// Advances the global record and writes the line into the window title;
// returns SetWindowTextA's result.
int debug_status_update(float t);

#endif

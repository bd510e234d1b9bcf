#include "debug_status.h"

#include <cstdio>

// The average rate of the first frames is 1/0. "inf" is what both the
// mingw-w64 ANSI formatter (__USE_MINGW_ANSI_STDIO, set by the build) and the
// Visual Studio runtime print for it; msvcrt.dll's own printf would not.
#if defined(__MINGW32__) && !defined(__USE_MINGW_ANSI_STDIO)
#error "build with __USE_MINGW_ANSI_STDIO=1 so that infinity prints as inf"
#endif

DebugStatus debug_status = {};

std::ofstream debug_log;

void debug_status_set_window(HWND window)
{
    debug_status.window = window;
}

int debug_status_format(char* text, int size, float time, int frames, float fps_smooth)
{
    float average = static_cast<float>(frames) / time;
    return std::snprintf(text, static_cast<std::size_t>(size),
                         "TIME: %.2f   FRAME: %i   FPS: %.2f / %.2f",
                         static_cast<double>(time), frames,
                         static_cast<double>(fps_smooth),
                         static_cast<double>(average));
}

void debug_status_advance(DebugStatus* status, float t, char* text)
{
    float dt = t - status->last_time;
    if (dt > 0.0f) {
        status->fps_now = 1.0f / dt;
        status->fps_smooth = 0.9f * status->fps_now + 0.1f * status->fps_smooth;
    }
    status->frames += 1;
    debug_status_format(text, DEBUG_STATUS_TEXT_SIZE, t, status->frames, status->fps_smooth);
    status->last_time = t;
}

int debug_status_update(float t)
{
    char text[DEBUG_STATUS_TEXT_SIZE];
    debug_status_advance(&debug_status, t, text);
    return SetWindowTextA(debug_status.window, text);
}

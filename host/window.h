#ifndef WINDOW_H
#define WINDOW_H

// The main window, its device context and the OpenGL context.

#include <windows.h>

struct WindowContext {
    HINSTANCE instance;      // module handle, set by WinMain
    HDC device_context;      // the window's own device context
    HGLRC gl_context;        // the OpenGL rendering context
    HWND window;             // the main window
    int fullscreen;          // build-time switch: INTRO_FULLSCREEN, 0 by default
    char class_name[4];      // window class name
};

extern WindowContext window_context;

// The full-screen variant is a build option (INTRO_FULLSCREEN=1, off by
// default) that sets the record's switch. The release build reads the switch
// as the compile-time constant it is, so it does not carry the other path.
#ifndef INTRO_FULLSCREEN
#define INTRO_FULLSCREEN 0
#endif
#if INTRO_RELEASE
#define WINDOW_FULLSCREEN(context) INTRO_FULLSCREEN
#else
#define WINDOW_FULLSCREEN(context) ((context)->fullscreen)
#endif

extern const PIXELFORMATDESCRIPTOR pixel_format;

const int WINDOW_CLIENT_WIDTH = 1280;
const int WINDOW_CLIENT_HEIGHT = 720;
const COLORREF WINDOW_BACKGROUND = 0x00102030;
const DWORD WINDOW_CLASS_STYLE = CS_OWNDC | CS_HREDRAW | CS_VREDRAW;
const DWORD WINDOW_STYLE = WS_POPUP | WS_VISIBLE | WS_OVERLAPPEDWINDOW;
const DWORD WINDOW_FULLSCREEN_STYLE = WS_POPUP | WS_VISIBLE;

// Returns 1 when the window exists and its GL context is current, 0 at the
// first step that fails (nothing is released; window_shutdown does that).
int window_init(WindowContext* context);

// Releases whatever window_init acquired, in reverse order.
void window_shutdown(WindowContext* context);

// What window_proc does with a message.
enum WindowAction {
    WINDOW_ACTION_DEFAULT,    // hand to DefWindowProcA
    WINDOW_ACTION_REFUSE,     // return 0 without default handling
    WINDOW_ACTION_QUIT,       // post the quit message, return 0
    WINDOW_ACTION_VIEWPORT    // set the GL viewport, then DefWindowProcA
};

WindowAction window_message_action(UINT message, WPARAM wparam);

// The viewport size carried by WM_SIZE: width from the low 16 bits, height
// from the high 16 bits taken with sign.
void window_viewport_size(LPARAM lparam, int* width, int* height);

// Outer position that centres a window of the given outer size on a screen
// (floor of half the difference, also when it is negative).
int window_centre_offset(int screen_size, int window_size);

LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

#endif

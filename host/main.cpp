// Process entry and the message loop: one thread creates the window and the
// intro, draws a frame whenever no message is waiting, and releases
// everything in reverse order when the user quits.

#include <windows.h>
#include <mmsystem.h>

#if !INTRO_RELEASE
#include "debug_status.h"
#endif
#include "intro.h"
#include "window.h"

// Shows an error box after the window is gone. Destroying the window posted
// a quit message (WM_DESTROY); a box whose modal loop finds it pending ends at
// once, so a start-up failure would close without a word. The pending quit is
// taken off the queue first, so the box stays until the user dismisses it.
static void show_error_after_shutdown(const char* text)
{
    MSG message;
    while (PeekMessageA(&message, NULL, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    MessageBoxA(NULL, text, "error", MB_ICONWARNING | MB_OK);
}

static void main_loop()
{
    bool quit_seen = false;
    MSG message;
    for (;;) {
        if (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit_seen = true;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
            continue;
        }
        intro_frame();
        SwapBuffers(window_context.device_context);
        Sleep(1);
        if (GetAsyncKeyState(VK_ESCAPE) || quit_seen) {
            break;
        }
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous_instance, LPSTR command_line, int show)
{
    (void)instance;
    (void)previous_instance;
    (void)command_line;
    (void)show;

    window_context.instance = GetModuleHandleA(NULL);

    if (!window_init(&window_context)) {
        window_shutdown(&window_context);
        show_error_after_shutdown("window_init()!");
        return 0;
    }
    if (!intro_init()) {
        window_shutdown(&window_context);
        show_error_after_shutdown("intro_init()!");
        return 0;
    }
#if !INTRO_RELEASE
    debug_status_set_window(window_context.window);
#endif

    main_loop();

    sndPlaySoundA(NULL, 0);
    intro_shutdown();
    window_shutdown(&window_context);
    return 0;
}

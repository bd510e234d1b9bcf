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
        MessageBoxA(NULL, "window_init()!", "error", MB_ICONWARNING | MB_OK);
        return 0;
    }
    if (!intro_init()) {
        window_shutdown(&window_context);
        MessageBoxA(NULL, "intro_init()!", "error", MB_ICONWARNING | MB_OK);
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

#include "window.h"

#include <GL/gl.h>

WindowContext window_context = { NULL, NULL, NULL, NULL, INTRO_FULLSCREEN, "qv_" };

const PIXELFORMATDESCRIPTOR pixel_format = {
    sizeof(PIXELFORMATDESCRIPTOR),                                  // nSize (40)
    1,                                                              // nVersion
    PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER,     // dwFlags
    PFD_TYPE_RGBA,                                                  // iPixelType
    32,                                                             // cColorBits
    0, 0, 0, 0, 0, 0,                                               // channel bits and shifts
    8,                                                              // cAlphaBits
    0,                                                              // cAlphaShift
    0, 0, 0, 0, 0,                                                  // accumulation
    32,                                                             // cDepthBits
    0,                                                              // cStencilBits
    0,                                                              // cAuxBuffers
    PFD_MAIN_PLANE,                                                 // iLayerType
    0,                                                              // bReserved
    0, 0, 0                                                         // masks
};

int window_centre_offset(int screen_size, int window_size)
{
    // Arithmetic shift: rounds towards minus infinity for negative values.
    int difference = screen_size - window_size;
    return difference >= 0 ? difference / 2 : -((1 - difference) / 2);
}

int window_init(WindowContext* context)
{
    WNDCLASSA window_class;
    ZeroMemory(&window_class, sizeof(window_class));
    window_class.style = WINDOW_CLASS_STYLE;
    window_class.lpfnWndProc = window_proc;
    window_class.hInstance = context->instance;
    window_class.lpszClassName = context->class_name;
    window_class.hbrBackground = CreateSolidBrush(WINDOW_BACKGROUND);
    if (!RegisterClassA(&window_class)) {
        return 0;
    }

    DWORD extended_style = 0;
    DWORD style = WINDOW_STYLE;
    if (WINDOW_FULLSCREEN(context)) {
        DEVMODEA mode;
        ZeroMemory(&mode, sizeof(mode));
        mode.dmSize = sizeof(mode);
        mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
        mode.dmBitsPerPel = 32;
        mode.dmPelsWidth = WINDOW_CLIENT_WIDTH;
        mode.dmPelsHeight = WINDOW_CLIENT_HEIGHT;
        if (ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL) {
            return 0;
        }
        extended_style = WS_EX_APPWINDOW;
        style = WINDOW_FULLSCREEN_STYLE;
        while (ShowCursor(FALSE) >= 0) {
        }
    }

    RECT rectangle = { 0, 0, WINDOW_CLIENT_WIDTH, WINDOW_CLIENT_HEIGHT };
    AdjustWindowRect(&rectangle, style, FALSE);
    int width = rectangle.right - rectangle.left;
    int height = rectangle.bottom - rectangle.top;
    int x = window_centre_offset(GetSystemMetrics(SM_CXSCREEN), width);
    int y = window_centre_offset(GetSystemMetrics(SM_CYSCREEN), height);

    context->window = CreateWindowExA(extended_style, context->class_name, "Intro", style,
                                      x, y, width, height, NULL, NULL, context->instance, NULL);
    if (!context->window) {
        return 0;
    }

    context->device_context = GetDC(context->window);
    if (!context->device_context) {
        return 0;
    }

    int format = ChoosePixelFormat(context->device_context, &pixel_format);
    if (!format) {
        return 0;
    }
    if (!SetPixelFormat(context->device_context, format, &pixel_format)) {
        return 0;
    }

    context->gl_context = wglCreateContext(context->device_context);
    if (!context->gl_context) {
        return 0;
    }
    if (!wglMakeCurrent(context->device_context, context->gl_context)) {
        return 0;
    }
    return 1;
}

void window_shutdown(WindowContext* context)
{
    if (context->gl_context) {
        wglMakeCurrent(NULL, NULL);
        wglDeleteContext(context->gl_context);
    }
    if (context->device_context) {
        ReleaseDC(context->window, context->device_context);
    }
    if (context->window) {
        DestroyWindow(context->window);
    }
    UnregisterClassA(context->class_name, context->instance);
    if (WINDOW_FULLSCREEN(context)) {
        ChangeDisplaySettingsA(NULL, 0);
        while (ShowCursor(TRUE) < 0) {
        }
    }
}

WindowAction window_message_action(UINT message, WPARAM wparam)
{
    if (message == WM_SYSCOMMAND && (wparam == SC_SCREENSAVE || wparam == SC_MONITORPOWER)) {
        return WINDOW_ACTION_REFUSE;
    }
    if (message == WM_CLOSE || message == WM_DESTROY) {
        return WINDOW_ACTION_QUIT;
    }
    if (message == WM_KEYDOWN && wparam == VK_ESCAPE) {
        return WINDOW_ACTION_QUIT;
    }
    if (message == WM_SIZE) {
        return WINDOW_ACTION_VIEWPORT;
    }
    if (message == WM_CHAR && wparam == 0x1B) {
        return WINDOW_ACTION_QUIT;
    }
    return WINDOW_ACTION_DEFAULT;
}

void window_viewport_size(LPARAM lparam, int* width, int* height)
{
    long value = static_cast<long>(lparam);
    *width = static_cast<int>(value & 0xFFFF);
    *height = static_cast<int>(value >> 16);
}

LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (window_message_action(message, wparam)) {
    case WINDOW_ACTION_REFUSE:
        return 0;
    case WINDOW_ACTION_QUIT:
        PostQuitMessage(0);
        return 0;
    case WINDOW_ACTION_VIEWPORT: {
        int width = 0;
        int height = 0;
        window_viewport_size(lparam, &width, &height);
        glViewport(0, 0, width, height);
        break;
    }
    case WINDOW_ACTION_DEFAULT:
        break;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

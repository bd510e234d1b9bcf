#include "check.h"

#include "window.h"

#include <GL/gl.h>

// Takes every quit message waiting in this thread's queue; returns how many.
static int take_quit_messages()
{
    int count = 0;
    MSG message;
    while (PeekMessageA(&message, NULL, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        ++count;
    }
    return count;
}

static void test_message_actions()
{
    struct Case {
        const char* name;
        UINT message;
        WPARAM wparam;
        WindowAction expected;
    };
    const Case cases[] = {
        { "screensaver refused", WM_SYSCOMMAND, SC_SCREENSAVE, WINDOW_ACTION_REFUSE },
        { "monitor power refused", WM_SYSCOMMAND, SC_MONITORPOWER, WINDOW_ACTION_REFUSE },
        { "screensaver compared whole", WM_SYSCOMMAND, SC_SCREENSAVE | 1, WINDOW_ACTION_DEFAULT },
        { "monitor power compared whole", WM_SYSCOMMAND, SC_MONITORPOWER | 2, WINDOW_ACTION_DEFAULT },
        { "other system command", WM_SYSCOMMAND, SC_CLOSE, WINDOW_ACTION_DEFAULT },
        { "minimise", WM_SYSCOMMAND, SC_MINIMIZE, WINDOW_ACTION_DEFAULT },
        { "close", WM_CLOSE, 0, WINDOW_ACTION_QUIT },
        { "destroy", WM_DESTROY, 0, WINDOW_ACTION_QUIT },
        { "escape down", WM_KEYDOWN, VK_ESCAPE, WINDOW_ACTION_QUIT },
        { "other key down", WM_KEYDOWN, 'A', WINDOW_ACTION_DEFAULT },
        { "escape up", WM_KEYUP, VK_ESCAPE, WINDOW_ACTION_DEFAULT },
        { "escape system key", WM_SYSKEYDOWN, VK_ESCAPE, WINDOW_ACTION_DEFAULT },
        { "escape char", WM_CHAR, 0x1B, WINDOW_ACTION_QUIT },
        { "other char", WM_CHAR, 'a', WINDOW_ACTION_DEFAULT },
        { "size", WM_SIZE, SIZE_RESTORED, WINDOW_ACTION_VIEWPORT },
        { "size minimised", WM_SIZE, SIZE_MINIMIZED, WINDOW_ACTION_VIEWPORT },
        { "paint", WM_PAINT, 0, WINDOW_ACTION_DEFAULT },
        { "set text", WM_SETTEXT, 0, WINDOW_ACTION_DEFAULT },
    };
    for (const Case& c : cases) {
        check_case(std::string("action ") + c.name);
        CHECK_INT(window_message_action(c.message, c.wparam), c.expected);
    }
}

static void test_viewport_sizes()
{
    struct Case {
        DWORD lparam;
        int width;
        int height;
    };
    const Case cases[] = {
        { 0x02D00500, 1280, 720 },
        { 0x00000000, 0, 0 },
        { 0x0168027F, 639, 360 },
        { 0xFFFF0010, 16, -1 },         // high half taken with sign
        { 0x8000FFFF, 65535, -32768 },  // low half without
    };
    for (const Case& c : cases) {
        check_case("viewport size " + std::to_string(c.lparam));
        int width = -99;
        int height = -99;
        window_viewport_size(static_cast<LPARAM>(static_cast<LONG>(c.lparam)), &width, &height);
        CHECK_INT(width, c.width);
        CHECK_INT(height, c.height);
    }
}

static void test_centring()
{
    struct Case {
        int screen;
        int window;
        int expected;
    };
    const Case cases[] = {
        { 1920, 1296, 312 },
        { 1920, 1297, 311 },   // 623 / 2 rounded down
        { 1024, 1024, 0 },
        { 1023, 1024, -1 },    // -1 / 2 rounded down
        { 1280, 1297, -9 },    // -17 / 2 rounded down
        { 800, 1300, -250 },
    };
    for (const Case& c : cases) {
        check_case("centre " + std::to_string(c.screen) + " " + std::to_string(c.window));
        CHECK_INT(window_centre_offset(c.screen, c.window), c.expected);
    }
}

static void test_constants()
{
    check_case("pixel format and window record");
    CHECK_INT(pixel_format.nSize, 40);
    CHECK_INT(pixel_format.nVersion, 1);
    CHECK_INT(pixel_format.dwFlags, 0x25);
    CHECK_INT(pixel_format.iPixelType, PFD_TYPE_RGBA);
    CHECK_INT(pixel_format.cColorBits, 32);
    CHECK_INT(pixel_format.cAlphaBits, 8);
    CHECK_INT(pixel_format.cDepthBits, 32);
    CHECK_INT(pixel_format.cRedBits + pixel_format.cGreenBits + pixel_format.cBlueBits, 0);
    CHECK_INT(pixel_format.cAccumBits + pixel_format.cStencilBits + pixel_format.cAuxBuffers, 0);
    CHECK_INT(pixel_format.iLayerType, PFD_MAIN_PLANE);
    CHECK_INT(WINDOW_CLASS_STYLE, 0x23);
    CHECK_INT(WINDOW_STYLE, 0x90CF0000u);
    CHECK_INT(WINDOW_BACKGROUND, 0x00102030);
    CHECK_TEXT(std::string(window_context.class_name), "qv_");
    CHECK_INT(window_context.fullscreen, 0);
    CHECK(window_context.window == NULL);
}

void test_window_logic()
{
    test_message_actions();
    test_viewport_sizes();
    test_centring();
    test_constants();
}

// window_proc on a real (hidden) window of its own class: what it returns
// and whether it posted the quit message.
void test_window_proc()
{
    WNDCLASSA window_class;
    ZeroMemory(&window_class, sizeof(window_class));
    window_class.lpfnWndProc = window_proc;
    window_class.hInstance = GetModuleHandleA(NULL);
    window_class.lpszClassName = "qv_test";
    check_case("window_proc setup");
    CHECK(RegisterClassA(&window_class) != 0);
    HWND window = CreateWindowExA(0, "qv_test", "Intro", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, NULL, NULL,
                                  GetModuleHandleA(NULL), NULL);
    CHECK(window != NULL);
    take_quit_messages();

    struct Case {
        const char* name;
        UINT message;
        WPARAM wparam;
        int quits;   // quit messages expected afterwards
    };
    const Case cases[] = {
        { "close posts quit", WM_CLOSE, 0, 1 },
        { "escape key posts quit", WM_KEYDOWN, VK_ESCAPE, 1 },
        { "escape char posts quit", WM_CHAR, 0x1B, 1 },
        { "screensaver refused", WM_SYSCOMMAND, SC_SCREENSAVE, 0 },
        { "monitor power refused", WM_SYSCOMMAND, SC_MONITORPOWER, 0 },
        // The default handling of SC_CLOSE sends WM_CLOSE, which posts quit:
        // proof that this system command reached DefWindowProcA.
        { "other system command to default", WM_SYSCOMMAND, SC_CLOSE, 1 },
        { "other key to default", WM_KEYDOWN, 'A', 0 },
    };
    for (const Case& c : cases) {
        check_case(std::string("window_proc ") + c.name);
        LRESULT result = SendMessageA(window, c.message, c.wparam, 0);
        if (c.message != WM_SYSCOMMAND || c.quits == 0) {
            CHECK_INT(result, 0);
        }
        CHECK_INT(take_quit_messages(), c.quits);
        CHECK(IsWindow(window));   // WM_CLOSE does not destroy the window
    }

    check_case("window_proc other message to default");
    CHECK(SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("changed")) != 0);
    char title[64];
    GetWindowTextA(window, title, sizeof(title));
    CHECK_TEXT(std::string(title), "changed");
    CHECK_INT(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0), 7);

    check_case("window_proc destroy posts quit");
    DestroyWindow(window);
    CHECK_INT(take_quit_messages(), 1);
    UnregisterClassA("qv_test", GetModuleHandleA(NULL));
}

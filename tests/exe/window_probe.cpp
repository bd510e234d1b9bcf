// Looks at the running intro from inside the same Wine session, for the
// scenario tests:
//   window_probe info           class "qv_" window: title, client size and
//                               origin, outer rectangle, screen size
//   window_probe close          posts WM_CLOSE to that window
//   window_probe box CAPTION    texts of the message box with that caption
//   window_probe press CAPTION  presses OK in that message box
//   window_probe minimize|maximize|restore
//                               the system command, as from the window menu
//   window_probe resize W H     gives the window a W x H client area

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static BOOL CALLBACK print_static_text(HWND child, LPARAM)
{
    char class_name[64];
    char text[512];
    GetClassNameA(child, class_name, sizeof(class_name));
    GetWindowTextA(child, text, sizeof(text));
    if (lstrcmpiA(class_name, "Static") == 0 && text[0]) {
        std::printf("text %s\n", text);
    }
    return TRUE;
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::printf("usage: window_probe info|close|box CAPTION|press CAPTION|"
                    "minimize|maximize|restore|resize W H\n");
        return 2;
    }
    const char* command = argv[1];
    WPARAM system_command = 0;
    if (std::strcmp(command, "minimize") == 0) {
        system_command = SC_MINIMIZE;
    } else if (std::strcmp(command, "maximize") == 0) {
        system_command = SC_MAXIMIZE;
    } else if (std::strcmp(command, "restore") == 0) {
        system_command = SC_RESTORE;
    }
    bool resize = std::strcmp(command, "resize") == 0 && argc >= 4;
    if (std::strcmp(command, "info") == 0 || std::strcmp(command, "close") == 0 || system_command || resize) {
        HWND window = FindWindowA("qv_", NULL);
        std::printf("found %d\n", window ? 1 : 0);
        if (!window) {
            return 0;
        }
        if (std::strcmp(command, "close") == 0) {
            std::printf("posted %d\n", PostMessageA(window, WM_CLOSE, 0, 0) ? 1 : 0);
            return 0;
        }
        if (system_command) {
            std::printf("posted %d\n", PostMessageA(window, WM_SYSCOMMAND, system_command, 0) ? 1 : 0);
            return 0;
        }
        if (resize) {
            RECT frame = { 0, 0, std::atoi(argv[2]), std::atoi(argv[3]) };
            AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), FALSE,
                               static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)));
            BOOL done = SetWindowPos(window, NULL, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            std::printf("resized %d\n", done ? 1 : 0);
            return 0;
        }
        char title[1024];
        GetWindowTextA(window, title, sizeof(title));
        RECT client;
        GetClientRect(window, &client);
        POINT origin = { 0, 0 };
        ClientToScreen(window, &origin);
        RECT outer;
        GetWindowRect(window, &outer);
        std::printf("title %s\n", title);
        std::printf("client %ld %ld\n", client.right - client.left, client.bottom - client.top);
        std::printf("client_origin %ld %ld\n", origin.x, origin.y);
        std::printf("outer %ld %ld %ld %ld\n", outer.left, outer.top, outer.right, outer.bottom);
        std::printf("screen %d %d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
        std::printf("iconic %d\n", IsIconic(window) ? 1 : 0);
        std::printf("zoomed %d\n", IsZoomed(window) ? 1 : 0);
        return 0;
    }
    if ((std::strcmp(command, "box") == 0 || std::strcmp(command, "press") == 0) && argc >= 3) {
        HWND box = FindWindowA("#32770", argv[2]);
        std::printf("found %d\n", box ? 1 : 0);
        if (!box) {
            return 0;
        }
        if (std::strcmp(command, "press") == 0) {
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
            return 0;
        }
        EnumChildWindows(box, print_static_text, 0);
        return 0;
    }
    std::printf("unknown command\n");
    return 2;
}

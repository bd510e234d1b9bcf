#include "check.h"

#include "debug_status.h"

#include <cfloat>
#include <climits>
#include <cstring>

// Expected texts are worked out by hand from the update rule:
// dt = t - last; if dt > 0: now = 1/dt, smooth = 0.9 now + 0.1 smooth;
// average = frames / t.

static void test_format_table()
{
    struct Case {
        float time;
        int frames;
        float fps_smooth;
        const char* expected;
    };
    const Case cases[] = {
        { 0.0f, 1, 0.0f, "TIME: 0.00   FRAME: 1   FPS: 0.00 / inf" },
        { 0.0f, 7, 2.5f, "TIME: 0.00   FRAME: 7   FPS: 2.50 / inf" },
        { 0.5f, 3, 1.8f, "TIME: 0.50   FRAME: 3   FPS: 1.80 / 6.00" },
        { 2.0f, 120, 59.94f, "TIME: 2.00   FRAME: 120   FPS: 59.94 / 60.00" },
        { 125.0f, 1000, 60.0f, "TIME: 125.00   FRAME: 1000   FPS: 60.00 / 8.00" },
    };
    for (const Case& c : cases) {
        check_case(std::string("format ") + c.expected);
        char text[DEBUG_STATUS_TEXT_SIZE];
        int length = debug_status_format(text, DEBUG_STATUS_TEXT_SIZE, c.time, c.frames, c.fps_smooth);
        CHECK_TEXT(std::string(text), c.expected);
        CHECK_INT(length, std::strlen(c.expected));
    }
}

static void test_update_sequence()
{
    // Successive updates of one record: first frame, repeated t, t advancing
    // (dt is the whole advance since t last changed), t going back.
    struct Step {
        float t;
        const char* expected;
    };
    const Step steps[] = {
        { 0.0f, "TIME: 0.00   FRAME: 1   FPS: 0.00 / inf" },
        { 0.0f, "TIME: 0.00   FRAME: 2   FPS: 0.00 / inf" },
        { 0.5f, "TIME: 0.50   FRAME: 3   FPS: 1.80 / 6.00" },   // now 2, smooth 1.8
        { 0.5f, "TIME: 0.50   FRAME: 4   FPS: 1.80 / 8.00" },   // unchanged
        { 1.0f, "TIME: 1.00   FRAME: 5   FPS: 1.98 / 5.00" },   // 0.9*2 + 0.1*1.8
        { 1.1f, "TIME: 1.10   FRAME: 6   FPS: 9.20 / 5.45" },   // now 10, 9 + 0.198
        { 0.8f, "TIME: 0.80   FRAME: 7   FPS: 9.20 / 8.75" },   // dt < 0: rates kept
    };
    DebugStatus status = {};
    for (const Step& step : steps) {
        check_case(std::string("update ") + step.expected);
        char text[DEBUG_STATUS_TEXT_SIZE];
        debug_status_advance(&status, step.t, text);
        CHECK_TEXT(std::string(text), step.expected);
        CHECK(status.last_time == step.t);
    }
}

static void test_frozen_at_end()
{
    // After the music t stays 125: the smoothed rate keeps its value, FRAME
    // counts on and the average frames/125 rises.
    check_case("frozen at 125");
    DebugStatus status = {};
    status.frames = 999;
    status.last_time = 125.0f;
    status.fps_now = 50.0f;
    status.fps_smooth = 60.0f;
    char text[DEBUG_STATUS_TEXT_SIZE];
    debug_status_advance(&status, 125.0f, text);
    CHECK_TEXT(std::string(text), "TIME: 125.00   FRAME: 1000   FPS: 60.00 / 8.00");
    debug_status_advance(&status, 125.0f, text);
    debug_status_advance(&status, 125.0f, text);
    debug_status_advance(&status, 125.0f, text);
    debug_status_advance(&status, 125.0f, text);
    debug_status_advance(&status, 125.0f, text);
    CHECK_TEXT(std::string(text), "TIME: 125.00   FRAME: 1005   FPS: 60.00 / 8.04");
    CHECK(status.fps_now == 50.0f);
}

static void test_longest_text()
{
    // Every value at the extreme of its type's range still gives a short
    // line: -FLT_MAX prints as 43 characters.
    check_case("longest text");
    char text[DEBUG_STATUS_TEXT_SIZE];
    int length = debug_status_format(text, DEBUG_STATUS_TEXT_SIZE, -FLT_MAX, INT_MIN, -FLT_MAX);
    CHECK_INT(length, static_cast<long long>(std::strlen(text)));
    CHECK(length < 256);
    const char prefix[] = "TIME: -340282346638528859811704183484516925440.00   FRAME: -2147483648   FPS: ";
    CHECK(std::strncmp(text, prefix, std::strlen(prefix)) == 0);
}

static void test_window_title()
{
    // debug_status_update writes the line into the window title.
    check_case("window title");
    HWND window = CreateWindowExA(0, "STATIC", "Intro", WS_POPUP, 0, 0, 100, 100, NULL, NULL,
                                  GetModuleHandleA(NULL), NULL);
    CHECK(window != NULL);
    debug_status = DebugStatus();
    debug_status_set_window(window);
    CHECK(debug_status.window == window);
    CHECK(debug_status_update(0.0f) != 0);
    char title[DEBUG_STATUS_TEXT_SIZE];
    GetWindowTextA(window, title, sizeof(title));
    CHECK_TEXT(std::string(title), "TIME: 0.00   FRAME: 1   FPS: 0.00 / inf");
    DestroyWindow(window);
    debug_status = DebugStatus();
}

void test_debug_status()
{
    test_format_table();
    test_update_sequence();
    test_frozen_at_end();
    test_longest_text();
    test_window_title();
}

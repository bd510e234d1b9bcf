// Host tests, run through Wine on a display with GL and an audio device.

#include "check.h"

int main()
{
    test_debug_status();
    test_window_logic();
    test_window_proc();
    test_intro();
    return check_finish();
}

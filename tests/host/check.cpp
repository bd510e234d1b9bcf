#include "check.h"

#include <cstdio>

static int passed = 0;
static int failed = 0;
static std::string current_case;

void check_case(const std::string& name)
{
    current_case = name;
}

void check_record(bool ok, const std::string& what, const char* file, int line)
{
    if (ok) {
        ++passed;
        return;
    }
    ++failed;
    std::printf("FAILED %s:%d [%s] %s\n", file, line, current_case.c_str(), what.c_str());
    std::fflush(stdout);
}

void check_equal_int(long long actual, long long expected, const char* what, const char* file, int line)
{
    char text[256];
    std::snprintf(text, sizeof(text), "%s: got %lld, expected %lld", what, actual, expected);
    check_record(actual == expected, text, file, line);
}

void check_equal_text(const std::string& actual, const std::string& expected, const char* what,
                      const char* file, int line)
{
    check_record(actual == expected, std::string(what) + ": got \"" + actual + "\", expected \"" + expected + "\"",
                 file, line);
}

int check_finish()
{
    std::printf("%d passed, %d failed\n", passed, failed);
    std::fflush(stdout);
    return failed == 0 ? 0 : 1;
}

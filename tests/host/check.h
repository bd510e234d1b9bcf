#ifndef CHECK_H
#define CHECK_H

// A small assertion harness: each failed check prints its place and the
// current case; check_finish prints "N passed, N failed".

#include <string>

void check_case(const std::string& name);
void check_record(bool ok, const std::string& what, const char* file, int line);
void check_equal_int(long long actual, long long expected, const char* what, const char* file, int line);
void check_equal_text(const std::string& actual, const std::string& expected, const char* what,
                      const char* file, int line);
int check_finish();

#define CHECK(condition) check_record((condition), #condition, __FILE__, __LINE__)
#define CHECK_INT(actual, expected) \
    check_equal_int(static_cast<long long>(actual), static_cast<long long>(expected), #actual, __FILE__, __LINE__)
#define CHECK_TEXT(actual, expected) check_equal_text((actual), (expected), #actual, __FILE__, __LINE__)

// Test groups, run in this order by main.
void test_debug_status();
void test_window_logic();
void test_window_proc();
void test_intro();

#endif

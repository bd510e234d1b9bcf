# Shared set-up of the tests that run Windows programs through Wine: one Wine
# prefix in the build folder, created once by a fixture, and the harness
# script that gives each test its own Xvfb display and ALSA device.
# Included by each test folder that needs it; the fixture is added once.

find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(INTRO_WINE_HARNESS ${CMAKE_SOURCE_DIR}/tests/wine/wine_harness.py)
set(INTRO_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)

get_property(intro_wine_fixture_added GLOBAL PROPERTY INTRO_WINE_FIXTURE_ADDED)
if(NOT intro_wine_fixture_added)
  set_property(GLOBAL PROPERTY INTRO_WINE_FIXTURE_ADDED ON)
  add_test(NAME wine_prefix_setup
    COMMAND ${Python3_EXECUTABLE} ${INTRO_WINE_HARNESS} setup-prefix --prefix ${INTRO_WINE_PREFIX})
  set_tests_properties(wine_prefix_setup PROPERTIES
    FIXTURES_SETUP wine_prefix
    RESOURCE_LOCK wine_prefix
    SKIP_RETURN_CODE 77
    TIMEOUT 600)
  if(INTRO_WINE_LOADER)
    set_property(TEST wine_prefix_setup PROPERTY ENVIRONMENT INTRO_WINE_LOADER=${INTRO_WINE_LOADER})
  endif()
endif()

# The tests share the prefix and so one wineserver: they run one at a time.
# 77 means Wine cannot run on this machine.
function(intro_wine_test_properties name timeout)
  set_tests_properties(${name} PROPERTIES
    FIXTURES_REQUIRED wine_prefix
    RESOURCE_LOCK wine_prefix
    SKIP_RETURN_CODE 77
    TIMEOUT ${timeout})
  if(INTRO_WINE_LOADER)
    set_property(TEST ${name} PROPERTY ENVIRONMENT INTRO_WINE_LOADER=${INTRO_WINE_LOADER})
  endif()
endfunction()

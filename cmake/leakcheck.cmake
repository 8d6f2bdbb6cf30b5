# In a build with AddressSanitizer: a test that passes only when LeakSanitizer catches a
# deliberate leak, so a test environment that turns leak checking off (detect_leaks=0, or a
# machine where ptrace restrictions stop LeakSanitizer) fails instead of passing silently.
if(CMAKE_CXX_FLAGS MATCHES "-fsanitize=[^ ]*address")
    add_executable(tgakit_leak_canary ${CMAKE_CURRENT_LIST_DIR}/leak_canary.cpp)
    add_test(NAME hardening.leak_sanitizer_active COMMAND tgakit_leak_canary)
    set_tests_properties(hardening.leak_sanitizer_active PROPERTIES
        PASS_REGULAR_EXPRESSION "LeakSanitizer: detected memory leaks"
        # An abort would count as a failure whatever the output says; every other option
        # stays as the test environment sets it.
        ENVIRONMENT_MODIFICATION "ASAN_OPTIONS=string_append::abort_on_error=0"
        TIMEOUT 30)
endif()

// Tests that share a fixture yet belong to the suites of the functions they test.
#pragma once

#include <gtest/gtest.h>

// Like TEST_F(fixture, name), but in the suite `suite`: the suite names the function (or
// program) under test, while one fixture serves the tests of several functions.
#ifdef GTEST_TEST_
#define TGATEST_F(fixture, suite, name) \
    GTEST_TEST_(suite, name, fixture, ::testing::internal::GetTypeId<fixture>())
#else  // a reader without GoogleTest's own headers (cppcheck) knows TEST_F only
#define TGATEST_F(fixture, suite, name) TEST_F(fixture, name)
#endif

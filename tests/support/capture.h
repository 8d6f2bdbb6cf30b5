// What a function prints on the standard output and error while it runs (GoogleTest's capture).
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace tgatest {

struct Printed {
    std::string out, err;
};

// Both outputs of fn().
template <class Fn>
Printed captured(Fn &&fn) {
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    fn();
    std::fflush(nullptr);
    Printed p;
    p.out = testing::internal::GetCapturedStdout();
    p.err = testing::internal::GetCapturedStderr();
    return p;
}

// What fn() prints on the standard output.
template <class Fn>
std::string printed(Fn &&fn) {
    return captured(fn).out;
}

// What fn() prints on the standard error.
template <class Fn>
std::string printedErr(Fn &&fn) {
    return captured(fn).err;
}

}  // namespace tgatest

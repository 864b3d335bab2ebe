// Test support for the minimiser tests: a fixture that puts the minimiser
// settings back to their initial values around each test, and a way to run
// a piece of code with standard output and standard error sent to temporary
// files and hand back the text written to each.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "numerics/minnvar.h"

namespace quillmark::testing_support {

// Every test starts and ends with the initial settings (the evaluation
// counter keeps counting, as it does for callers).
class MinimiserSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { restore(); }
    void TearDown() override { restore(); }
    static void restore() {
        trace_level = 0;
        min1var_iteration_limit = 70;
        minnvar_iteration_limit = 100;
    }
};

// Objective evaluations counted by min1var since the counter read `before`
// (worked out in wrapping arithmetic, like the counter itself).
inline std::int32_t evaluations_since(std::int32_t before) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(objective_evaluations) -
                                     static_cast<std::uint32_t>(before));
}

struct CapturedText {
    std::string out;
    std::string err;
};

// Runs `body` with `stream` (stdout or stderr) redirected at the descriptor
// level, so everything written through the C stream is caught.
template <typename Body> std::string capture_stream(std::FILE* stream, Body&& body) {
    std::fflush(stream);
    const int fd = fileno(stream);
    const int saved = dup(fd);
    std::FILE* file = std::tmpfile();
    if (saved < 0 || file == nullptr) {
        body();
        return "<capture failed>";
    }
    dup2(fileno(file), fd);
    body();
    std::fflush(stream);
    dup2(saved, fd);
    close(saved);
    std::string text;
    std::rewind(file);
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
        text.push_back(static_cast<char>(c));
    }
    std::fclose(file);
    return text;
}

template <typename Body> CapturedText capture_output(Body&& body) {
    CapturedText text;
    text.out = capture_stream(stdout, [&] { text.err = capture_stream(stderr, body); });
    return text;
}

} // namespace quillmark::testing_support

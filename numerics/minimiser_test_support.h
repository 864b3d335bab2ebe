// Test support for the minimiser tests: runs a piece of code with standard
// output and standard error sent to temporary files and hands back the text
// written to each.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>

namespace quillmark::testing_support {

struct CapturedText {
    std::string out;
    std::string err;
};

// Runs `body` with `stream` (stdout or stderr) redirected at the descriptor
// level, so everything written through the C stream is caught.
template <typename Body>
std::string capture_stream(std::FILE* stream, Body&& body) {
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

template <typename Body>
CapturedText capture_output(Body&& body) {
    CapturedText text;
    text.out = capture_stream(stdout, [&] { text.err = capture_stream(stderr, body); });
    return text;
}

} // namespace quillmark::testing_support

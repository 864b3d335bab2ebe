// The parts of the platform layer that are the same on every system.
#include "platform/env.h"

#include <cstdlib>
#include <cstring>

namespace quillmark {

std::time_t clock_seconds() { return std::time(nullptr); }

const char* system_error_text(int error_number) { return std::strerror(error_number); }

void end_message() { std::fflush(stderr); }

namespace {
ExitHook exit_hook = nullptr;
} // namespace

void set_exit_hook(ExitHook hook) { exit_hook = hook; }

void end_process(int status) {
    if (exit_hook) exit_hook(status);
    std::exit(status);
}

} // namespace quillmark
